// Serves a virtual printer on Unix sockets: the port socket, where one host
// at a time speaks the framed channel, and the control socket, where people
// and tests send text commands. Single-threaded: one poll loop advances the
// printer's clock from the wall clock and moves all bytes.
#pragma once

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vp {

class Printer;
class ControlCommands;

// Sees every channel byte that crosses the port socket, for example to
// write a packet capture.
class LinkTap {
public:
    virtual ~LinkTap() = default;
    virtual void HostBytes(const std::uint8_t* data, std::size_t n) = 0;
    virtual void PrinterBytes(const std::uint8_t* data, std::size_t n) = 0;
    // The channel starts afresh: the port was reset or the host went away.
    virtual void LinkReset() = 0;
};

struct ServerOptions {
    std::string socketPath;
    std::string controlPath;
    std::string eepromPath;  // empty: the EEPROM lives only in memory
};

class Server {
public:
    Server(Printer& printer, ControlCommands& control, ServerOptions options);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Creates both sockets, readable and writable by their owner only
    // (0600) whatever the umask. A leftover socket file nobody listens on is
    // replaced; a live one or a file that is not a socket is left alone and
    // reported in `error`.
    bool Open(std::string& error);
    // Runs until `stop` becomes non-zero (set from a signal handler).
    void Run(const volatile std::sig_atomic_t& stop);
    // Saves a changed EEPROM image now. False, with `error`, when that failed.
    bool SaveEeprom(std::string& error);
    // Closes every connection and removes the socket files.
    void Close();
    // Shows every channel byte to `tap` from now on (nullptr: to nobody).
    void SetLinkTap(LinkTap* tap) { tap_ = tap; }

private:
    struct Connection;

    void PollOnce(int timeoutMs);
    void CatchUpClock();
    void AcceptHost();
    void AcceptControl();
    void ServeHost(Connection& c);
    void ServeControl(Connection& c);
    bool HandleHostFrame(std::uint8_t kind, const std::uint8_t* payload, std::size_t size);
    void CloseHost(const char* why);
    void SaveIfChanged();

    Printer& printer_;
    ControlCommands& control_;
    ServerOptions options_;
    int hostListen_ = -1;
    int controlListen_ = -1;
    std::unique_ptr<Connection> host_;
    std::vector<std::unique_ptr<Connection>> controls_;
    LinkTap* tap_ = nullptr;
    bool eepromUnsaved_ = false;
    std::int64_t lastUs_ = 0;
    std::int64_t hostAcceptPausedUntil_ = 0;
    std::int64_t controlAcceptPausedUntil_ = 0;
    bool controlAcceptFailureLogged_ = false;
    bool hostAcceptFailureLogged_ = false;
    std::int64_t lastSaveFailureMs_ = -1;
};

}  // namespace vp
