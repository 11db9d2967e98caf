// The main window of Sortilex and all of the launcher's state.
//
// Every user action arrives here as an event of the window. The operations are defined next to
// the subsystem they belong to: catalogue/ (game location, category folders, the mission list),
// missionfile/ (briefing and callsign), launch/ (starting the game), app/ (the rest).
#pragma once

#include <span>
#include <string>

#include "platform/Dialog.h"
#include "resources/ResourceIds.h"

// The index of the checked category button.
enum MissionCategory : int {
    kSingleMissions = 0,
    kCampaignMissions = 1,
    kCustomMissions = 2,
};

class CLauncherDlg : public sx::CDialog {
  public:
    explicit CLauncherDlg(sx::CDialog* parent = nullptr);
    ~CLauncherDlg() override;

    // Launcher state, in this order.
    int m_bReselect = 0;
    std::string m_strSelectedMission;
    std::string m_strCustomDir;
    std::string m_strGameDir;
    sx::CListBox m_listMissions;
    std::string m_strBriefing;
    int m_nCategory = -1;
    std::string m_strCallsign;
    sx::HICON m_hIcon;

    // Window events.
    bool OnInitDialog() override;
    void OnSysCommand(unsigned id, long param);
    void OnPaint();
    sx::HICON OnQueryDragIcon();
    void OnSingleMissions();
    void OnCampaignMissions();
    void OnCustomMissions();
    void OnLaunchGame();
    void OnLaunchMission();
    void OnSelchangeMissionList();
    void OnChangeCallsign();

    // Operations.
    void LocateGame();
    void EnterCategoryFolder();
    void RefreshMissionList();
    void LoadBriefing();
    void LoadCallsign();
    // The text of the selected list entry; empty when nothing is selected.
    std::string SelectedMission() const;

  protected:
    void DoDataExchange(sx::CDataExchange* pDX) override;
    std::span<const sx::EventEntry> GetEventTable() const override;
};

class CLauncherApp : public sx::CWinApp {
  public:
    bool InitInstance() override;
};
