// Resource and control ids of Sortilex's windows.
#pragma once

namespace sx {

// Dialogs, pictures and strings.
constexpr int IDD_ABOUTBOX = 100;
constexpr int IDS_ABOUTBOX = 101;
constexpr int IDD_LAUNCHER_DIALOG = 102;
constexpr int IDR_MAINFRAME = 128;
constexpr int IDB_BANNER = 132;
constexpr int IDD_RESULTS_DIALOG = 133;

// Window-menu command of the about entry.
constexpr unsigned IDM_ABOUTBOX = 0x0010;

// The platform's OK button id, as a control of a template.
constexpr int IDOK_CONTROL = 1;

// Main window.
constexpr int IDC_MISSION_LIST = 1000;
constexpr int IDC_BRIEFING = 1001;
constexpr int IDC_LAUNCH_MISSION = 1005;
constexpr int IDC_LAUNCH_GAME = 1006;
constexpr int IDC_SINGLE_MISSIONS = 1007;
constexpr int IDC_CAMPAIGN_MISSIONS = 1008;
constexpr int IDC_CUSTOM_MISSIONS = 1009;
constexpr int IDC_CALLSIGN = 1011;
constexpr int IDC_CHANGE_CALLSIGN = 1013;

// Results table.
constexpr int IDC_ALLIED_LOSSES = 1008;
constexpr int IDC_AXIS_LOSSES = 1009;
constexpr int IDC_FIGHTER_LOSSES = 1010;
constexpr int IDC_BOMBER_LOSSES = 1011;
constexpr int IDC_FIGHTERS_BY_PLAYER = 1012;
constexpr int IDC_BOMBERS_BY_PLAYER = 1013;

}  // namespace sx
