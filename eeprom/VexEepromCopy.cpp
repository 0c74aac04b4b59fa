#include "eeprom/VexEepromCopy.h"

#include "eeprom/FeatureStart.h"
#include "eeprom/VexEeprom.h"
#include "journal/Recorder.h"
#include "link/ErrorDetails.h"
#include "link/Host.h"
#include "i18n/Translate.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace svc {
namespace {

namespace fs = std::filesystem;

constexpr std::uint16_t kFirstLptPort = 1028;  // codes below are USB ports
constexpr std::int16_t kDetailInvalidData = 1;
constexpr std::int16_t kDetailCannotCreate = 2;
constexpr std::int16_t kDetailCannotRead = 3;

Result Refuse(std::int16_t detail) {
    EepromCopyErrorDetail = detail;
    return rc::EepromCopy;
}

// The user's data folder: XDG_DATA_HOME when it is an absolute path, else ~/.local/share.
std::string DataHome() {
    if (const char* x = std::getenv("XDG_DATA_HOME"); x && x[0] == '/') return x;
    std::string home;
    if (const char* h = std::getenv("HOME"); h && h[0] != '\0') {
        home = h;
    } else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) {
        home = pw->pw_dir;
    }
    return home.empty() ? std::string() : home + "/.local/share";
}

bool UsbPort(const FeatureFrame& frame) { return frame.PortCode() < kFirstLptPort; }

BackupFileOps& RealOps() {
    static BackupFileOps ops;
    return ops;
}

// While it lives, a write past the file size limit (ulimit -f) fails with
// EFBIG instead of killing the program with SIGXFSZ halfway through the
// backup, which would leave the temporary file behind.
class FileSizeSignalIgnored {
public:
    FileSizeSignalIgnored() {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        saved_ = ::sigaction(SIGXFSZ, &ignore, &previous_) == 0;
    }
    ~FileSizeSignalIgnored() {
        if (saved_) ::sigaction(SIGXFSZ, &previous_, nullptr);
    }
    FileSizeSignalIgnored(const FileSizeSignalIgnored&) = delete;
    FileSizeSignalIgnored& operator=(const FileSizeSignalIgnored&) = delete;

private:
    struct sigaction previous_ {};
    bool saved_ = false;
};

}  // namespace

bool BackupFileOps::WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool BackupFileOps::Sync(int fd) { return ::fsync(fd) == 0; }

bool BackupFileOps::Close(int fd) { return ::close(fd) == 0; }

// The backup file's place on the PCs the program was first made for. Drive
// C: is the user's data folder here (svcadjust's folder in it), and every
// folder of the path a folder below it.
constexpr std::string_view kBackupPathOnDriveC = "C:\\Adjustment Program\\QX-900\\bkupdata.eep";

std::string TPEEPROMCopy::BackupPath() const {
    if (!pathOverride_.empty()) return pathOverride_;
    const std::string home = DataHome();
    if (home.empty()) return {};
    std::string below(kBackupPathOnDriveC.substr(2));  // "\Adjustment Program\..."
    std::replace(below.begin(), below.end(), '\\', '/');
    return home + "/svcadjust" + below;
}

Result TPEEPROMCopy::SaveBackup(const std::array<std::uint8_t, eep::CopyCount>& bytes) {
    const std::string path = BackupPath();
    if (path.empty()) return rc::FileOpen;
    const fs::path folder = fs::path(path).parent_path();
    std::error_code ignored;
    fs::create_directories(folder, ignored);  // its result shows in the open below

    std::string temp = path + ".XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) return rc::FileOpen;
    temp.assign(name.data());
    // mkstemp makes the file private; the backup gets the usual permissions.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);

    BackupFileOps& ops = ops_ ? *ops_ : RealOps();
    bool ok = false;
    {
        const FileSizeSignalIgnored sizeLimitFailsTheWrite;
        ok = ops.WriteAll(fd, bytes.data(), bytes.size());
        ok = ok && ops.Sync(fd);
        ok = ops.Close(fd) && ok;
    }
    ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return Refuse(kDetailCannotCreate);
    }
    // The new name lasts only once the folder itself is on disk.
    if (const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return rc::Ok;
}

