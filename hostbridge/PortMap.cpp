#include "hostbridge/PortMap.h"

#include "hostbridge/Io.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace hb {
namespace {

struct NamedPort {
    const char* name;
    std::uint16_t code;
};
constexpr std::array<NamedPort, 6> kPorts{
    {{"LPT1", 1028}, {"LPT2", 1029}, {"LPT3", 1030}, {"ZQUSB1", 1025}, {"ZQUSB2", 1026}, {"ZQUSB3", 1027}}};

std::string_view Trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

std::optional<PortTarget> GuessFromPath(std::string_view path, std::string& why) {
    const std::string_view base = path.substr(path.rfind('/') + 1);
    if (path.starts_with("/dev/usb/") || base.starts_with("usblp"))
        return PortTarget{PortKind::UsbLp, std::string(path)};
    if (base.starts_with("parport")) return PortTarget{PortKind::Parport, std::string(path)};
    why =
        "cannot tell what kind of device \"" + std::string(path) + "\" is; write usblp:PATH, parport:PATH or unix:PATH";
    return std::nullopt;
}

// "PORT" "TARGET" → adds it to entries or records why not. `where` names the
// source for messages ("SVCADJUST_PORTMAP", "ports.conf line 3").
void AddEntry(std::string_view port, std::string_view target, const std::string& where, PortEntries& entries) {
    const auto code = PortCodeFromName(port);
    if (!code) {
        entries.problems.push_back(where + ": unknown port \"" + std::string(port) +
                                   "\" (known: LPT1-LPT3, ZQUSB1-ZQUSB3); entry ignored");
        return;
    }
    std::string why;
    const auto parsed = ParseTarget(target, why);
    if (!parsed) {
        entries.problems.push_back(where + ": " + std::string(port) + ": " + why + "; entry ignored");
        return;
    }
    entries.targets[*code] = *parsed;
}

// Splits "PORT<sep>TARGET"; false when the separator is missing.
bool SplitEntry(std::string_view entry, char sep, std::string_view& port, std::string_view& target) {
    const std::size_t at = entry.find(sep);
    if (at == std::string_view::npos) return false;
    port = Trim(entry.substr(0, at));
    target = Trim(entry.substr(at + 1));
    return true;
}

}  // namespace

std::optional<std::uint16_t> PortCodeFromName(std::string_view name) {
    for (const auto& port : kPorts) {
        if (name == port.name) return port.code;
    }
    return std::nullopt;
}

const char* PortName(std::uint16_t code) {
    for (const auto& port : kPorts) {
        if (code == port.code) return port.name;
    }
    return nullptr;
}

PortTarget DefaultTarget(std::uint16_t code) {
    if (code >= 1028) return {PortKind::Parport, "/dev/parport" + std::to_string(code - 1028)};
    return {PortKind::UsbLp, "/dev/usb/lp" + std::to_string(code - 1025)};
}

std::optional<PortTarget> ParseTarget(std::string_view text, std::string& why) {
    text = Trim(text);
    // The path is handed to the kernel as a C string, which would end at a
    // NUL byte: the port would quietly open a different file than written.
    if (text.find('\0') != std::string_view::npos) {
        why = "a target holds a NUL byte, which no path can contain";
        return std::nullopt;
    }
    static constexpr std::array<std::pair<std::string_view, PortKind>, 3> kPrefixes{
        {{"unix:", PortKind::UnixSocket}, {"usblp:", PortKind::UsbLp}, {"parport:", PortKind::Parport}}};
    for (const auto& [prefix, kind] : kPrefixes) {
        if (!text.starts_with(prefix)) continue;
        const std::string_view path = Trim(text.substr(prefix.size()));
        if (!path.starts_with('/')) {
            why = "\"" + std::string(text) + "\" needs an absolute path after " + std::string(prefix);
            return std::nullopt;
        }
        return PortTarget{kind, std::string(path)};
    }
    if (text.starts_with('/')) return GuessFromPath(text, why);
    why = "\"" + std::string(text) + "\" is neither unix:PATH, usblp:PATH, parport:PATH nor /dev/PATH";
    return std::nullopt;
}

