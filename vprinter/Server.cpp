#include "vprinter/Server.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "vprinter/Control.h"
#include "vprinter/Framing.h"
#include "vprinter/Printer.h"

namespace vp {

namespace {

// A host that stops reading while the printer keeps answering is cut off
// rather than let the queue grow without end.
constexpr std::size_t kMaxPendingOutput = 16u << 20;
constexpr std::size_t kMaxControlLine = 4096;
constexpr std::int64_t kSaveRetryMs = 1000;
constexpr std::size_t kReadChunk = 65536;
// Control clients beyond this are told so and hung up on: each costs a file
// descriptor, and the port socket must always find one.
constexpr std::size_t kMaxControlClients = 16;
// After accept() fails for want of descriptors or memory, the listening
// socket stays readable; it is left out of the poll for this long instead of
// being retried in a busy loop.
constexpr std::int64_t kAcceptBackoffMs = 100;

bool OutOfResources(int error) { return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM; }

std::int64_t MonotonicUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::int64_t MonotonicMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool FillAddress(const std::string& path, sockaddr_un& a, std::string& error) {
    std::memset(&a, 0, sizeof a);
    a.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof a.sun_path) {
        error =
            "socket path '" + path + "' is empty or longer than " + std::to_string(sizeof a.sun_path - 1) + " bytes";
        return false;
    }
    std::memcpy(a.sun_path, path.c_str(), path.size());
    return true;
}

// Removes a socket file that nobody listens on any more; refuses to touch a
// live socket or anything that is not a socket.
bool ClearStaleSocket(const std::string& path, std::string& error) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return true;
    if (!S_ISSOCK(st.st_mode)) {
        error = path + " exists and is not a socket; not replacing it";
        return false;
    }
    sockaddr_un a{};
    if (!FillAddress(path, a, error)) return false;
    const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool live = probe >= 0 && ::connect(probe, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    if (probe >= 0) ::close(probe);
    if (live) {
        error = "another printer is already listening on " + path;
        return false;
    }
    ::unlink(path.c_str());
    return true;
}

int Listen(const std::string& path, std::string& error) {
    sockaddr_un a{};
    if (!FillAddress(path, a, error) || !ClearStaleSocket(path, error)) return -1;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        error = std::string("cannot create a socket: ") + std::strerror(errno);
        return -1;
    }
    // The socket file is its owner's alone (0600), whatever the umask: the
    // newest host connection wins the port, so anyone who could connect
    // could take the printer from the program. bind() creates the file with
    // the umask's permissions, so the umask is narrowed around it rather
    // than the mode fixed afterwards, which would leave a moment open.
    const mode_t mask = ::umask(0177);
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    const int bindErrno = errno;
    ::umask(mask);
    errno = bindErrno;
    if (!bound || ::listen(fd, 4) != 0) {
        error = "cannot listen on " + path + ": " + std::strerror(errno);
        ::close(fd);
        if (bound) ::unlink(path.c_str());
        return -1;
    }
    return fd;
}

}  // namespace

struct Server::Connection {
    explicit Connection(int f) : fd(f) {}
    ~Connection() {
        if (fd >= 0) ::close(fd);
    }
    int fd;
    // Host connection: bytes read but not yet handled, at most one frame
    // cut short, from the front of `inbox`. The buffer keeps its size, so
    // a read lands in it directly and frames are handled where they lie.
    std::vector<std::uint8_t> inbox;
    std::size_t inboxUsed = 0;
    std::string line;  // control connection
    std::vector<std::uint8_t> out;
    bool closing = false;  // close once the output is written

    // Reads what is there. False when the peer closed or failed.
    bool ReadAvailable(std::vector<std::uint8_t>& into) {
        std::uint8_t buf[65536];
        for (;;) {
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n > 0) {
                into.insert(into.end(), buf, buf + n);
                if (static_cast<std::size_t>(n) < sizeof buf) return true;
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
            return false;
        }
    }

    // Reads what is there into the inbox, one read per turn of the poll
    // loop. False when the peer closed or failed.
    bool ReadIntoInbox() {
        // Room for a whole read behind a frame cut short.
        if (inbox.size() - inboxUsed < kReadChunk) inbox.resize(inboxUsed + kReadChunk);
        for (;;) {
            const ssize_t n = ::recv(fd, inbox.data() + inboxUsed, inbox.size() - inboxUsed, 0);
            if (n > 0) {
                inboxUsed += static_cast<std::size_t>(n);
                return true;
            }
            if (n < 0 && errno == EINTR) continue;
            return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
        }
    }

    // Moves the first bytes not yet handled to the front of the inbox.
    void DropHandled(std::size_t handled) {
        std::memmove(inbox.data(), inbox.data() + handled, inboxUsed - handled);
        inboxUsed -= handled;
    }

