// SPDX-License-Identifier: GPL-3.0-or-later
// Resource and control ids of Sortilex's windows.
#pragma once

namespace sx {

// Dialogs, pictures and strings.
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDS_ABOUTBOX = 101;
inline constexpr int IDD_LAUNCHER_DIALOG = 102;
inline constexpr int IDR_MAINFRAME = 128;
inline constexpr int IDB_BANNER = 132;
inline constexpr int IDD_RESULTS_DIALOG = 133;
inline constexpr int IDD_BATCH_CALLSIGN = 134;
inline constexpr int IDD_PROGRESS = 135;
inline constexpr int IDD_INSTALL = 136;
inline constexpr int IDD_INSTALL_PROGRESS = 137;

// Window-menu command of the about entry.
inline constexpr unsigned IDM_ABOUTBOX = 0x0010;
// The window menu's installations of the game: this and the next 31 commands, 0x10 apart.
inline constexpr unsigned IDM_INSTALLATION_FIRST = 0x0100;

// The mission list's own menu.
inline constexpr unsigned IDM_SET_CALLSIGN_ALL = 0x8000;
inline constexpr unsigned IDM_OPEN_FOLDER = 0x8010;
inline constexpr unsigned IDM_INSTALL_MISSIONS = 0x8020;
inline constexpr unsigned IDM_MOVE_TO_TRASH = 0x8030;

// Main window.
inline constexpr int IDC_MISSION_LIST = 1000;
inline constexpr int IDC_BRIEFING = 1001;
inline constexpr int IDC_LAUNCH_MISSION = 1005;
inline constexpr int IDC_LAUNCH_GAME = 1006;
inline constexpr int IDC_SINGLE_MISSIONS = 1007;
inline constexpr int IDC_CAMPAIGN_MISSIONS = 1008;
inline constexpr int IDC_CUSTOM_MISSIONS = 1009;
inline constexpr int IDC_CALLSIGN = 1011;
inline constexpr int IDC_CHANGE_CALLSIGN = 1013;

// Results table.
inline constexpr int IDC_ALLIED_LOSSES = 1008;
inline constexpr int IDC_AXIS_LOSSES = 1009;
inline constexpr int IDC_FIGHTER_LOSSES = 1010;
inline constexpr int IDC_BOMBER_LOSSES = 1011;
inline constexpr int IDC_FIGHTERS_BY_PLAYER = 1012;
inline constexpr int IDC_BOMBERS_BY_PLAYER = 1013;

// Callsign for all missions, and the progress of the batch.
inline constexpr int IDC_BATCH_COUNT = 1020;
inline constexpr int IDC_BATCH_CALLSIGN = 1021;
inline constexpr int IDC_BATCH_OTHER = 1022;
inline constexpr int IDC_PROGRESS_TEXT = 1023;

// The confirmation of an install.
inline constexpr int IDC_INSTALL_TEXT = 1030;
inline constexpr int IDC_INSTALL_ENTRIES = 1031;

}  // namespace sx
