// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up of the Windows build: the application object's InitInstance runs the program. The
// command line is not read.
#include "hosts/win32/Win32DialogWindow.h"
#include "hosts/win32/Win32Host.h"
#include "os/Process.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    sx::os::InitializeProcess(0, nullptr);
    sx::win32::Win32Host host;
    sx::ui::SetHost(&host);
    if (sx::ui::CWinApp* app = sx::ui::AfxGetApp()) app->InitInstance();
    sx::ui::SetHost(nullptr);
    return 0;
}