PortEntries ParseEnvironmentMap(std::string_view value) {
    PortEntries entries;
    const std::string where = "SVCADJUST_PORTMAP";
    while (!value.empty()) {
        const std::size_t end = std::min(value.find(';'), value.size());
        const std::string_view entry = Trim(value.substr(0, end));
        value.remove_prefix(std::min(end + 1, value.size()));
        if (entry.empty()) continue;
        std::string_view port, target;
        if (!SplitEntry(entry, '=', port, target)) {
            entries.problems.push_back(where + ": \"" + std::string(entry) + "\" is not PORT=TARGET; entry ignored");
            continue;
        }
        AddEntry(port, target, where, entries);
    }
    return entries;
}

PortEntries ParseFileMap(std::string_view content, std::string_view fileName) {
    PortEntries entries;
    int lineNumber = 0;
    while (!content.empty()) {
        const std::size_t end = std::min(content.find('\n'), content.size());
        std::string_view line = content.substr(0, end);
        content.remove_prefix(std::min(end + 1, content.size()));
        ++lineNumber;
        line = Trim(line.substr(0, line.find('#')));
        if (line.empty()) continue;
        const std::string where = std::string(fileName) + " line " + std::to_string(lineNumber);
        std::string_view port, target;
        if (!SplitEntry(line, '=', port, target)) {
            entries.problems.push_back(where + ": \"" + std::string(line) + "\" is not PORT = TARGET; line ignored");
            continue;
        }
        AddEntry(port, target, where, entries);
    }
    return entries;
}

std::string PortMapFilePath() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') return std::string(xdg) + "/hostbridge/ports.conf";
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return std::string(home) + "/.config/hostbridge/ports.conf";
    return {};
}

bool ReadPortMapFile(const std::string& path, std::string& content, std::string& problem) {
    content.clear();
    problem.clear();
    // Non-blocking, so that a FIFO in its place cannot stop the port from
    // opening; what it is is decided on the open file, not on its name.
    io::Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd.valid()) {
        if (errno != ENOENT) problem = path + ": cannot be read: " + std::strerror(errno) + "; file ignored";
        return false;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        problem = path + ": cannot be read: " + std::strerror(errno) + "; file ignored";
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        problem = path + ": not a regular file; file ignored";
        return false;
    }
    const auto tooLarge = [&] {
        problem =
            path + ": larger than " + std::to_string(kMaxPortMapFile) + " bytes, which no port map is; file ignored";
        return false;
    };
    if (static_cast<std::uintmax_t>(info.st_size) > kMaxPortMapFile) return tooLarge();
    // The file may grow while it is read: never more than the cap, plus one
    // byte to notice.
    content.resize(kMaxPortMapFile + 1);
    std::size_t got = 0;
    while (got < content.size()) {
        const ssize_t r = ::read(fd.get(), content.data() + got, content.size() - got);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) {
            problem = path + ": cannot be read: " + std::strerror(errno) + "; file ignored";
            content.clear();
            return false;
        }
        if (r == 0) break;
        got += static_cast<std::size_t>(r);
    }
    content.resize(got);
    if (got > kMaxPortMapFile) {
        content.clear();
        return tooLarge();
    }
    return true;
}

PortTarget ResolvePort(std::uint16_t code, const PortEntries& environment, const PortEntries& file) {
    if (const auto it = environment.targets.find(code); it != environment.targets.end()) return it->second;
    if (const auto it = file.targets.find(code); it != file.targets.end()) return it->second;
    return DefaultTarget(code);
}

PortTarget LookUpPort(std::uint16_t code, std::vector<std::string>& problems) {
    PortEntries environment;
    if (const char* value = std::getenv("SVCADJUST_PORTMAP")) environment = ParseEnvironmentMap(value);

    PortEntries file;
    if (const std::string path = PortMapFilePath(); !path.empty()) {
        std::string content, problem;
        if (ReadPortMapFile(path, content, problem))
            file = ParseFileMap(content, path);
        else if (!problem.empty())
            file.problems.push_back(problem);
    }
    problems.insert(problems.end(), environment.problems.begin(), environment.problems.end());
    problems.insert(problems.end(), file.problems.begin(), file.problems.end());
    return ResolvePort(code, environment, file);
}

}  // namespace hb
