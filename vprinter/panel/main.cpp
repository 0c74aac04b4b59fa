// vprinter-panel: the front panel of a running virtual printer.
//   vprinter-panel --control /tmp/lumen.sock.ctl
#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "vprinter/panel/PanelWindow.h"

namespace {

constexpr int kUsage = 2;

struct Arguments {
    QString control;
    int pollMs = 250;
};

// Parses the command line; --help and --version print and exit 0, a usage
// error prints one line and exits 2.
Arguments Parse(const QCoreApplication& app) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "The front panel of a running virtual printer (vprinter): power, buttons, lights, ink, faults,\n"
        "the last printed page, counters and the EEPROM. It speaks only the printer's control protocol."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    QCommandLineOption control(
        QStringList{QStringLiteral("c"), QStringLiteral("control")},
        QStringLiteral("The printer's control socket (vprinter --control, by default the port socket + .ctl)."),
        QStringLiteral("PATH"));
    QCommandLineOption poll(QStringLiteral("poll"),
                            QStringLiteral("How often to read the printer's state, in ms (default 250)."),
                            QStringLiteral("MS"), QStringLiteral("250"));
    parser.addOption(control);
    parser.addOption(poll);
    parser.addPositionalArgument(QStringLiteral("control"),
                                 QStringLiteral("The control socket, if not given with --control."));
    const auto usage = [](QString problem) {
        if (problem.endsWith(QLatin1Char('.'))) problem.chop(1);  // Qt's messages end in one
        std::fprintf(stderr, "vprinter-panel: %s (try --help)\n", qUtf8Printable(problem));
        std::exit(kUsage);
    };
    if (!parser.parse(app.arguments())) usage(parser.errorText());
    // --help, --help-all and --version print and exit 0.
    if (parser.isSet(help) || parser.isSet(version) || parser.isSet(QStringLiteral("help-all"))) parser.process(app);

    Arguments args;
    args.control = parser.value(control);
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > (args.control.isEmpty() ? 1 : 0))
        usage(QStringLiteral("one control socket, not %1").arg(positional.join(QLatin1Char(' '))));
    if (args.control.isEmpty() && !positional.isEmpty()) args.control = positional.first();
    if (args.control.isEmpty()) usage(QStringLiteral("name the printer's control socket: --control PATH"));
    bool ok = false;
    args.pollMs = parser.value(poll).toInt(&ok);
    if (!ok || args.pollMs < 20 || args.pollMs > 60000) usage(QStringLiteral("--poll takes 20 to 60000 ms"));
    return args;
}

bool HasDisplay(int argc, char** argv) {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value) return true;
    }
    for (int i = 1; i < argc; ++i)  // Qt's own -platform NAME
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) return true;
    return false;
}

// Qt ends the program when the display named cannot be reached; it says so
// in one line instead, with the usage exit status.
bool g_openingDisplay = false;
QtMessageHandler g_qtHandler = nullptr;
void OnQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtFatalMsg && g_openingDisplay) {
        const char* display = std::getenv("DISPLAY");
        std::fprintf(stderr, "vprinter-panel: cannot open a window: no display could be reached%s%s\n",
                     display && *display ? " at DISPLAY=" : "", display && *display ? display : "");
        std::_Exit(kUsage);
    }
    if (g_qtHandler)
        g_qtHandler(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qUtf8Printable(qFormatLogMessage(type, context, message)));
}

void SetNames() {
    QCoreApplication::setApplicationName(QStringLiteral("vprinter-panel"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VPRINTER_PANEL_VERSION));
}

}  // namespace

int main(int argc, char** argv) {
    if (!HasDisplay(argc, argv)) {
        // No window can open: the command line is still answered (--help,
        // --version, usage errors), then the missing display is named.
        QCoreApplication app(argc, argv);
        SetNames();
        Parse(app);
        std::fprintf(stderr,
                     "vprinter-panel: no display to open a window on (DISPLAY and WAYLAND_DISPLAY are not set; "
                     "xvfb-run gives a virtual one)\n");
        return kUsage;
    }
    g_qtHandler = qInstallMessageHandler(OnQtMessage);
    g_openingDisplay = true;
    QApplication app(argc, argv);
    g_openingDisplay = false;
    qInstallMessageHandler(g_qtHandler);
    SetNames();
    const Arguments args = Parse(app);
    vp::panel::PanelWindow window;
    window.Start(args.control, args.pollMs);
    window.show();
    return app.exec();
}
