// What the service journal keeps, and the one interface of the places it is
// kept: an SQLite file on this bench, or a PostgreSQL database a shop shares
// between its benches. Both hold the same tables and answer the same queries.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace svc::journal {

inline constexpr int kBackupSize = 101;
using BackupBytes = std::array<std::uint8_t, kBackupSize>;

// A store that cannot be opened, read or written.
class StoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One connection to a printer: the start window's OK (or one svcadjust-cli run).
struct SessionRecord {
    std::int64_t id = 0;
    std::string started;   // UTC, "2026-12-08 15:45:45"
    std::string bench;     // the PC's host name
    int model = 0;         // model code
    int port = 0;          // port code
    std::string deviceId;  // what the printer's device ID said: "packet protocol" or not
    std::string usbId;     // the printer's USB ID serial number, once read
    std::string headId;    // the head ID bytes in hex, once read
};

enum class Access { Read, Write };

// One EEPROM byte that crossed the link, in call order within its operation.
struct ByteRecord {
    int seq = 0;
    Access access = Access::Read;
    std::uint8_t address = 0;
    std::uint8_t value = 0;
    // The value a write replaced, when the session had read the byte before.
    std::optional<std::uint8_t> previous;
    std::uint16_t result = 1;  // the call's result; a write other than 1 may or may not have arrived
    std::string via;           // how it was written: "eeprom", or the command that stores it
};

struct OperationRecord {
    std::int64_t id = 0;
    std::int64_t sessionId = 0;
    std::string started;
    std::string name;          // "usb-id-input", or the window's button
    std::string arguments;     // as given, separated by spaces
    std::uint16_t result = 1;  // 1, or the code the operation ended with
    std::vector<std::string> memo;
    std::vector<ByteRecord> bytes;
};

// A backup file's bytes, as taken from a printer or as a restore deleted them.
struct BackupRecord {
    std::int64_t id = 0;
    std::int64_t operationId = 0;
    std::string taken;    // when it was recorded
    std::string printer;  // the printer the bytes came from (PrinterKey)
    std::string kind;     // "backup", "restored", or "replaced" (a file a new backup overwrote)
    std::string bench;
    BackupBytes bytes{};
};

class Store {
public:
    virtual ~Store() = default;
    // Where the store is, for messages (no password).
    virtual std::string Describe() const = 0;

    // Each of these is one transaction. They throw StoreError.
    virtual std::int64_t AddSession(const SessionRecord& session) = 0;
    // The operation with its bytes and backups, and the session's printer identity as known now.
    virtual std::int64_t AddOperation(const OperationRecord& op, const std::vector<BackupRecord>& backups,
                                      const std::string& usbId, const std::string& headId) = 0;

    // An operation kept while it runs, so that a program that dies in the
    // middle (killed, a crash) leaves in the journal what it had sent.
    // OpenOperation stores the operation as it stands (its result, memo and
    // bytes so far) and returns its id. SaveOperation stores `op` again: its
    // result and memo, its bytes from `firstByte` on (replacing those of the
    // same seq), the backups from `firstBackup` on and the session's printer
    // identity. Each call is one transaction; only a `finished` one must
    // survive a power loss, the others a program that dies. A store that
    // cannot do this returns 0 from OpenOperation, and the operation is
    // stored in one piece with AddOperation at its end.
    virtual std::int64_t OpenOperation(const OperationRecord& op) { return (void)op, 0; }
    virtual void SaveOperation(const OperationRecord& op, std::size_t firstByte,
                               const std::vector<BackupRecord>& backups, std::size_t firstBackup,
                               const std::string& usbId, const std::string& headId, bool finished) {
        (void)op, (void)firstByte, (void)backups, (void)firstBackup, (void)usbId, (void)headId, (void)finished;
    }

    // Sessions, oldest first; with a printer, only those of that printer (USB ID or head ID).
    virtual std::vector<SessionRecord> Sessions(const std::string& printer) = 0;
    // The operations of a session, oldest first, with their bytes.
    virtual std::vector<OperationRecord> Operations(std::int64_t sessionId) = 0;
    virtual std::optional<OperationRecord> Operation(std::int64_t id) = 0;
    virtual std::optional<SessionRecord> Session(std::int64_t id) = 0;
    virtual std::optional<BackupRecord> Backup(std::int64_t id) = 0;
    // Backups, oldest first; with a printer, only those taken from it.
    virtual std::vector<BackupRecord> Backups(const std::string& printer) = 0;
};

// The journal's schema version; both stores keep it in their schema_version table.
inline constexpr int kSchemaVersion = 1;

// Hex text of bytes ("0A1B") and back; false on anything but pairs of hex digits.
std::string ToHex(const std::uint8_t* data, std::size_t size);
bool FromHex(const std::string& text, std::vector<std::uint8_t>& out);

// The current UTC time as "YYYY-MM-DD HH:MM:SS".
std::string UtcNow();
// This PC's host name.
std::string BenchName();

}  // namespace svc::journal
