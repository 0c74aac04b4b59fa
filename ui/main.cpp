// svcadjust: service and adjustment program for the Corvid Lumen 4100/4200.
#include "journal/Recorder.h"
#include "journal/SqlStore.h"
#include "link/Host.h"
#include "link/Version.h"
#include "i18n/Translate.h"
#include "ui/GuardedApplication.h"
#include "ui/GuiHost.h"
#include "ui/ProgramWindows.h"
#include "ui/VexFormAdjust.h"
#include "ui/VexFormBoot.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

using namespace svc::ui;

namespace {

constexpr int kExitNoDisplay = 2;

const char kUsage[] = SVC_N(
    "usage: svcadjust [QT-OPTION...]\n"
    "       svcadjust --help | --version\n"
    "\n"
    "The service and adjustment program for the Corvid Lumen 4100 and 4200 printers.\n"
    "Everything is chosen in its windows, which need a display (X11 or Wayland);\n"
    "without one, svcadjust-cli does the same from a terminal. Qt's own options\n"
    "(for example -platform NAME, -style NAME) are passed on to Qt.\n"
    "\n"
    "  -h, --help     this text\n"
    "  --version      the version of the program\n"
    "\n"
    "Exit status: 0 when the program was ended from its windows, 1 after an error\n"
    "it could not go on from, 2 when there is no display to show the windows on.\n");

bool Set(const char* variable) {
    const char* value = std::getenv(variable);
    return value && *value;
}

// Whether Qt has somewhere to show the windows: a display named in the
// environment, or a platform chosen on the command line.
bool DisplayGiven(int argc, char** argv) {
    if (Set("DISPLAY") || Set("WAYLAND_DISPLAY") || Set("QT_QPA_PLATFORM")) return true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-platform" || arg == "--platform" || arg.rfind("-platform=", 0) == 0 ||
            arg.rfind("--platform=", 0) == 0)
            return true;
    }
    return false;
}

// While the application object is made, Qt's messages are held: a display
// that cannot be opened ends the program with one line that says why (the
// first message Qt gave) and status 2, not with an abort; otherwise they are
// printed as Qt would print them.
std::vector<std::string> g_startUpMessages;
void StartUpMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtFatalMsg) {
        g_startUpMessages.push_back(qFormatLogMessage(type, context, message).toStdString());
        return;
    }
    std::string reason = g_startUpMessages.empty() ? message.toStdString() : g_startUpMessages.front();
    reason = reason.substr(0, reason.find('\n'));
    std::fprintf(stderr, "%s\n", svc::Format(svc::Tr("svcadjust: the windows cannot be shown: %1"), {reason}).c_str());
    std::fflush(stderr);
    std::_Exit(kExitNoDisplay);
}

}  // namespace

int main(int argc, char** argv) {
    // The messages in the user's language from the start (Qt takes the whole
    // locale when it starts).
    std::setlocale(LC_MESSAGES, "");
    svc::InitTranslations();
    // --help and --version answer before anything of Qt starts; nothing else is ours.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(svc::Tr(kUsage), stdout);
            return std::fflush(stdout) == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("svcadjust %s\n", svc::kVersion);
            return std::fflush(stdout) == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
        }
    }
    if (!DisplayGiven(argc, argv)) {
        std::fputs(svc::Tr("svcadjust: there is no display to show the windows on (DISPLAY, WAYLAND_DISPLAY and "
                           "QT_QPA_PLATFORM are not set); start it in a desktop session, or use svcadjust-cli\n"),
                   stderr);
        return kExitNoDisplay;
    }

    const QtMessageHandler previousHandler = qInstallMessageHandler(StartUpMessages);
    GuardedApplication app(argc, argv);
    qInstallMessageHandler(previousHandler);
    for (const std::string& message : g_startUpMessages) std::fprintf(stderr, "%s\n", message.c_str());
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
        QApplication::setApplicationVersion(svc::kVersion);
        // The start window decides when the program ends, not the last window.
        QApplication::setQuitOnLastWindowClosed(false);

        ProgramWindows windows;
        host.SetMainWindow(&windows.Adjust());
        QObject::connect(&windows.Boot(), &TFormBoot::Closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
        windows.Boot().RememberChoicesIn(TFormBoot::DefaultChoicesFile());
        windows.Boot().show();
        const int status = QApplication::exec();
        svc::SetHost(nullptr);
        return status;
    } catch (const std::exception& e) {
        EndWithErrorBox(e.what());
    } catch (...) {
        EndWithErrorBox(SVC_N("An unexpected error occurred."));
    }
}
