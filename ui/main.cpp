// svcadjust: service and adjustment program for the Corvid Lumen 4100/4200.
#include "link/Host.h"
#include "ui/GuiHost.h"
#include "ui/ProgramWindows.h"
#include "ui/VexFormAdjust.h"
#include "ui/VexFormBoot.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdlib>
#include <exception>

namespace {

const char* const kApplicationTitle = "Adjustment program";

[[noreturn]] void EndWithErrorBox(const QString& text) {
    QMessageBox::critical(nullptr, kApplicationTitle, text);
    std::exit(EXIT_FAILURE);
}

// Every event goes through notify: an exception that escapes a handler ends
// up here instead of unwinding through the event loop.
class GuardedApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            EndWithErrorBox(QString::fromLocal8Bit(e.what()));
        } catch (...) {
            EndWithErrorBox("An unexpected error occurred.");
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    GuardedApplication app(argc, argv);
    try {
        svc::ui::GuiHost host;
        svc::SetHost(&host);
        svc::ui::CreateProgramObjects();
        QApplication::setApplicationName(kApplicationTitle);
        // The start window decides when the program ends, not the last window.
        QApplication::setQuitOnLastWindowClosed(false);

        svc::ui::ProgramWindows windows;
        host.SetMainWindow(&windows.Adjust());
        QObject::connect(&windows.Boot(), &svc::ui::TFormBoot::Closed, &app, &QCoreApplication::quit,
                         Qt::QueuedConnection);
        windows.Boot().show();
        const int status = QApplication::exec();
        svc::SetHost(nullptr);
        return status;
    } catch (const std::exception& e) {
        EndWithErrorBox(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        EndWithErrorBox("An unexpected error occurred.");
    }
}
