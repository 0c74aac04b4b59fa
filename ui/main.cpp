// svcadjust: service and adjustment program for the Corvid Lumen 4100/4200.
#include "link/Host.h"
#include "ui/GuardedApplication.h"
#include "ui/GuiHost.h"
#include "ui/ProgramWindows.h"
#include "ui/VexFormAdjust.h"
#include "ui/VexFormBoot.h"

#include <exception>

using namespace svc::ui;

int main(int argc, char** argv) {
    GuardedApplication app(argc, argv);
    GuiHost host;
    svc::SetHost(&host);
    try {
        CreateProgramObjects();
        QApplication::setApplicationName(kApplicationTitle);
        // The start window decides when the program ends, not the last window.
        QApplication::setQuitOnLastWindowClosed(false);

        ProgramWindows windows;
        host.SetMainWindow(&windows.Adjust());
        QObject::connect(&windows.Boot(), &TFormBoot::Closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
        windows.Boot().show();
        const int status = QApplication::exec();
        svc::SetHost(nullptr);
        return status;
    } catch (const std::exception& e) {
        EndWithErrorBox(e.what());
    } catch (...) {
        EndWithErrorBox("An unexpected error occurred.");
    }
}