Result TPEEPROMCopy::LoadBackup(std::array<std::uint8_t, eep::CopyCount>& bytes) {
    // Non-blocking, so that a FIFO in the backup's place cannot hold the
    // restore up; what it is is decided on the open file, not on its name.
    const int fd = ::open(BackupPath().c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return Refuse(kDetailCannotRead);
    struct stat info {};
    bool ok =
        ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && static_cast<std::uintmax_t>(info.st_size) == bytes.size();
    // One byte more than a backup holds is asked for, to notice a file that
    // grew since it was looked at; never more is read.
    std::array<std::uint8_t, eep::CopyCount + 1> read{};
    std::size_t got = 0;
    while (ok && got < read.size()) {
        const ssize_t n = ::read(fd, read.data() + got, read.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (!ok || got != bytes.size()) return Refuse(kDetailCannotRead);
    std::copy_n(read.begin(), bytes.size(), bytes.begin());
    return rc::Ok;
}

void TPEEPROMCopy::EepDataCopyBackUpStartPnlClick(FeatureFrame& frame) {
    if (UsbPort(frame)) {
        frame.SetOperationState(mode::Error, "This function cannot use by USB cable.");
        return;
    }
    if (!eepfeature::BeginStrict(frame, "Reading now...")) return;
    // The block signatures, each pair tested right after it is read.
    Result r = rc::Ok;
    for (std::size_t i = 0; i < kSignatureBytes.size() && r == rc::Ok; i += 2) {
        std::uint8_t first = 0, second = 0;
        r = EepromRead(kSignatureBytes[i].address, first);
        if (r == rc::Ok) r = EepromRead(kSignatureBytes[i + 1].address, second);
        if (r == rc::Ok && (first != kSignatureBytes[i].value || second != kSignatureBytes[i + 1].value))
            r = Refuse(kDetailInvalidData);
    }
    std::array<std::uint8_t, eep::CopyCount> bytes{};
    if (r == rc::Ok) r = EepromReadList(CopyAddresses(), bytes);
    if (r == rc::Ok) {
        // A backup file that is still there has not been restored. When it
        // came from another printer (the backup retaken after the board was
        // exchanged), replacing it would lose the old board's data.
        std::array<std::uint8_t, eep::CopyCount> earlier{};
        const bool haveEarlier = std::filesystem::exists(BackupPath()) && LoadBackup(earlier) == rc::Ok;
        EepromCopyErrorDetail = 0;
        if (haveEarlier) {
            const std::string from = journal::PrinterKey(earlier), now = journal::PrinterKey(bytes);
            if (from != now &&
                host().MessageBox(BoxOwner::MainWindow,
                                  Format(Tr("The backup file holds the EEPROM data of another printer (%1), which has "
                                            "not been restored yet.\nReplace it with the data of this printer (%2)?"),
                                         {from, now}),
                                  "EEPROM data backup", BoxIcon::Question, BoxButtons::YesNo) != BoxAnswer::Yes) {
                frame.SetOperationState(mode::Error,
                                        Format(Tr("The backup file of %1 was kept; nothing was saved."), {from}));
                return;
            }
            journal::Journal().NoteBackup("replaced", earlier);
        }
        r = SaveBackup(bytes);
        if (r == rc::Ok) journal::Journal().NoteBackup("backup", bytes);
    }
    if (r == rc::Ok) r = frame.SetOperationState(mode::Done, "The EEPROM data has read properly.");
    if (r != rc::Ok) {
        frame.ReportErrorCode(r);
        return;
    }
    frame.SetOperationState(mode::Line, "Replace the main board with new one.");
}

void TPEEPROMCopy::EepDataCopyLoadStartPnlClick(FeatureFrame& frame) {
    if (UsbPort(frame)) {
        frame.SetOperationState(mode::Error, "This function cannot use by USB cable.");
        return;
    }
    if (!eepfeature::BeginStrict(frame, "Writing now...")) return;
    std::array<std::uint8_t, eep::CopyCount> bytes{};
    const Result r = LoadBackup(bytes);
    if (r != rc::Ok) {
        frame.ReportErrorCode(r);
        return;
    }
    Restore(frame, bytes, true);
}

void TPEEPROMCopy::Restore(FeatureFrame& frame, const std::array<std::uint8_t, eep::CopyCount>& bytes, bool fromFile) {
    Result r = RunWrites(RestoreWrites(bytes));
    // The completion's readiness wait is the last exchange with the printer;
    // only once it succeeded is the file deleted (one backup is restored
    // once), so a link lost before it leaves the file for a second restore.
    if (r == rc::Ok) r = frame.SetOperationState(mode::Done, "The EEPROM data copy function has finished properly.");
    if (r != rc::Ok) {
        frame.ReportErrorCode(r);
        return;
    }
    if (fromFile) {
        journal::Journal().NoteBackup("restored", bytes);
        std::remove(BackupPath().c_str());
    }
    frame.SetOperationState(mode::Line, "Perform the A3+ check pattern print and the A4 check pattern print.");
}

TPEEPROMCopy& EepromCopy() {
    static TPEEPROMCopy copy;
    return copy;
}

}  // namespace svc
