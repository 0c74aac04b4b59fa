#include "link/DataFiles.h"

#include <filesystem>
#include <system_error>

namespace svc {

namespace fs = std::filesystem;

std::string DataDirectory() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty()) return {};
    return (exe.parent_path().parent_path() / "share" / "svcadjust").string();
}

std::string FindPrintFile(std::string_view name) {
    std::error_code ec;
    const fs::path local(name);
    if (fs::is_regular_file(local, ec)) return local.string();
    const std::string data = DataDirectory();
    if (!data.empty()) {
        const fs::path shipped = fs::path(data) / local;
        if (fs::is_regular_file(shipped, ec)) return shipped.string();
    }
    return std::string(name);
}

}  // namespace svc
