// The service journal as the program sees it: one program-wide recorder that
// the printer logic tells what crossed the link (EEPROM bytes read and
// written, backups taken and deleted, the code an operation ended with), and
// that the program's front end tells where sessions and operations begin and
// end. The recorder keeps the operation in memory and hands it to its store
// when the operation ends; from the first thing it would lose if the program
// died there (a write about to be sent, a backup, a stage) it keeps the
// operation in the store as it runs, marked unfinished until it ends.
//
// The recorder never talks to the printer and never stops the service work:
// without a store it only keeps the current operation, and a store that fails
// is reported once (through the warning function) and then left alone.
#pragma once

#include "journal/Store.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace svc::journal {

// The memo line of an operation that is still running, or whose program
// ended before the operation did (killed, a crash, the power): its writes
// are in the journal, those whose outcome it did not learn as not confirmed.
inline constexpr const char* kUnfinished = "(unfinished: the program ended during this operation)";
// ByteRecord::result of a write sent whose outcome is not known.
inline constexpr std::uint16_t kUnconfirmed = 0;

class Recorder {
public:
    using Warn = std::function<void(const std::string&)>;

    // Takes the store (null: keep nothing). The warning function receives the
    // one message about a failing store.
    void Install(std::unique_ptr<Store> store, Warn warn);
    Store* CurrentStore() { return failed_ ? nullptr : store_.get(); }
    void Uninstall();

    // A new connection: nothing is known of the printer's EEPROM yet.
    void BeginSession(int model, int port, const std::string& deviceId);
    void BeginOperation(const std::string& name, const std::string& arguments);
    // Stores the operation (result 1 when `ok` and no code was reported).
    // Returns its journal id, or 0 when it was not stored.
    std::int64_t EndOperation(bool ok, const std::vector<std::string>& memo);
    bool InOperation() const { return open_; }

    // ---- from the printer logic ----
    void NoteRead(std::uint8_t address, std::uint8_t value, std::uint16_t result);
    // Before a write is sent: the write is in the store (not confirmed)
    // before the printer can have it. NoteWrite then gives its outcome.
    void NoteWriting(std::uint8_t address, std::uint8_t value, const char* via = "eeprom");
    void NoteWrite(std::uint8_t address, std::uint8_t value, std::uint16_t result, const char* via = "eeprom");
    void NoteResult(std::uint16_t code);
    void NoteBackup(const std::string& kind, const BackupBytes& bytes);
    // A stage a long sequence has reached; kept as a memo line of the
    // operation, after the window's lines, so that a later session can tell
    // how far it came.
    void NoteStage(const std::string& stage);

    // The last operation as recorded (also when it was not stored).
    const OperationRecord& LastOperation() const { return op_; }
    std::int64_t SessionId() const { return sessionId_; }
    // What this session knows of the EEPROM: a byte read or written with success.
    std::optional<std::uint8_t> Known(std::uint8_t address) const { return known_[address]; }
    std::string UsbId() const;
    std::string HeadId() const;

    // The clock of the records (tests fix it).
    void SetClock(std::function<std::string()> clock) { clock_ = std::move(clock); }

private:
    void Fail(const StoreError& e);
    // Stores the operation as it stands, marked unfinished.
    void SaveProgress();
    // A byte record added to the operation under way (which must be open).
    ByteRecord& Append(Access access, std::uint8_t address, std::uint8_t value, std::uint16_t result);
    std::string Now() const { return clock_ ? clock_() : UtcNow(); }

    std::unique_ptr<Store> store_;
    Warn warn_;
    bool failed_ = false;
    std::function<std::string()> clock_;
    std::int64_t sessionId_ = 0;
    bool open_ = false;
    OperationRecord op_;
    std::vector<BackupRecord> backups_;
    std::vector<std::string> stages_;
    // The operation in the store while it runs: its id (0: not yet), the
    // bytes and backups stored, the write sent whose outcome is awaited.
    std::int64_t storedId_ = 0;
    bool streaming_ = true;  // false: the store keeps operations only whole
    std::size_t savedBytes_ = 0;
    std::size_t savedBackups_ = 0;
    std::optional<std::size_t> pending_;
    std::array<std::optional<std::uint8_t>, 256> known_{};
};

Recorder& Journal();

// The printer a backup's bytes came from: its USB ID serial number, or its
// head ID bytes in hex when the serial number is blank.
std::string PrinterKey(const BackupBytes& bytes);
// The same from the two identity items as read from the EEPROM.
std::string PrinterKey(std::span<const std::uint8_t> usbSerial, std::span<const std::uint8_t> headId);

// ---- what a stopped operation left in the printer ----

// The item an EEPROM address belongs to: its name and its address range.
struct Item {
    std::uint8_t first = 0;
    int size = 1;
    std::string name;
};
Item ItemAt(std::uint8_t address);

// The lines that say what an operation that stopped wrote before it stopped
// ("VSD1 Black was written; VSD2 Black was not"); empty when it wrote nothing.
std::vector<std::string> DescribeStop(const OperationRecord& op);

// The bytes that put back what an operation changed: for each address it
// wrote, the value before its first write, where the journal knows it.
struct UndoByte {
    std::uint8_t address = 0;
    std::uint8_t now = 0;     // what the operation wrote last
    std::uint8_t before = 0;  // what it replaced
    bool certain = true;      // false: the last write's arrival is unknown
    // Every value the byte may hold now: `now` when certain; else the value
    // of its last confirmed write (or `before`) and of each write after it.
    std::vector<std::uint8_t> possible;
};
struct UndoPlan {
    std::vector<UndoByte> bytes;
    std::vector<std::uint8_t> unknown;  // addresses written whose earlier value was never read
};
UndoPlan PlanUndo(const OperationRecord& op);

}  // namespace svc::journal
