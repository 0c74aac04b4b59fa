// The panel program's command line, run as a process, and its control line
// against a peer that sends lines longer than any answer should be.
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "vprinter/panel/ControlConnection.h"

using vp::panel::ControlConnection;

namespace {

struct Run {
    int exitCode = -1;
    QProcess::ExitStatus status = QProcess::CrashExit;
    QString out;
    QString err;
};

// Runs the program with `env` changed: an empty value removes the variable.
Run RunPanel(const QStringList& args, const QHash<QString, QString>& env) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (auto it = env.begin(); it != env.end(); ++it) {
        if (it.value().isEmpty())
            environment.remove(it.key());
        else
            environment.insert(it.key(), it.value());
    }
    // Qt warns on standard error without a runtime folder; the program's own lines are looked at.
    static QTemporaryDir runtime;
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(VPRINTER_PANEL_PROGRAM), args);
    Run run;
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished(5000);
        return run;
    }
    run.exitCode = process.exitCode();
    run.status = process.exitStatus();
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

const QHash<QString, QString> kOffscreen{{QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen")}};
const QHash<QString, QString> kNoDisplay{{QStringLiteral("QT_QPA_PLATFORM"), QString()},
                                         {QStringLiteral("DISPLAY"), QString()},
                                         {QStringLiteral("WAYLAND_DISPLAY"), QString()}};

}  // namespace

class PanelProgramTest : public QObject {
    Q_OBJECT

private slots:
    void HelpAndVersionExitZero() {
        for (const auto& env : {kOffscreen, kNoDisplay}) {
            const Run version = RunPanel({QStringLiteral("--version")}, env);
            QCOMPARE(version.status, QProcess::NormalExit);
            QCOMPARE(version.exitCode, 0);
            QCOMPARE(version.out.trimmed(), QStringLiteral("vprinter-panel " VPRINTER_PANEL_VERSION));
            const Run help = RunPanel({QStringLiteral("--help")}, env);
            QCOMPARE(help.exitCode, 0);
            QVERIFY(help.out.contains(QStringLiteral("--control <PATH>")));
            QVERIFY(help.out.contains(QStringLiteral("--version")));
        }
    }

    void UsageErrorsExitTwoWithOneLine() {
        struct Case {
            QStringList args;
            const char* says;
        };
        const Case cases[] = {
            {{QStringLiteral("--bogus")}, "nknown option 'bogus'"},
            {{}, "name the printer's control socket"},
            {{QStringLiteral("--poll"), QStringLiteral("5"), QStringLiteral("/tmp/x.ctl")}, "--poll takes"},
            {{QStringLiteral("/tmp/a.ctl"), QStringLiteral("/tmp/b.ctl")}, "one control socket"}};
        for (const auto& env : {kOffscreen, kNoDisplay}) {
            for (const Case& c : cases) {
                const Run run = RunPanel(c.args, env);
                QCOMPARE(run.status, QProcess::NormalExit);
                QCOMPARE(run.exitCode, 2);
                QVERIFY2(
                    run.err.startsWith(QStringLiteral("vprinter-panel: ")) && run.err.contains(QLatin1String(c.says)),
                    qPrintable(run.err));
                QVERIFY2(run.err.endsWith(QStringLiteral(" (try --help)\n")) && run.err.count(QLatin1Char('\n')) == 1,
                         qPrintable(run.err));
                QVERIFY(run.out.isEmpty());
            }
        }
    }

    void WithoutADisplayItSaysSoAndExitsTwo() {
        const Run run = RunPanel({QStringLiteral("--control"), QStringLiteral("/tmp/nothing.ctl")}, kNoDisplay);
        QCOMPARE(run.status, QProcess::NormalExit);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.startsWith(QStringLiteral("vprinter-panel: no display")), qPrintable(run.err));
        QCOMPARE(run.err.count(QLatin1Char('\n')), 1);

        // A display named but not there: Qt's own end is turned into one line too.
        QHash<QString, QString> away = kNoDisplay;
        away.insert(QStringLiteral("DISPLAY"), QStringLiteral(":4093"));
        const Run unreachable = RunPanel({QStringLiteral("/tmp/nothing.ctl")}, away);
        QCOMPARE(unreachable.status, QProcess::NormalExit);
        QCOMPARE(unreachable.exitCode, 2);
        QVERIFY2(unreachable.err.contains(QStringLiteral("vprinter-panel: cannot open a window")),
                 qPrintable(unreachable.err));
        QVERIFY(!unreachable.err.contains(QStringLiteral("Reinstalling")));
    }

    // A peer that answers with lines of its own making, one for each line it gets.
    void AnOverlongLineIsDroppedAndReadingGoesOn() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.path() + QStringLiteral("/ctl");
        QLocalServer server;
        QVERIFY(server.listen(path));
        QStringList requests;
        QLocalSocket* peer = nullptr;
        const QByteArray huge(ControlConnection::kMaxLine * 3, 'x');
        QList<QByteArray> answers{QByteArray("OK power=on model=4100\n"),  // the first state
                                  huge.left(40000),                        // "big": sent in pieces ...
                                  huge.mid(40000) + "\nOK pong\n",         // ... then ends, and "ping" is answered
                                  QByteArray("OK power=off\n")};           // the state asked for after "ping"
        connect(&server, &QLocalServer::newConnection, this, [&] {
            peer = server.nextPendingConnection();
            connect(peer, &QLocalSocket::readyRead, this, [&] {
                while (peer->canReadLine()) {
                    requests << QString::fromUtf8(peer->readLine()).trimmed();
                    if (requests.last() == QLatin1String("ping")) continue;  // answered together with "big"
                    if (!answers.isEmpty()) peer->write(answers.takeFirst());
                    if (requests.last() == QLatin1String("big") && !answers.isEmpty()) peer->write(answers.takeFirst());
                }
            });
        });

        ControlConnection connection;
        QSignalSpy answered(&connection, &ControlConnection::answered);
        QSignalSpy state(&connection, &ControlConnection::stateChanged);
        connection.Start(path, 60000);
        QTRY_COMPARE(state.size(), 1);
        connection.Send(QStringLiteral("big"));
        connection.Send(QStringLiteral("ping"));
        QTRY_COMPARE(answered.size(), 2);
        QCOMPARE(answered[0][0].toString(), QStringLiteral("big"));
        QVERIFY2(
            answered[0][1].toString().startsWith(QStringLiteral("ERR answer dropped: a line longer than 65536 bytes")),
            qPrintable(answered[0][1].toString()));
        // In step again after the newline: the next answer goes to the next command.
        QCOMPARE(answered[1][0].toString(), QStringLiteral("ping"));
        QCOMPARE(answered[1][1].toString(), QStringLiteral("OK pong"));
        QTRY_COMPARE(state.size(), 2);
        using Fields = QHash<QString, QString>;
        QCOMPARE(state[1][0].value<Fields>().value(QStringLiteral("power")), QStringLiteral("off"));
        QCOMPARE(answered.size(), 2);  // one message for the dropped line
    }
};

QTEST_MAIN(PanelProgramTest)
#include "PanelProgram_test.moc"
