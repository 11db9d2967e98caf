// SPDX-License-Identifier: GPL-3.0-or-later
// The application object. The window system's start-up code runs its InitInstance.
#include "app/LauncherDlg.h"

CLauncherApp theApp;