    // Writes what the socket takes now. False when the peer is gone.
    bool Flush() {
        while (!out.empty()) {
            const ssize_t n = ::send(fd, out.data(), out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) {
                out.erase(out.begin(), out.begin() + n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
        }
        return true;
    }
};

Server::Server(Printer& printer, ControlCommands& control, ServerOptions options)
    : printer_(printer), control_(control), options_(std::move(options)) {
    // A write the host is told succeeded is on disk first.
    printer_.SetEepromCommit([this] {
        std::string error;
        if (SaveEeprom(error)) return true;
        printer_.Log(error);
        return false;
    });
}

Server::~Server() {
    printer_.SetEepromCommit(nullptr);
    Close();
}

bool Server::Open(std::string& error) {
    hostListen_ = Listen(options_.socketPath, error);
    if (hostListen_ < 0) return false;
    controlListen_ = Listen(options_.controlPath, error);
    if (controlListen_ < 0) {
        Close();
        return false;
    }
    return true;
}

void Server::Close() {
    if (host_) CloseHost("printer shutting down");
    controls_.clear();
    if (hostListen_ >= 0) {
        ::close(hostListen_);
        ::unlink(options_.socketPath.c_str());
        hostListen_ = -1;
    }
    if (controlListen_ >= 0) {
        ::close(controlListen_);
        ::unlink(options_.controlPath.c_str());
        controlListen_ = -1;
    }
}

void Server::Run(const volatile std::sig_atomic_t& stop) {
    lastUs_ = MonotonicUs();
    while (!stop) {
        // Printing needs fine steps; an idle printer only waits for the host.
        const bool active = printer_.Buffered() > 0 || printer_.HasEngine();
        PollOnce(active ? 10 : 100);
        // A drop ordered on the control socket cuts a host that is only waiting.
        if (host_ && printer_.LinkDropped()) CloseHost("link dropped");
        CatchUpClock();
        SaveIfChanged();
    }
}

// The printer's time follows the wall clock to the microsecond, so printing
// drains by the time that really went by, however short the turn.
void Server::CatchUpClock() {
    const std::int64_t now = MonotonicUs();
    if (now > lastUs_) {
        printer_.AdvanceMicros(static_cast<std::uint64_t>(now - lastUs_));
        lastUs_ = now;
    }
}

void Server::PollOnce(int timeoutMs) {
    std::vector<pollfd> fds;
    // A negative descriptor is left out by poll: a listener in back-off.
    const std::int64_t now = MonotonicMs();
    fds.push_back({now < hostAcceptPausedUntil_ ? -1 : hostListen_, POLLIN, 0});
    fds.push_back({now < controlAcceptPausedUntil_ ? -1 : controlListen_, POLLIN, 0});
    if (hostAcceptPausedUntil_ > now || controlAcceptPausedUntil_ > now)
        timeoutMs = static_cast<int>(std::min<std::int64_t>(
            timeoutMs, std::max<std::int64_t>(1, std::max(hostAcceptPausedUntil_, controlAcceptPausedUntil_) - now)));
    if (host_) fds.push_back({host_->fd, static_cast<short>(POLLIN | (host_->out.empty() ? 0 : POLLOUT)), 0});
    for (const auto& c : controls_)
        fds.push_back({c->fd, static_cast<short>(POLLIN | (c->out.empty() ? 0 : POLLOUT)), 0});
    if (::poll(fds.data(), fds.size(), timeoutMs) <= 0) return;  // timeout, or a signal to look at

    // Work on connections first, so an old host's goodbye is seen before a
    // new host replaces it.
    std::size_t i = 2;
    if (host_) {
        if (fds[i].revents) ServeHost(*host_);
        ++i;
    }
    for (std::size_t k = 0; k < controls_.size(); ++k, ++i) {
        if (i < fds.size() && fds[i].revents) ServeControl(*controls_[k]);
    }
    std::erase_if(controls_, [](const std::unique_ptr<Connection>& c) { return c->fd < 0; });
    if (fds[0].revents & POLLIN) AcceptHost();
    if (fds[1].revents & POLLIN) AcceptControl();
}

void Server::AcceptHost() {
    const int fd = ::accept4(hostListen_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
        if (OutOfResources(errno)) {
            hostAcceptPausedUntil_ = MonotonicMs() + kAcceptBackoffMs;
            if (!hostAcceptFailureLogged_)
                printer_.Log(std::string("cannot accept a host connection: ") + std::strerror(errno));
            hostAcceptFailureLogged_ = true;
        }
        return;
    }
    hostAcceptFailureLogged_ = false;
    // One host at a time: the newest connection wins, as a reopened port must
    // reach the printer even when the old connection was never closed.
    if (host_) CloseHost("a new host connected");
    host_ = std::make_unique<Connection>(fd);
    printer_.Connect();
    printer_.Log("host connected");
}

void Server::AcceptControl() {
    const int fd = ::accept4(controlListen_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
        if (OutOfResources(errno)) {
            controlAcceptPausedUntil_ = MonotonicMs() + kAcceptBackoffMs;
            if (!controlAcceptFailureLogged_)
                printer_.Log(std::string("cannot accept a control connection: ") + std::strerror(errno));
            controlAcceptFailureLogged_ = true;
        }
        return;
    }
    controlAcceptFailureLogged_ = false;
    if (controls_.size() >= kMaxControlClients) {
        static const char kFull[] = "ERR too many control connections (16); try again later\n";
        (void)!::send(fd, kFull, sizeof kFull - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
        ::close(fd);
        return;
    }
    controls_.push_back(std::make_unique<Connection>(fd));
}

void Server::CloseHost(const char* why) {
    host_.reset();
    if (tap_) tap_->LinkReset();
    printer_.Disconnect();
    printer_.Log(std::string("host connection closed: ") + why);
}

void Server::ServeHost(Connection& c) {
    const bool open = c.ReadIntoInbox();
    // What printed while the host was sending makes room before it is answered.
    CatchUpClock();
    std::size_t at = 0;
    while (c.inboxUsed - at >= kFrameHeaderSize) {
        const std::uint8_t* frame = c.inbox.data() + at;
        const std::size_t length = static_cast<std::size_t>(frame[1]) << 8 | frame[2];
        if (c.inboxUsed - at - kFrameHeaderSize < length) break;
        if (!HandleHostFrame(frame[0], frame + kFrameHeaderSize, length)) return;  // host_ is gone
        at += kFrameHeaderSize + length;
    }
    c.DropHandled(at);
    if (printer_.LinkDropped()) {
        // The cable is pulled: what the printer answered before goes with it.
        CloseHost("link dropped");
        return;
    }
    if (!c.Flush()) {
        CloseHost("write failed");
        return;
    }
    if (c.out.size() > kMaxPendingOutput) {
        CloseHost("host does not read its answers");
        return;
    }
    if (!open) CloseHost("host closed the port");
}

bool Server::HandleHostFrame(std::uint8_t kind, const std::uint8_t* payload, std::size_t size) {
    std::vector<std::uint8_t>& out = host_->out;
    switch (kind) {
        case kFrameData: {
            if (tap_) tap_->HostBytes(payload, size);
            const std::vector<std::uint8_t> reply = printer_.HostBytes(payload, size);
            if (!reply.empty()) {
                if (tap_) tap_->PrinterBytes(reply.data(), reply.size());
                AppendFrames(out, kFrameData, reply.data(), reply.size());
            }
            return true;
        }
        case kFrameDeviceIdRequest:
        case kFrameReset:
            if (size != 0) break;
            if (kind == kFrameReset) {
                if (tap_) tap_->LinkReset();
                printer_.PortReset();
            } else if (printer_.PoweredOn() && !printer_.LinkDropped()) {
                const std::string id = printer_.DeviceId();
                AppendFrames(out, kFrameDeviceId, reinterpret_cast<const std::uint8_t*>(id.data()), id.size());
            }
            return true;
        default:
            break;
    }
    char what[96];
    std::snprintf(what, sizeof what, "protocol error: frame kind 0x%02X with %zu payload bytes", kind, size);
    CloseHost(what);
    return false;
}

void Server::ServeControl(Connection& c) {
    std::vector<std::uint8_t> in;
    const bool open = c.ReadAvailable(in);
    for (std::uint8_t b : in) {
        if (c.closing) break;
        if (b == '\n') {
            if (!c.line.empty() && c.line.back() == '\r') c.line.pop_back();
            const std::string reply = control_.Execute(c.line) + "\n";
            printer_.Log("control: " + c.line + " -> " + reply.substr(0, reply.size() - 1));
            c.out.insert(c.out.end(), reply.begin(), reply.end());
            c.line.clear();
        } else if (c.line.size() >= kMaxControlLine) {
            const std::string reply = "ERR command line longer than 4096 characters\n";
            c.out.insert(c.out.end(), reply.begin(), reply.end());
            c.closing = true;
        } else {
            c.line += static_cast<char>(b);
        }
    }
    const bool written = c.Flush();
    if (!written || (c.closing && c.out.empty()) || (!open && c.out.empty()) || c.out.size() > kMaxPendingOutput) {
        ::close(c.fd);
        c.fd = -1;
    }
}

bool Server::SaveEeprom(std::string& error) {
    if (printer_.EepromChanged()) {
        printer_.ClearEepromChanged();
        eepromUnsaved_ = true;
    }
    if (!eepromUnsaved_ || options_.eepromPath.empty()) return true;
    if (!printer_.eeprom().Save(options_.eepromPath, error)) return false;
    eepromUnsaved_ = false;
    return true;
}

void Server::SaveIfChanged() {
    if (!printer_.EepromChanged() && !eepromUnsaved_) return;
    // After a failed save, try again now and then instead of on every turn.
    const std::int64_t now = MonotonicMs();
    if (lastSaveFailureMs_ >= 0 && now - lastSaveFailureMs_ < kSaveRetryMs) return;
    std::string error;
    if (SaveEeprom(error)) {
        lastSaveFailureMs_ = -1;
    } else {
        lastSaveFailureMs_ = now;
        printer_.Log(error);
    }
}

}  // namespace vp
