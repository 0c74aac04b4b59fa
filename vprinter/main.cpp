// vprinter: a virtual Lumen 4100 or 4200 on a Unix socket, for running the
// service program and its tests without hardware.
#include <getopt.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "link/Version.h"
#include "vprinter/Control.h"
#include "vprinter/Eeprom.h"
#include "vprinter/Printer.h"
#include "vprinter/Server.h"
#ifdef VPRINTER_WITH_ENGINE
#include "vprinter/EngineState.h"
#include "vprinter/engine/EngineControl.h"
#include "vprinter/engine/PacketCapture.h"
#include "vprinter/engine/PagePlan.h"
#include "vprinter/engine/PrintEngine.h"
#endif

namespace {

volatile std::sig_atomic_t g_stop = 0;

#ifdef VPRINTER_WITH_ENGINE
// Hands the port socket's channel bytes to a packet capture, stamped with the
// printer's clock.
class CaptureTap : public vp::LinkTap {
public:
    CaptureTap(vp::PacketCapture& capture, const vp::Printer& printer) : capture_(capture), printer_(printer) {}
    void HostBytes(const std::uint8_t* data, std::size_t n) override { capture_.HostBytes(Micros(), data, n); }
    void PrinterBytes(const std::uint8_t* data, std::size_t n) override { capture_.PrinterBytes(Micros(), data, n); }
    void LinkReset() override { capture_.Reset(Micros()); }

private:
    std::uint64_t Micros() const { return printer_.NowMs() * 1000; }
    vp::PacketCapture& capture_;
    const vp::Printer& printer_;
};
#endif

void OnSignal(int) { g_stop = 1; }

struct Options {
    std::string socketPath;
    std::string controlPath;
    std::string eepromPath;
    std::string send;
    bool sendGiven = false;
    bool newBoard = false;
    std::uint32_t speedUp = 1;
    std::vector<std::uint16_t> crReadings;
    bool quiet = false;
    std::string pagesDir;     // print engine: where ejected pages are written
    std::string capturePath;  // where every packet of the port socket is recorded
#ifdef VPRINTER_WITH_ENGINE
    vp::Deviations deviations;          // hidden mechanical errors
    int previewDpi = vp::kPagePlanned;  // each page at the resolution it needs
    bool rollPaper = false;
#endif
    vp::Printer::Options printer;
};

void PrintHelp(const char* argv0) {
    std::cout << "Usage: " << argv0 << " --socket PATH [options]\n"
              << "       " << argv0 << " --send 'COMMAND' --control PATH\n"
              << "\n"
              << "A virtual Corvid Lumen 4100 or 4200 printer. It listens on the Unix socket PATH,\n"
              << "where the port switch reaches it when a port is mapped to it, for example\n"
              << "  SVCADJUST_PORTMAP='LPT1=unix:PATH'\n"
              << "One host connection is served at a time; a new connection replaces the old one.\n"
              << "Time passes as on the wall clock. SIGINT or SIGTERM end it cleanly: the EEPROM\n"
              << "image is saved and the socket files are removed.\n"
              << "\n"
              << "Options:\n"
              << "  --socket PATH          the port socket (required to run a printer)\n"
              << "  --model 4100|4200      the model to be (default 4100; 1 and 2 are accepted too)\n"
              << "  --eeprom FILE          keep the 256-byte EEPROM in FILE: loaded at start, saved\n"
              << "                         after every change and at exit; a missing FILE is created\n"
              << "                         from the factory image of the model (without --eeprom the\n"
              << "                         factory image is used and nothing is saved)\n"
              << "  --new-board            start from a new main board's EEPROM (only the block\n"
              << "                         signatures) instead of the factory image; an existing\n"
              << "                         --eeprom FILE is still loaded as it is\n"
              << "  --speed BYTES_PER_S    how fast printing drains the input buffer (default 50000;\n"
              << "                         0 stops printing, at most 4294967294); 'unlimited' drains\n"
              << "                         data as it arrives. The clock has microsecond resolution\n"
              << "  --buffer BYTES         input buffer size (default 16384, at most 1073741824); a\n"
              << "                         full buffer makes the printer refuse data as busy\n"
              << "  --speed-up N           the mechanism runs N times faster (1-1000, default 1):\n"
              << "                         cleaning 60 s, ink charge 90 s, exchange steps 30 s each\n"
              << "  --cr-readings V,V,...  CR drive measurement readings (0-65535), in the order the\n"
              << "                         measurements run (the list starts over when used up)\n"
              << "  --control PATH         the control socket (default: the port socket + \".ctl\")\n"
              << "  --quiet                do not log what the printer does on standard error\n"
#ifdef VPRINTER_WITH_ENGINE
              << "  --pages DIR            write every ejected page as a PNG preview, DIR/page-0001.png ...\n"
              << "                         numbered on from the highest page-NNNN.png already in DIR,\n"
              << "                         drawn and written beside the link (while two pages wait,\n"
              << "                         the printer takes no data); without it pages are printed\n"
              << "                         but not written\n"
              << "  --capture FILE         record every packet of the port socket, both directions,\n"
              << "                         with the printer's time, in FILE (read it with vpcapture)\n"
              << "  --dpi N|auto           preview resolution. auto (the default): each page at the\n"
              << "                         resolution that shows one step of its adjustment: 360 dpi,\n"
              << "                         720 for PF candidates, 1440 for Bi-D trials and pixel shift,\n"
              << "                         2880 for the first dot line (within 160 megapixels, else\n"
              << "                         360: the A3+ check sheet), from the sheet's top-left corner\n"
              << "                         to 0.4 inch beyond the ink. N: every page whole at N dpi\n"
              << "                         (a divisor of 14400 up to 1440, e.g. 180)\n"
              << "  --roll-paper           roll paper: a form feed cuts the roll where the cutter is\n"
              << "  --deviation NAME=VALUE a hidden mechanical error (repeatable; all 0 by default):\n"
#endif
#ifdef VPRINTER_WITH_ENGINE
              << vp::Deviations::Help()
#endif
              << "  --send 'COMMAND'       send one control command to a running printer, print its\n"
              << "                         answer; exit status 0 for OK, 1 for any other answer, 2\n"
              << "                         when no printer answers on the --control socket\n"
              << "  --help                 this text\n"
              << "  --version              the version of the program\n"
              << "\n"
              << "Exit status: 0 after a clean stop, 1 when the printer cannot start (EEPROM file,\n"
              << "socket) or its EEPROM cannot be saved at the end, 2 for a usage error.\n"
              << "\n"
              << "Control commands (one line each on the control socket, one answer line each,\n"
              << "starting with OK or ERR):\n";
    std::string help = vp::CoreControlHelp();
#ifdef VPRINTER_WITH_ENGINE
    help += vp::EngineControlHelp();
#endif
    for (std::size_t start = 0; start < help.size();) {
        const std::size_t end = help.find('\n', start);
        std::cout << "  " << help.substr(start, end - start) << "\n";
        start = end == std::string::npos ? help.size() : end + 1;
    }
    std::cout << "\nExamples:\n"
              << "  " << argv0 << " --socket /tmp/lumen.sock --model 4200 --eeprom lumen.eep &\n"
              << "  " << argv0 << " --send 'error 6' --control /tmp/lumen.sock.ctl\n"
              << "  " << argv0 << " --send 'ink light cyan missing' --control /tmp/lumen.sock.ctl\n";
}

std::optional<unsigned long> ParseNumber(const char* text, unsigned long lo, unsigned long hi) {
    unsigned long v = 0;
    const char* end = text + std::strlen(text);
    const auto [p, ec] = std::from_chars(text, end, v);
    if (ec != std::errc() || p != end || v < lo || v > hi) return std::nullopt;
    return v;
}

// Returns the exit status to end with, or -1 to go on.
int ParseOptions(int argc, char** argv, Options& o) {
    enum {
        kSocket = 1,
        kModel,
        kEeprom,
        kNewBoard,
        kSpeed,
        kBuffer,
        kControl,
        kQuiet,
        kSend,
        kHelp,
        kPages,
        kCapture,
        kSpeedUp,
        kCrReadings,
        kDeviation,
        kDpi,
        kRoll,
        kVersion
    };
    static const option kLong[] = {{"socket", required_argument, nullptr, kSocket},
                                   {"model", required_argument, nullptr, kModel},
                                   {"eeprom", required_argument, nullptr, kEeprom},
                                   {"new-board", no_argument, nullptr, kNewBoard},
                                   {"speed", required_argument, nullptr, kSpeed},
                                   {"speed-up", required_argument, nullptr, kSpeedUp},
                                   {"cr-readings", required_argument, nullptr, kCrReadings},
                                   {"buffer", required_argument, nullptr, kBuffer},
                                   {"control", required_argument, nullptr, kControl},
                                   {"quiet", no_argument, nullptr, kQuiet},
                                   {"send", required_argument, nullptr, kSend},
                                   {"help", no_argument, nullptr, kHelp},
                                   {"version", no_argument, nullptr, kVersion},
#ifdef VPRINTER_WITH_ENGINE
                                   {"pages", required_argument, nullptr, kPages},
                                   {"capture", required_argument, nullptr, kCapture},
                                   {"deviation", required_argument, nullptr, kDeviation},
                                   {"dpi", required_argument, nullptr, kDpi},
                                   {"roll-paper", no_argument, nullptr, kRoll},
#endif
                                   {nullptr, 0, nullptr, 0}};
    for (int c; (c = getopt_long(argc, argv, "", kLong, nullptr)) != -1;) {
        switch (c) {
            case kSocket:
                o.socketPath = optarg;
                break;
            case kEeprom:
                o.eepromPath = optarg;
                break;
            case kControl:
                o.controlPath = optarg;
                break;
            case kNewBoard:
                o.newBoard = true;
                break;
            case kSpeedUp: {
                const auto v = ParseNumber(optarg, 1, 1000);
                if (!v) {
                    std::cerr << "vprinter: --speed-up needs a number 1-1000, not '" << optarg << "'\n";
                    return 2;
                }
                o.speedUp = static_cast<std::uint32_t>(*v);
                break;
            }
            case kCrReadings: {
                const auto v = vp::ParseCrReadings(optarg);
                if (!v) {
                    std::cerr << "vprinter: --cr-readings needs 1-64 numbers 0-65535 separated by commas, not '"
                              << optarg << "'\n";
                    return 2;
                }
                o.crReadings = *v;
                break;
            }
            case kQuiet:
                o.quiet = true;
                break;
            case kSend:
                o.send = optarg;
                o.sendGiven = true;
                break;
            case kPages:
                o.pagesDir = optarg;
                break;
            case kCapture:
                o.capturePath = optarg;
                break;
#ifdef VPRINTER_WITH_ENGINE
            case kDeviation: {
                std::string error;
                if (!o.deviations.Set(optarg, &error)) {
                    std::cerr << "vprinter: --deviation: " << error << "\n";
                    return 2;
                }
                break;
            }
            case kDpi: {
                if (std::strcmp(optarg, "auto") == 0) {
                    o.previewDpi = vp::kPagePlanned;
                    break;
                }
                const auto v = ParseNumber(optarg, 1, 1440);
                if (!v || 14400 % *v != 0) {
                    std::cerr
                        << "vprinter: --dpi needs auto or a divisor of 14400 up to 1440 (180, 360, 720, ...), not '"
                        << optarg << "'\n";
                    return 2;
                }
                o.previewDpi = static_cast<int>(*v);
                break;
            }
            case kRoll:
                o.rollPaper = true;
                break;
#endif
            case kHelp:
                PrintHelp(argv[0]);
                return 0;
            case kVersion:
                std::cout << "vprinter " << svc::kVersion << "\n";
                return 0;
            case kModel: {
                const std::string m = optarg;
                if (m == "4100" || m == "1")
                    o.printer.model = 1;
                else if (m == "4200" || m == "2")
                    o.printer.model = 2;
                else {
                    std::cerr << "vprinter: unknown model '" << m << "' (use 4100 or 4200)\n";
                    return 2;
                }
                break;
            }
            case kSpeed: {
                const auto v = vp::ParseSpeed(optarg);
                if (!v) {
                    std::cerr << "vprinter: --speed needs 0-4294967294 or unlimited, not '" << optarg << "'\n";
                    return 2;
                }
                o.printer.bytesPerSecond = *v;
                break;
            }
            case kBuffer: {
                const auto v = ParseNumber(optarg, 1, 1u << 30);
                if (!v) {
                    std::cerr << "vprinter: --buffer needs a number 1-1073741824, not '" << optarg << "'\n";
                    return 2;
                }
                o.printer.bufferCapacity = *v;
                break;
            }
            default:
                std::cerr << "vprinter: see --help\n";
                return 2;
        }
    }
    if (optind < argc) {
        std::cerr << "vprinter: unexpected argument '" << argv[optind] << "' (see --help)\n";
        return 2;
    }
    if (o.controlPath.empty() && !o.socketPath.empty()) o.controlPath = o.socketPath + ".ctl";
    if (o.sendGiven ? o.controlPath.empty() : o.socketPath.empty()) {
        std::cerr << "vprinter: " << (o.sendGiven ? "--send needs --control PATH" : "--socket PATH is required")
                  << " (see --help)\n";
        return 2;
    }
    return -1;
}

// Client mode: one command to a running printer's control socket.
int SendCommand(const Options& o) {
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    if (o.controlPath.size() >= sizeof a.sun_path) {
        std::cerr << "vprinter: control socket path too long\n";
        return 2;
    }
    std::memcpy(a.sun_path, o.controlPath.c_str(), o.controlPath.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        std::cerr << "vprinter: cannot reach " << o.controlPath << ": " << std::strerror(errno) << "\n";
        if (fd >= 0) ::close(fd);
        return 2;
    }
    const std::string line = o.send + "\n";
    std::string reply;
    bool sent = ::send(fd, line.data(), line.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(line.size());
    // The printer answers at once; five seconds means it is stuck or gone.
    while (sent && reply.find('\n') == std::string::npos) {
        pollfd p{fd, POLLIN, 0};
        const int r = ::poll(&p, 1, 5000);
        if (r < 0 && errno == EINTR) continue;
        char buf[4096];
        const ssize_t n = r > 0 ? ::recv(fd, buf, sizeof buf, 0) : -1;
        if (n <= 0) break;
        reply.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (reply.find('\n') == std::string::npos) {
        std::cerr << "vprinter: no answer from " << o.controlPath << "\n";
        return 2;
    }
    reply.erase(reply.find('\n'));
    std::cout << reply << "\n";
    return reply.rfind("OK", 0) == 0 ? 0 : 1;
}

// The EEPROM to start with: the image file when there is one, else a fresh
// image (written to the file at once when a file was named).
bool InitialEeprom(const Options& o, vp::Eeprom& eeprom) {
    const vp::Eeprom fresh = o.newBoard ? vp::Eeprom::NewBoard() : vp::Eeprom::Factory(o.printer.model);
    std::string error;
    struct stat st {};
    if (o.eepromPath.empty()) {
        eeprom = fresh;
        return true;
    }
    if (::stat(o.eepromPath.c_str(), &st) == 0) {
        // An existing image is never overwritten with a fresh one: a bad
        // file is reported and the printer does not start.
        if (!eeprom.Load(o.eepromPath, error)) {
            std::cerr << "vprinter: " << error << "\n";
            return false;
        }
        return true;
    }
    eeprom = fresh;
    if (!eeprom.Save(o.eepromPath, error)) {
        std::cerr << "vprinter: " << error << "\n";
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (const int status = ParseOptions(argc, argv, o); status >= 0) return status;
    if (o.sendGiven) return SendCommand(o);

    vp::Eeprom eeprom;
    if (!InitialEeprom(o, eeprom)) return 1;
    vp::Printer printer(o.printer, eeprom);
    printer.SetSpeedUp(o.speedUp);
    printer.SetCrReadings(o.crReadings);
    if (!o.quiet) printer.SetLogSink([](const std::string& line) { std::cerr << "vprinter: " << line << "\n"; });
    vp::ControlCommands control(printer);
#ifdef VPRINTER_WITH_ENGINE
    // The print engine executes what the printer's input buffer hands on.
    vp::EngineOptions engineOptions;
    engineOptions.pagesDir = o.pagesDir;
    engineOptions.deviations = o.deviations;
    engineOptions.page.previewDpi = o.previewDpi;
    // Pages are drawn and written beside the link, so the host never waits for one.
    engineOptions.writeInBackground = true;
    engineOptions.rollPaper = o.rollPaper;
    vp::PrintEngine engine(printer, engineOptions);
    printer.SetEngine(&engine);
    struct DetachEngine {  // before the engine goes, on every way out
        vp::Printer& printer;
        ~DetachEngine() { printer.SetEngine(nullptr); }
    } detachEngine{printer};
    control.AddExtension(vp::EngineControl(engine, [&printer] { printer.SetPower(false); }), vp::EngineControlHelp());
    control.AddStateFields([&engine] { return vp::EngineStateFields(engine); });
#endif

    vp::Server server(printer, control, {o.socketPath, o.controlPath, o.eepromPath});
    std::string error;
    if (!server.Open(error)) {
        std::cerr << "vprinter: " << error << "\n";
        return 1;
    }
#ifdef VPRINTER_WITH_ENGINE
    vp::PacketCapture capture;
    CaptureTap tap(capture, printer);
    if (!o.capturePath.empty()) {
        if (!capture.Open(o.capturePath)) {
            std::cerr << "vprinter: " << capture.Error() << "\n";
            server.Close();
            return 1;
        }
        server.SetLinkTap(&tap);
    }
#endif
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    printer.Log(std::string(printer.ModelName()) + " listening on " + o.socketPath + ", control on " + o.controlPath);
    server.Run(g_stop);

    int status = 0;
    if (!server.SaveEeprom(error)) {
        std::cerr << "vprinter: " << error << "\n";
        status = 1;
    }
    server.SetLinkTap(nullptr);
    server.Close();
    return status;
}
