// The EEPROM data copy: the adjustment values, counters and identity data of
// an old main board are saved to a backup file (101 raw bytes, one per
// address of the copy list, CopyAddresses()) and written into the new board
// from it. Parallel ports only.
//
// The backup file lives in the user's data folder, which stands for the
// drive the file was always kept on:
//   ${XDG_DATA_HOME:-~/.local/share}/svcadjust/Adjustment Program/QX-900/bkupdata.eep
// A file made on another PC can be put there and restored.
#pragma once

#include "eeprom/VexEeprom.h"
#include "link/FeatureFrame.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace svc {

// The three steps of putting the backup bytes on disk, each of which may
// fail (a full disk, an I/O error). Tests replace them to make one fail.
class BackupFileOps {
public:
    virtual ~BackupFileOps() = default;
    // Writes all bytes or returns false.
    virtual bool WriteAll(int fd, const std::uint8_t* data, std::size_t size);
    virtual bool Sync(int fd);
    virtual bool Close(int fd);
};

class TPEEPROMCopy {
public:
    // Where the backup file is: the path above, or the one a test has set.
    std::string BackupPath() const;
    void SetBackupPath(std::string path) { pathOverride_ = std::move(path); }
    // Null restores the real file operations.
    void SetFileOps(BackupFileOps* ops) { ops_ = ops; }

    // Saves the bytes: a temporary file in the backup folder is written,
    // flushed to disk and closed, then renamed over the backup, so an old
    // backup survives any failure, a file size limit (ulimit -f) included.
    // Returns 1, 8193 (the file cannot be created) or 0xF040 with
    // EepromCopyErrorDetail 2 (writing failed).
    Result SaveBackup(const std::array<std::uint8_t, eep::CopyCount>& bytes);
    // Reads a backup: a regular file of exactly 101 bytes. Anything else (a
    // FIFO, a folder, another size) is 0xF040, detail 3, and left alone.
    Result LoadBackup(std::array<std::uint8_t, eep::CopyCount>& bytes);

    void EepDataCopyBackUpStartPnlClick(FeatureFrame& frame);
    void EepDataCopyLoadStartPnlClick(FeatureFrame& frame);
    // The restore's writes and completion for bytes at hand (the service
    // journal keeps every backup taken); `fromFile` deletes the backup file
    // once the restore has succeeded. The window must be busy (mode 3) already.
    void Restore(FeatureFrame& frame, const std::array<std::uint8_t, eep::CopyCount>& bytes, bool fromFile);

private:
    std::string pathOverride_;
    BackupFileOps* ops_ = nullptr;
};

TPEEPROMCopy& EepromCopy();

}  // namespace svc
