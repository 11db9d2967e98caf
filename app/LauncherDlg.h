// SPDX-License-Identifier: GPL-3.0-or-later
// The main window of Sortilex and all of the launcher's state.
//
// Every user action arrives here as an event of the window. The handlers live in this folder,
// split by concern: LauncherDlg.cpp (opening, window menu, selection), LauncherCatalogue.cpp
// (game location, category folders, the mission list), LauncherMission.cpp (briefing and
// callsign), LauncherLaunch.cpp (starting the game), LauncherBatch.cpp and LauncherInstall.cpp
// (the list's menu: one callsign for the list, installing packs, a mission to the trash). The work itself is done by the window-free
// logic in catalogue/, missionfile/, launch/ and results/.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "catalogue/Catalogue.h"
#include "missionfile/MissionFile.h"
#include "os/Process.h"
#include "resources/ResourceIds.h"
#include "ui/Dialog.h"
#include "ui/ListBox.h"

class CLauncherDlg : public sx::ui::CDialog {
  public:
    explicit CLauncherDlg(sx::ui::CDialog* parent = nullptr);
    ~CLauncherDlg() override;

    // Launcher state, in this order.
    int m_bReselect = 0;
    std::string m_strSelectedMission;
    std::string m_strCustomDir;
    std::string m_strGameDir;
    sx::ui::CListBox m_listMissions;
    std::string m_strBriefing;
    int m_nCategory = -1;
    std::string m_strCallsign;
    sx::ui::IconHandle m_hIcon;

    // Window events.
    bool OnInitDialog() override;
    void OnSysCommand(unsigned id, std::intptr_t param);
    void OnPaint();
    sx::ui::IconHandle OnQueryDragIcon();
    void OnSingleMissions();
    void OnCampaignMissions();
    void OnCustomMissions();
    void OnLaunchGame();
    void OnLaunchMission();
    void OnSelchangeMissionList();
    void OnChangeCallsign();
    void OnMissionListMenu();
    void OnSetCallsignInAll();
    void OnInstallMissions();
    void OnMoveToTrash();
    // Installs mission packs (host paths of archives, .mis files, folders) after the user's OK.
    void InstallItems(const std::vector<std::string>& paths);
    bool AcceptsDroppedFiles() const override { return true; }
    void OnDropFiles(const std::vector<std::string>& paths) override { InstallItems(paths); }

    // Operations.
    void LocateGame();
    // Makes the category's folder current; false when it cannot be (then no mission is read or
    // changed anywhere).
    bool EnterCategoryFolder();
    void RefreshMissionList();
    void LoadBriefing();
    void LoadCallsign();
    // The text of the selected list entry; empty when nothing is selected.
    std::string SelectedMission() const;
    // The selected mission's name with its folder made current; empty without either.
    std::string MissionInFolder();

  protected:
    void DoDataExchange(sx::ui::CDataExchange* pDX) override;
    std::span<const sx::ui::EventEntry> GetEventTable() const override;

  private:
    // What the last briefing read learnt of the callsign, for the callsign read after it.
    sx::CallsignHandOver m_callsignHandOver;
    // The game's installations the window menu offers (Linux: the prefixes that hold it).
    std::vector<sx::os::GameInstallation> m_installations;
    // The folder the mission list was last filled from.
    std::string m_strListFolder;
};

class CLauncherApp : public sx::ui::CWinApp {
  public:
    CLauncherApp();
    bool InitInstance() override;
    // --prefix DIR, --list-installations, --help, --version (see CommandLine.cpp).
    std::optional<int> CommandLine(int argc, char** argv) override;
};
