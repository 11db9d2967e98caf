// Start-up of the Qt build: the application object's InitInstance runs the program.
#include <QApplication>

#include "hosts/qt/QtHost.h"
#include "ui/Dialog.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    sx::qt::QtHost host;
    sx::ui::SetHost(&host);
    if (sx::ui::CWinApp* winApp = sx::ui::AfxGetApp()) winApp->InitInstance();
    sx::ui::SetHost(nullptr);
    return 0;
}
