// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: its state, data exchange and event table, its opening, the window menu and
// the selection of a mission; and the application object that runs it.
#include "app/LauncherDlg.h"

#include <array>

#include "app/AboutDlg.h"
#include "launch/Launch.h"
#include "resources/Resources.h"
#include "ui/DataExchange.h"

using namespace sx;
using namespace sx::ui;

namespace {
constexpr const char* kInstallationMenu = "&Game installation";
constexpr size_t kMaxInstallations = 32;
// The window-menu command of an installation: ids whose low four bits are the platform's.
unsigned InstallationCommand(size_t index) {
    return IDM_INSTALLATION_FIRST + static_cast<unsigned>(index) * 0x10;
}
}  // namespace

CLauncherDlg::CLauncherDlg(CDialog* parent)
    : CDialog(IDD_LAUNCHER_DIALOG, parent), m_hIcon(LoadIconResource(IDR_MAINFRAME)) {}

CLauncherDlg::~CLauncherDlg() = default;

void CLauncherDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_MISSION_LIST, m_listMissions);
    DDX_Text(pDX, IDC_BRIEFING, m_strBriefing);
    DDX_Radio(pDX, IDC_SINGLE_MISSIONS, m_nCategory);
    DDX_Text(pDX, IDC_CALLSIGN, m_strCallsign);
}

std::span<const EventEntry> CLauncherDlg::GetEventTable() const {
    static const std::array kTable = {
        OnSysCommandEvent(&CLauncherDlg::OnSysCommand),
        OnPaintEvent(&CLauncherDlg::OnPaint),
        OnQueryDragIconEvent(&CLauncherDlg::OnQueryDragIcon),
        OnClicked(IDC_SINGLE_MISSIONS, &CLauncherDlg::OnSingleMissions),
        OnClicked(IDC_CAMPAIGN_MISSIONS, &CLauncherDlg::OnCampaignMissions),
        OnClicked(IDC_CUSTOM_MISSIONS, &CLauncherDlg::OnCustomMissions),
        OnClicked(IDC_LAUNCH_GAME, &CLauncherDlg::OnLaunchGame),
        OnClicked(IDC_LAUNCH_MISSION, &CLauncherDlg::OnLaunchMission),
        OnSelChange(IDC_MISSION_LIST, &CLauncherDlg::OnSelchangeMissionList),
        OnClicked(IDC_CHANGE_CALLSIGN, &CLauncherDlg::OnChangeCallsign),
        OnContextMenu(IDC_MISSION_LIST, &CLauncherDlg::OnMissionListMenu),
        OnDeleteKey(IDC_MISSION_LIST, &CLauncherDlg::OnMoveToTrash),
    };
    return kTable;
}

bool CLauncherDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    if (IDialogWindow* wnd = GetWindow()) {
        wnd->SetIcon(m_hIcon, true);
        wnd->SetIcon(m_hIcon, false);
    }
    LocateGame();
    // The window menu: the game's installations to choose from, where there are two or more
    // (the one found first is in use), then the about entry.
    m_installations.clear();
    for (os::GameInstallation& g : os::GameInstallations(kGameKey, kGameExecutable))
        if (g.refused.empty() && m_installations.size() < kMaxInstallations)
            m_installations.push_back(std::move(g));
    if (IDialogWindow* wnd = GetWindow()) {
        if (m_installations.size() >= 2) {
            std::vector<MenuEntry> entries;
            for (size_t i = 0; i < m_installations.size(); ++i)
                entries.push_back({InstallationCommand(i),
                                   m_installations[i].tool + ": " + m_installations[i].prefix,
                                   m_installations[i].current});
            wnd->AppendSubmenu(kInstallationMenu, entries);
        }
        const std::string about = LoadResString(IDS_ABOUTBOX);
        if (!about.empty()) {
            wnd->AppendMenuEntry(0, std::string());
            wnd->AppendMenuEntry(IDM_ABOUTBOX, about);
        }
    }

    m_strCustomDir = m_strGameDir;
    m_bReselect = 0;
    m_nCategory = kSingleMissions;
    RefreshMissionList();
    UpdateData(false);
    return true;
}

void CLauncherDlg::OnSysCommand(unsigned id, std::intptr_t param) {
    // The platform keeps the low four bits of window-menu ids for itself.
    if ((id & SysCommandMask) == IDM_ABOUTBOX) {
        CAboutDlg about;
        about.DoModal();
        return;
    }
    for (size_t i = 0; i < m_installations.size(); ++i) {
        if ((id & SysCommandMask) != InstallationCommand(i)) continue;
        // Another installation: Sortilex starts again on it, and this run ends. Nothing is
        // kept: the next start takes the newest again.
        if (m_installations[i].current) return;
        if (os::RestartWithPrefix(m_installations[i].prefix))
            EndDialog(IdCancel);
        else
            ShowMessageBox("Sortilex could not be started again on that installation.");
        return;
    }
    CDialog::OnSysCommand(id, param);
}

void CLauncherDlg::OnPaint() {
    if (!IsIconic()) {
        CDialog::OnPaint();
        return;
    }
    // The minimized window shows the program's icon in the middle of its client area.
    CPaintDC dc(this);
    if (!dc) return;
    dc->EraseIconBackground();
    const Extent icon = dc->IconSize();
    const Extent client = dc->ClientSize();
    dc->DrawIcon((client.cx - icon.cx + 1) / 2, (client.cy - icon.cy + 1) / 2, m_hIcon);
}

IconHandle CLauncherDlg::OnQueryDragIcon() {
    return m_hIcon;
}

void CLauncherDlg::OnSelchangeMissionList() {
    m_bReselect = 0;
    LoadBriefing();
    LoadCallsign();
}

std::string CLauncherDlg::SelectedMission() const {
    const int sel = m_listMissions.GetCurSel();
    return sel < 0 ? std::string() : m_listMissions.GetText(sel);
}

CLauncherApp::CLauncherApp() {
    InstallResources(AppResources());
}

bool CLauncherApp::InitInstance() {
    CLauncherDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    return false;
}
