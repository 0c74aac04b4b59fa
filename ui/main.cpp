// svcadjust: service and adjustment program for the Corvid Lumen 4100/4200.
#include "journal/Recorder.h"
#include "journal/SqlStore.h"
#include "link/Host.h"
#include "ui/GuardedApplication.h"
#include "ui/GuiHost.h"
#include "ui/ProgramWindows.h"
#include "ui/VexFormAdjust.h"
#include "ui/VexFormBoot.h"

#include <cstdio>
#include <exception>

using namespace svc::ui;

int main(int argc, char** argv) {
    GuardedApplication app(argc, argv);
    GuiHost host;
    svc::SetHost(&host);
    // The service journal: a journal that cannot be opened or written is
    // reported once and the work goes on without it.
    std::string journalError;
    auto journal = svc::journal::OpenConfigured(journalError);
    if (!journalError.empty()) std::fprintf(stderr, "svcadjust: %s\n", journalError.c_str());
    svc::journal::Journal().Install(std::move(journal), [](const std::string& message) {
        std::fprintf(stderr, "svcadjust: %s\n", message.c_str());
    });
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
