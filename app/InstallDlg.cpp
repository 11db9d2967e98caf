// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/InstallDlg.h"

#include "ui/DataExchange.h"

using namespace sx;
using namespace sx::ui;

void CInstallDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_INSTALL_ENTRIES, m_listEntries);
}

bool CInstallDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    std::string text;
    for (const std::string& line : m_lines) text += (text.empty() ? "" : "\r\n") + line;
    if (IDialogWindow* wnd = GetWindow()) wnd->SetText(IDC_INSTALL_TEXT, text);
    for (const std::string& entry : m_entries) m_listEntries.AddString(entry);
    // OK, the first of the template's tab stops, has the focus: Enter installs, Escape does not.
    return true;
}
