// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up of the Linux build: the command line is settled, then the application object's
// InitInstance runs the program.
#include <QApplication>

#include "hosts/qt/QtHost.h"
#include "os/Process.h"
#include "ui/Dialog.h"
#include "version/Version.h"

int main(int argc, char** argv) {
    // Before the window system: what the command line asks for needs no display.
    sx::os::InitializeProcess(argc, argv);
    if (sx::ui::CWinApp* winApp = sx::ui::AfxGetApp())
        if (const std::optional<int> exitCode = winApp->CommandLine(argc, argv)) return *exitCode;
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    sx::qt::QtHost host;
    sx::ui::SetHost(&host);
    if (sx::ui::CWinApp* winApp = sx::ui::AfxGetApp()) winApp->InitInstance();
    sx::ui::SetHost(nullptr);
    return 0;
}
