// Feeds arbitrary text to the port map's two parsers: as the content of
// ports.conf and as the value of SVCADJUST_PORTMAP. Every entry taken must
// name an absolute path the kernel sees as written (no NUL byte cutting it
// short), and must read back to the same target when written out again in
// the form it came from.
#include "hostbridge/PortMap.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

const char* Prefix(hb::PortKind kind) {
    switch (kind) {
        case hb::PortKind::UnixSocket:
            return "unix:";
        case hb::PortKind::UsbLp:
            return "usblp:";
        case hb::PortKind::Parport:
            return "parport:";
    }
    std::abort();
}

void CheckTargets(const hb::PortEntries& entries) {
    for (const auto& [code, target] : entries.targets) {
        if (hb::PortName(code) == nullptr) std::abort();  // an entry for a port that does not exist
        if (target.path.empty() || target.path[0] != '/' || target.path.find('\0') != std::string::npos) std::abort();
        const char last = target.path.back();
        if (last == ' ' || last == '\t' || last == '\r' || last == '\n')
            std::abort();  // blanks around a path are not part of it
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const hb::PortEntries file = hb::ParseFileMap(text, "ports.conf");
    CheckTargets(file);
    for (const std::string& problem : file.problems) {
        if (!problem.starts_with("ports.conf line ")) std::abort();  // every message says where it came from
    }
    std::string written;
    for (const auto& [code, target] : file.targets)
        written += std::string(hb::PortName(code)) + " = " + Prefix(target.kind) + target.path + "\n";
    const hb::PortEntries again = hb::ParseFileMap(written, "ports.conf");
    if (again.targets != file.targets || !again.problems.empty()) std::abort();

    const hb::PortEntries environment = hb::ParseEnvironmentMap(text);
    CheckTargets(environment);
    written.clear();
    for (const auto& [code, target] : environment.targets)
        written += std::string(hb::PortName(code)) + "=" + Prefix(target.kind) + target.path + ";";
    const hb::PortEntries envAgain = hb::ParseEnvironmentMap(written);
    if (envAgain.targets != environment.targets || !envAgain.problems.empty()) std::abort();

    // The variable wins, port by port; every port resolves to something.
    for (std::uint16_t code = 1025; code <= 1030; ++code) {
        const hb::PortTarget resolved = hb::ResolvePort(code, environment, file);
        if (resolved.path.empty() || resolved.path[0] != '/') std::abort();
        if (environment.targets.count(code) && !(resolved == environment.targets.at(code))) std::abort();
    }
    return 0;
}
