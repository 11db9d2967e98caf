// Start-up of the Qt build: the application object's InitInstance runs the program.
#include <QApplication>

#include "platform/Dialog.h"
#include "platform/qt/QtHost.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    sx::QtHost host;
    sx::SetHost(&host);
    if (sx::CWinApp* winApp = sx::AfxGetApp()) winApp->InitInstance();
    sx::SetHost(nullptr);
    return 0;
}
