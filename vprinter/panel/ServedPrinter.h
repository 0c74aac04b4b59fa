// A virtual printer with its print engine, served on a port socket and a
// control socket by a thread of this process: what the panel's test and its
// screenshot tool talk to, as they would to the vprinter program.
#pragma once

#include <memory>
#include <string>

namespace vp::panel {

class ServedPrinter {
public:
    // Sockets and pages go into a fresh folder under `dir`.
    ServedPrinter(const std::string& dir, int model = 1);
    ~ServedPrinter();
    ServedPrinter(const ServedPrinter&) = delete;
    ServedPrinter& operator=(const ServedPrinter&) = delete;

    bool Ok() const { return error_.empty(); }
    const std::string& Error() const { return error_; }
    std::string PortPath() const;
    std::string ControlPath() const;
    std::string PagesDir() const;

private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
    std::string dir_;
    std::string error_;
};

}  // namespace vp::panel
