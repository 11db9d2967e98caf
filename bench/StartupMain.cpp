// SPDX-License-Identifier: GPL-3.0-or-later
// Sortilex as it starts, with its first window closed as soon as it shows: what the start-up
// measurement times. The shipped program has no such switch.
#include <QApplication>

#include "hosts/qt/QtDialogWindow.h"
#include "hosts/qt/QtHost.h"
#include "os/Process.h"
#include "ui/Dialog.h"

int main(int argc, char** argv) {
    sx::os::InitializeProcess(1, argv);
    QApplication app(argc, argv);
    sx::qt::QtHost host;
    sx::ui::SetHost(&host);
    sx::qt::QtDialogWindow::CloseNextWindowWhenShown();
    if (sx::ui::CWinApp* winApp = sx::ui::AfxGetApp()) winApp->InitInstance();
    sx::ui::SetHost(nullptr);
    return 0;
}
