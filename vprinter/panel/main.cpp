// vprinter-panel: the front panel of a running virtual printer.
//   vprinter-panel --control /tmp/lumen.sock.ctl
#include <QApplication>
#include <QCommandLineParser>

#include "vprinter/panel/PanelWindow.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vprinter-panel"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "The front panel of a running virtual printer (vprinter): power, buttons, lights, ink, faults,\n"
        "the last printed page, counters and the EEPROM. It speaks only the printer's control protocol."));
    parser.addHelpOption();
    QCommandLineOption control(QStringList{QStringLiteral("c"), QStringLiteral("control")},
                               QStringLiteral("The printer's control socket (vprinter --control, by default the port socket + .ctl)."),
                               QStringLiteral("PATH"));
    QCommandLineOption poll(QStringLiteral("poll"), QStringLiteral("How often to read the printer's state, in ms (default 250)."),
                            QStringLiteral("MS"), QStringLiteral("250"));
    parser.addOption(control);
    parser.addOption(poll);
    parser.addPositionalArgument(QStringLiteral("control"), QStringLiteral("The control socket, if not given with --control."));
    parser.process(app);
    QString path = parser.value(control);
    if (path.isEmpty() && !parser.positionalArguments().isEmpty()) path = parser.positionalArguments().first();
    if (path.isEmpty()) {
        std::fprintf(stderr, "vprinter-panel: name the printer's control socket: --control PATH\n");
        return 2;
    }
    bool ok = false;
    const int pollMs = parser.value(poll).toInt(&ok);
    if (!ok || pollMs < 20 || pollMs > 60000) {
        std::fprintf(stderr, "vprinter-panel: --poll takes 20 to 60000 ms\n");
        return 2;
    }
    vp::panel::PanelWindow window;
    window.Start(path, pollMs);
    window.show();
    return app.exec();
}
