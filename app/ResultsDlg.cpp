// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ResultsDlg.h"

#include "results/Results.h"
#include "ui/DataExchange.h"

using namespace sx;
using namespace sx::ui;

CResultsDlg::CResultsDlg(CDialog* parent) : CDialog(IDD_RESULTS_DIALOG, parent) {}

CResultsDlg::~CResultsDlg() = default;

void CResultsDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_AXIS_LOSSES, m_listAxisLosses);
    DDX_Control(pDX, IDC_ALLIED_LOSSES, m_listAlliedLosses);
    DDX_Text(pDX, IDC_BOMBER_LOSSES, m_nBomberLosses);
    DDX_Text(pDX, IDC_FIGHTER_LOSSES, m_nFighterLosses);
    DDX_Text(pDX, IDC_BOMBERS_BY_PLAYER, m_nBombersByPlayer);
    DDX_Text(pDX, IDC_FIGHTERS_BY_PLAYER, m_nFightersByPlayer);
}

bool CResultsDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    const std::optional<ResultsTable> table = ReadResultsFile(m_strGameDir);
    if (!table) {
        ShowMessageBox(kResultsNotFound);
        OnOK();
        return true;
    }
    m_nFighterLosses = table->fighterLosses;
    m_nBomberLosses = table->bomberLosses;
    m_nFightersByPlayer = table->fightersByPlayer;
    m_nBombersByPlayer = table->bombersByPlayer;
    for (const std::string& line : table->alliedLosses) m_listAlliedLosses.AddString(line);
    for (const std::string& line : table->axisLosses) m_listAxisLosses.AddString(line);
    UpdateData(false);
    return true;
}
