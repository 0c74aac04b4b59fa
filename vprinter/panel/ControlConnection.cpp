#include "vprinter/panel/ControlConnection.h"

#include <QStringList>

namespace vp::panel {

QHash<QString, QString> ParseStateLine(const QString& line) {
    QHash<QString, QString> fields;
    if (!line.startsWith(QLatin1String("OK "))) return fields;
    const QStringList words = line.mid(3).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString& word : words) {
        const qsizetype eq = word.indexOf(QLatin1Char('='));
        if (eq <= 0) continue;
        QString value = word.mid(eq + 1);
        value.replace(QLatin1String("%20"), QLatin1String(" "));
        value.replace(QLatin1String("%25"), QLatin1String("%"));
        fields.insert(word.left(eq), value);
    }
    return fields;
}

ControlConnection::ControlConnection(QObject* parent) : QObject(parent) {
    connect(&socket_, &QLocalSocket::readyRead, this, &ControlConnection::OnReadyRead);
    connect(&socket_, &QLocalSocket::connected, this, [this] {
        reconnectTimer_.stop();
        emit connectedChanged(true);
        PollState();
    });
    connect(&socket_, &QLocalSocket::disconnected, this, [this] {
        sent_.clear();
        pending_.clear();
        dropping_ = false;
        statePending_ = false;
        lastState_.clear();
        emit connectedChanged(false);
        reconnectTimer_.start();
    });
    connect(&socket_, &QLocalSocket::errorOccurred, this, [this](QLocalSocket::LocalSocketError) {
        if (socket_.state() != QLocalSocket::ConnectedState) reconnectTimer_.start();
    });
    reconnectTimer_.setInterval(1000);
    reconnectTimer_.setSingleShot(true);
    connect(&reconnectTimer_, &QTimer::timeout, this, &ControlConnection::Reconnect);
    connect(&pollTimer_, &QTimer::timeout, this, &ControlConnection::PollState);
}

ControlConnection::~ControlConnection() {
    socket_.disconnect(this);
    pollTimer_.stop();
    reconnectTimer_.stop();
    socket_.abort();
}

void ControlConnection::Start(const QString& controlPath, int pollMs) {
    path_ = controlPath;
    pollTimer_.start(pollMs);
    Reconnect();
}

void ControlConnection::Reconnect() {
    if (socket_.state() != QLocalSocket::UnconnectedState) socket_.abort();
    socket_.connectToServer(path_);
}

void ControlConnection::Send(const QString& command) {
    if (!IsConnected()) {
        emit answered(command, QStringLiteral("ERR not connected to ") + path_);
        return;
    }
    sent_.enqueue(command);
    socket_.write(command.toUtf8() + '\n');
}

void ControlConnection::PollState() {
    // One state request in flight at a time: a slow printer is not flooded.
    if (!IsConnected() || statePending_) return;
    statePending_ = true;
    Send(QStringLiteral("state"));
}

static QString DroppedLine() {
    return QStringLiteral("ERR answer dropped: a line longer than %1 bytes").arg(ControlConnection::kMaxLine);
}

void ControlConnection::OnReadyRead() {
    // Read in pieces, so that a peer that never sends a newline costs no
    // more than one line's worth of memory.
    char chunk[16 * 1024];
    for (qint64 got; (got = socket_.read(chunk, sizeof chunk)) > 0;) {
        pending_.append(chunk, got);
        for (qsizetype nl; (nl = pending_.indexOf('\n')) >= 0;) {
            if (dropping_) {  // the overlong line ends here; the next one is read again
                pending_.remove(0, nl + 1);
                dropping_ = false;
                continue;
            }
            if (nl > kMaxLine) {
                pending_.remove(0, nl + 1);
                OnLine(DroppedLine(), true);
                continue;
            }
            const QString line = QString::fromUtf8(pending_.left(nl)).trimmed();
            pending_.remove(0, nl + 1);
            OnLine(line, false);
        }
        if (pending_.size() > kMaxLine) {
            pending_.clear();
            if (!dropping_) {
                dropping_ = true;
                OnLine(DroppedLine(), true);
            }
        }
    }
}

void ControlConnection::OnLine(const QString& line, bool dropped) {
    const QString command = sent_.isEmpty() ? QString() : sent_.dequeue();
    if (command == QLatin1String("state")) {
        statePending_ = false;
        if (dropped)
            emit answered(command, line);
        else if (line != lastState_) {
            lastState_ = line;
            const QHash<QString, QString> fields = ParseStateLine(line);
            if (!fields.isEmpty()) emit stateChanged(fields);
        }
        return;
    }
    emit answered(command, line);
    // What a command changed shows at once, not at the next poll.
    PollState();
}

}  // namespace vp::panel
