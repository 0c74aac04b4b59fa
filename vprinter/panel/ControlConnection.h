// The panel's line to a running virtual printer: its control socket. One
// command line out, one answer line back, in order; the state line is polled
// a few times a second and handed on as fields.
#pragma once

#include <QHash>
#include <QLocalSocket>
#include <QObject>
#include <QQueue>
#include <QString>
#include <QTimer>

namespace vp::panel {

// The fields of a "state" answer: "OK key=value key=value ..." (values with
// %20 and %25 decoded). Empty when the line is not an OK state line.
QHash<QString, QString> ParseStateLine(const QString& line);

class ControlConnection : public QObject {
    Q_OBJECT
public:
    explicit ControlConnection(QObject* parent = nullptr);
    // Hangs up without telling anyone: the window may be going too.
    ~ControlConnection() override;

    // Connects to the control socket and keeps trying every second while it
    // is not there; polls the state every `pollMs`.
    void Start(const QString& controlPath, int pollMs = 250);
    bool IsConnected() const { return socket_.state() == QLocalSocket::ConnectedState; }
    const QString& Path() const { return path_; }

    // Sends one command; its answer comes as answered().
    void Send(const QString& command);
    // Asks for the state now (also done by the poll timer).
    void PollState();

    // The longest answer line kept (a state line is about 2 KB). A longer
    // line is dropped as it comes (its command is answered with an ERR that
    // says so) and reading goes on after its newline.
    static constexpr qsizetype kMaxLine = 64 * 1024;

signals:
    void connectedChanged(bool connected);
    void answered(const QString& command, const QString& answer);
    void stateChanged(const QHash<QString, QString>& fields);

private:
    void OnReadyRead();
    void OnLine(const QString& line, bool dropped);
    void Reconnect();

    QLocalSocket socket_;
    QTimer pollTimer_;
    QTimer reconnectTimer_;
    QString path_;
    QByteArray pending_;
    QQueue<QString> sent_;
    bool statePending_ = false;
    bool dropping_ = false;  // in an overlong line: what comes is dropped up to its newline
    QString lastState_;
};

}  // namespace vp::panel
