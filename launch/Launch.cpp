// Starting the game, alone or on the selected mission.
#include "app/LauncherDlg.h"

void CLauncherDlg::OnLaunchGame() {}

void CLauncherDlg::OnLaunchMission() {}
