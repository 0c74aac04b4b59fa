// Which device or virtual printer stands behind each port code. Every port
// has a default device; the environment variable SVCADJUST_PORTMAP and the
// file $XDG_CONFIG_HOME/hostbridge/ports.conf can point any port elsewhere
// (the variable wins per port). See hostbridge/README.md.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hb {

enum class PortKind {
    UnixSocket,  // a virtual printer listening on a Unix stream socket
    UsbLp,       // a USB printer-class device node (/dev/usb/lpN)
    Parport,     // a parallel port through ppdev (/dev/parportN)
};

struct PortTarget {
    PortKind kind;
    std::string path;
    bool operator==(const PortTarget&) const = default;
};

// "LPT1".."LPT3" = 1028..1030, "ZQUSB1".."ZQUSB3" = 1025..1027.
std::optional<std::uint16_t> PortCodeFromName(std::string_view name);
// The port's name, or nullptr for a code that names no port.
const char* PortName(std::uint16_t code);
// LPTn: parport:/dev/parport(n-1); ZQUSBn: usblp:/dev/usb/lp(n-1).
PortTarget DefaultTarget(std::uint16_t code);

// One entry: "unix:PATH", "usblp:PATH", "parport:PATH" or a bare absolute
// device path whose kind is guessed from its name. On failure `why` says
// what is wrong.
std::optional<PortTarget> ParseTarget(std::string_view text, std::string& why);

// The port entries of one source. Bad entries are left out and described
// in `problems`, each naming where it came from.
struct PortEntries {
    std::map<std::uint16_t, PortTarget> targets;
    std::vector<std::string> problems;
};

// The variable's form: "LPT1=unix:/run/vp.sock;ZQUSB1=/dev/usb/lp3".
PortEntries ParseEnvironmentMap(std::string_view value);
// The file's form: one "PORT = TARGET" per line, "#" starts a comment.
PortEntries ParseFileMap(std::string_view content, std::string_view fileName);

// $XDG_CONFIG_HOME/hostbridge/ports.conf, or ~/.config/hostbridge/ports.conf
// when the variable is unset or not absolute; empty when neither is known.
std::string PortMapFilePath();

// The port map file is a few lines; anything larger is not one.
constexpr std::size_t kMaxPortMapFile = 64 * 1024;

// Reads the port map file without ever blocking on it: only a regular file
// of at most kMaxPortMapFile bytes is read. A missing file is no problem
// (empty content, no message); any other reason not to read it (not a
// regular file, too large, unreadable) is described in `problem`.
bool ReadPortMapFile(const std::string& path, std::string& content, std::string& problem);

// Resolves one port: the variable's entry, else the file's, else the default.
PortTarget ResolvePort(std::uint16_t code, const PortEntries& environment, const PortEntries& file);

// Reads the variable and the file as they are now and resolves the port.
// Problems found in either are appended to `problems`.
PortTarget LookUpPort(std::uint16_t code, std::vector<std::string>& problems);

}  // namespace hb
