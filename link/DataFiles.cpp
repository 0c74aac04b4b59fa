#include "link/DataFiles.h"

#include <filesystem>
#include <system_error>

#ifndef SVC_INSTALL_DATADIR
#define SVC_INSTALL_DATADIR "/usr/local/share/svcadjust"
#endif

namespace svc {

namespace fs = std::filesystem;

std::string DataDirectory() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const fs::path beside = exe.parent_path().parent_path() / "share" / "svcadjust";
        if (fs::is_directory(beside, ec)) return beside.string();
    }
    return SVC_INSTALL_DATADIR;
}

std::string FindPrintFile(std::string_view name) {
    std::error_code ec;
    const fs::path local(name);
    if (fs::is_regular_file(local, ec)) return local.string();
    const fs::path shipped = fs::path(DataDirectory()) / local;
    if (fs::is_regular_file(shipped, ec)) return shipped.string();
    return std::string(name);
}

}  // namespace svc
