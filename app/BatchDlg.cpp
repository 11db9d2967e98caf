// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/BatchDlg.h"

#include "ui/DataExchange.h"

using namespace sx;
using namespace sx::ui;

void CCallsignBatchDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_BATCH_CALLSIGN, m_strCallsign);
}

bool CCallsignBatchDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (IDialogWindow* wnd = GetWindow()) {
        wnd->SetText(IDC_BATCH_COUNT, "Callsign for the " + std::to_string(m_nMissions) +
                                          " missions of this list:");
        wnd->SetText(IDC_BATCH_OTHER, std::to_string(m_nOther) +
                                          " of them hold another callsign now. This cannot be "
                                          "undone.");
    }
    return true;
}

void CCallsignBatchDlg::OnOK() {
    m_bExact = UpdateData(true);
    EndDialog(IdOk);
}

CProgressDlg::CProgressDlg() : CDialog(IDD_PROGRESS) {
    StayAnswering();
}

void CProgressDlg::ShowMission(int number, int total, const std::string& name) {
    if (IDialogWindow* wnd = GetWindow())
        wnd->SetText(IDC_PROGRESS_TEXT, "Mission " + std::to_string(number) + " of " +
                                            std::to_string(total) + ": " + name);
}
