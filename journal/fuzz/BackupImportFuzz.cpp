// Fuzz target for taking a backup file into the service journal: the file is
// read as the EEPROM data copy reads it (exactly 101 bytes, anything else
// refused), and the bytes it accepts go into an SQLite journal the way a
// backup taken outside an operation does. What the journal gives back must
// be the very bytes of the file, filed under the printer they name.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "eeprom/VexEeprom.h"
#include "eeprom/VexEepromCopy.h"
#include "journal/Recorder.h"
#include "journal/SqlStore.h"

namespace {

namespace fs = std::filesystem;
using svc::journal::Journal;

// A folder of this process's own for the backup file and the journal,
// removed at exit.
struct Scratch {
    fs::path dir;
    int inputs = 0;
    Scratch() {
        // The journal and the copy feature are made first, so they outlive this.
        Journal().Uninstall();
        const char* tmp = std::getenv("TMPDIR");
        dir = fs::path(tmp && tmp[0] == '/' ? tmp : "/tmp") / ("svc_backup_fuzz." + std::to_string(::getpid()));
        fs::create_directories(dir);
        svc::EepromCopy().SetBackupPath((dir / "bkupdata.eep").string());
    }
    ~Scratch() {
        Journal().Uninstall();
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    // A fresh journal now and then, so that its lists stay short.
    void FreshJournal() {
        Journal().Uninstall();
        std::error_code ignored;
        for (const char* name : {"journal.db", "journal.db-wal", "journal.db-shm"}) fs::remove(dir / name, ignored);
        Journal().Install(svc::journal::OpenSqlite((dir / "journal.db").string()), [](const std::string&) {
            std::abort();  // the store itself failed: a fault of the journal, not of the input
        });
        Journal().BeginSession(1, 1028, "packet protocol");
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Scratch scratch;
    if (scratch.inputs++ % 256 == 0) scratch.FreshJournal();

    const std::string path = svc::EepromCopy().BackupPath();
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        const bool written = std::fwrite(data, 1, size, f) == size;
        if (std::fclose(f) != 0 || !written) return 0;
    } else {
        return 0;
    }
    std::array<std::uint8_t, svc::eep::CopyCount> bytes{};
    const bool loaded = svc::EepromCopy().LoadBackup(bytes) == svc::rc::Ok;
    if (loaded != (size == svc::eep::CopyCount)) std::abort();  // only a whole backup is taken
    if (!loaded) return 0;
    if (!std::equal(bytes.begin(), bytes.end(), data)) std::abort();

    // Each file byte goes back to its own address, in the copy list's order.
    const svc::WriteSequence writes = svc::RestoreWrites(bytes);
    if (writes.size() < bytes.size()) std::abort();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (writes[i].address != svc::CopyAddresses()[i] || writes[i].value != bytes[i]) std::abort();
    }

    svc::journal::BackupBytes backup{};
    std::copy(bytes.begin(), bytes.end(), backup.begin());
    const std::string printer = svc::journal::PrinterKey(backup);
    if (printer.empty()) std::abort();
    for (const char c : printer) {
        // The key is shown in messages and typed back as `history --printer`.
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) std::abort();
    }
    Journal().NoteBackup("backup", backup);
    svc::journal::Store* store = Journal().CurrentStore();
    if (!store) std::abort();
    const auto kept = store->Backups(printer);
    if (kept.empty()) std::abort();
    const svc::journal::BackupRecord& last = kept.back();
    if (last.bytes != backup || last.printer != printer || last.kind != "backup") std::abort();
    const auto again = store->Backup(last.id);
    if (!again || again->bytes != backup) std::abort();
    return 0;
}
