// The virtual printer: a deterministic state machine with no threads and no
// clock of its own. Host bytes go in and the printer's answer comes out;
// virtual time passes only when Advance() is called, so a printer that stays
// busy for a minute costs a test no wall time. Not thread-safe: one thread
// drives it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "vprinter/ByteQueue.h"
#include "vprinter/Eeprom.h"
#include "vprinter/Engine.h"
#include "vprinter/Ink.h"

namespace d4 {
class PrinterEndpoint;
class PrinterServices;
}  // namespace d4

namespace vp {

// Printer states of the status record.
enum PrinterState : std::uint8_t {
    kStateError = 0,
    kStateBusy = 2,
    kStatePrinting = 3,
    kStateReady = 4,
    kStateCleaning = 7,
    kStateBeforeInkCharge = 8,
};

inline constexpr std::size_t kStatusRecordSize = 52;
using StatusRecord = std::array<std::uint8_t, kStatusRecordSize>;

// Name of model code 1 or 2 ("Corvid Lumen 4100" / "Corvid Lumen 4200").
const char* ModelName(int modelCode);

class Printer : public Machine {
public:
    struct Options {
        int model = 1;                           // 1 = Lumen 4100, 2 = Lumen 4200
        std::size_t bufferCapacity = 16384;      // input buffer, bytes
        std::uint32_t bytesPerSecond = 50000;    // how fast the input buffer drains; kUnlimitedSpeed: at once
        std::size_t receivedLogLimit = 1 << 20;  // kept print data when there is no engine
        std::size_t logLineLimit = 1000;
    };

    // Counts of what happened, for tests and the status line.
    struct Counters {
        std::uint64_t hostBytes = 0;       // channel bytes from the host
        std::uint64_t replyBytes = 0;      // channel bytes answered
        std::uint64_t hostPackets = 0;     // whole channel packets from the host
        std::uint64_t dataAccepted = 0;    // print-data bytes taken into the input buffer
        std::uint64_t dataDrained = 0;     // print-data bytes passed on to printing
        std::uint64_t noSpaceAnswers = 0;  // times the printer had no room for data
        std::uint64_t eepromReads = 0;
        std::uint64_t eepromWrites = 0;
        std::uint64_t statusInquiries = 0;
        std::uint64_t portResets = 0;
        std::uint64_t connections = 0;
        std::uint64_t refusedBlocks = 0;
    };

    // The engine, when given, must outlive the printer.
    Printer(const Options& options, const Eeprom& eeprom, Engine* engine = nullptr);
    ~Printer() override;
    Printer(const Printer&) = delete;
    Printer& operator=(const Printer&) = delete;

    int ModelCode() const { return options_.model; }
    std::string ModelName() const;
    // The IEEE 1284 device ID as the USB printer class delivers it: a 2-byte
    // big-endian length that counts itself, then the text.
    std::string DeviceId() const;

    // ---- the port ----
    // A host connected (opened the port): the channel starts from scratch.
    void Connect();
    // The host closed the port: the channel state is forgotten, print data
    // already taken stays in the input buffer.
    void Disconnect();
    // Channel bytes from the host; returns the answer bytes (none while the
    // power is off or the link is dropped).
    std::vector<std::uint8_t> HostBytes(const std::uint8_t* data, std::size_t n);
    // The port's INIT line: the channel and the job in progress are dropped.
    void PortReset();
    // Whether the injected link drop has happened on this connection; the
    // port then behaves as if the cable were pulled.
    bool LinkDropped() const { return linkDropped_; }
    // Whether the channel ended in a protocol error.
    bool ChannelFailed() const;
    // What the channel endpoint sees of the printer: EEPROM bytes, the status
    // record, free buffer space and accepted print data.
    d4::PrinterServices& ChannelServices();

    // ---- time ----
    void Advance(std::uint64_t ms);
    // The same at full resolution: printing drains by the microseconds gone
    // by; the engine sees whole milliseconds, the rest is carried over.
    void AdvanceMicros(std::uint64_t us);
    // The mechanism's time runs this many times faster than the printer's
    // (cleaning, ink charge, the exchange steps, moves, ejects), for demos.
    // 1 is real time; the drain speed of the input buffer is not affected.
    void SetSpeedUp(std::uint32_t factor) { speedUp_ = factor == 0 ? 1 : factor; }
    std::uint32_t SpeedUp() const { return speedUp_; }

    // ---- CR motor ----
    // The load readings the CR drive measurement leaves at 0x6C-0x6D, in the
    // order the measurements run (the dispersion sequence runs three in mode
    // 4, then three in mode 3); the list starts over when it is used up. An
    // empty list lets the mechanism's own reading stand.
    void SetCrReadings(std::vector<std::uint16_t> readings);
    const std::vector<std::uint16_t>& CrReadings() const { return crReadings_; }

    // ---- power and faults ----
    // Power off: the printer answers nothing and loses its input buffer and
    // channel; power on: it starts afresh (EEPROM and faults stay).
    void SetPower(bool on);
    bool PoweredOn() const { return powered_; }
    // The power button as a person presses it. Off: the printer starts.
    // On: it shuts down as a real one does, busy (state 2, no data taken)
    // while it parks for kShutdownMs of the mechanism's time, then goes off.
    static constexpr std::uint64_t kShutdownMs = 3000;
    void PressPowerButton();
    bool ShuttingDown() const { return shutdownUs_ > 0; }
    // Reports state 2 and takes no data until cleared.
    void SetStuckBusy(bool on);
    bool StuckBusy() const { return stuckBusy_; }
    // Reports state 0 with this error code and stops printing until cleared.
    void InjectError(std::uint8_t code);
    void ClearError();
    std::optional<std::uint8_t> InjectedError() const { return injectedError_; }
    // Reports this state (cleaning, before ink charge, ...) and prints
    // nothing until released; data is still taken while there is room.
    void HoldState(std::optional<std::uint8_t> state);
    std::optional<std::uint8_t> HeldState() const { return heldState_; }
    // Refuses the next print-data block that needs credit: no more credit is
    // granted ahead, and the next credit request for print data is answered
    // with this result byte (the host sees it as a refusal detail). Blocks
    // already covered by credit granted before still go through.
    void RefuseNextBlock(std::optional<std::uint8_t> detail);
    std::optional<std::uint8_t> PendingRefusal() const { return refusal_; }
    // The link drops once the host has sent this many more packets: the
    // printer acts on the last of them, but its answer is lost with the link.
    void DropLinkAfter(std::optional<std::uint64_t> packets);
    std::optional<std::uint64_t> PacketsBeforeDrop() const { return dropAfter_; }
    // Clears every fault above (power is left as it is).
    void ClearFaults();

    // ---- status ----
    StatusRecord Status() const;
    std::uint8_t State() const;
    std::uint8_t ErrorCode() const;
    // Level makes the slot report its ink level again (a cartridge put in).
    void SetInkCondition(int ink, InkCondition condition);
    // Cartridges with this much ink are put into the slots: each reports its
    // level again. Putting one in where a slot had none, or more ink than it
    // had, makes the printer run its replacement cleaning: Replace CL (0x38)
    // counts one per call, however many slots changed.
    void InsertCartridges(const std::vector<int>& inks, int percent);
    InkCondition InkConditionOf(int ink) const;
    std::uint16_t InkCode(int ink) const;

    // ---- input buffer ----
    std::size_t Buffered() const { return buffer_.size(); }
    std::size_t Capacity() const { return options_.bufferCapacity; }
    std::size_t FreeSpace() const;
    // 0 stops printing; kUnlimitedSpeed drains everything as it arrives.
    static constexpr std::uint32_t kUnlimitedSpeed = 0xFFFFFFFFu;
    void SetSpeed(std::uint32_t bytesPerSecond);
    bool Unlimited() const { return options_.bytesPerSecond == kUnlimitedSpeed; }
    std::uint32_t Speed() const { return options_.bytesPerSecond; }
    // Print data that left the buffer when no engine takes it, oldest first,
    // bounded by Options::receivedLogLimit (the oldest bytes go first).
    const std::deque<std::uint8_t>& ReceivedData() const { return received_; }

    // ---- EEPROM ----
    // Adds to the little-endian counter of `width` bytes at `address`,
    // stopping at its largest value instead of wrapping.
    void AddToCounter(std::uint8_t address, int width, std::uint64_t amount);
    const Eeprom& eeprom() const { return eeprom_; }
    // The main board is swapped for one from the spare-parts shelf: the
    // EEPROM becomes the new-board image (block signatures only). A board is
    // never changed with the power on: then nothing happens and it is false.
    bool ReplaceBoard();
    std::uint64_t BoardReplacements() const { return boardReplacements_; }
    // Called after the host's EEPROM write changed a byte and before the
    // printer answers it, as a real EEPROM commits before it acknowledges:
    // false (the byte could not be kept) undoes the change and the write is
    // refused (result 0x01, the host's detail 0x0701).
    void SetEepromCommit(std::function<bool()> commit) { eepromCommit_ = std::move(commit); }
    // Set when a byte changed since the last ClearEepromChanged().
    bool EepromChanged() const { return eepromChanged_; }
    void ClearEepromChanged() { eepromChanged_ = false; }

    // ---- engine pass-through ----
    // Attaches the print engine after construction, since the engine is
    // built on the printer as its Machine; nullptr detaches it. An attached
    // engine must outlive the printer or be detached first.
    void SetEngine(Engine* engine) { engine_ = engine; }
    bool HasEngine() const { return engine_ != nullptr; }
    void PressPaperButton();
    void PressRollPaperSwitch();

    // ---- what happened ----
    const Counters& counters() const { return counters_; }
    const std::deque<std::string>& LogLines() const { return log_; }
    // Receives every log line as it is written (the program prints them).
    void SetLogSink(std::function<void(const std::string&)> sink) { logSink_ = std::move(sink); }
    // Sees every whole packet the printer takes from the host, with the
    // answer bytes it gave to it (none, one or more packets). Packets sent
    // while the power is off or the link is down never arrive and are not shown.
    using PacketObserver = std::function<void(const std::uint8_t* packet, std::size_t size, const std::uint8_t* answer,
                                              std::size_t answerSize)>;
    void SetPacketObserver(PacketObserver observer) { packetObserver_ = std::move(observer); }
    // One line describing power, state, buffer and faults.
    std::string Summary() const;
    // Everything the core knows, as blank-separated key=value fields for the
    // control socket's "state" command (see vprinter/README.md).
    std::string StateFields() const;
    // The EEPROM as the printer started (or as the last board replacement
    // left it is not the baseline: changes count from start-up).
    const Eeprom& StartupEeprom() const { return startupEeprom_; }

    // ---- Machine, for the engine ----
    std::uint8_t ReadEeprom(std::uint8_t address) const override;
    // What the mechanism stores (configured CR readings replace its own).
    void WriteEeprom(std::uint8_t address, std::uint8_t value) override;
    int InkLevel(int ink) const override;
    // Changes the level only; a slot with a special code keeps reporting it.
    void SetInkLevel(int ink, int percent) override;
    std::uint64_t NowMs() const override { return nowUs_ / 1000; }
    void Log(const std::string& line) override;

private:
    class Services;
    friend class Services;

    void DrainFor(std::uint64_t us);
    void EngineTime(std::uint64_t us);
    void StoreEeprom(std::uint8_t address, std::uint8_t value);
    void KeepReceived(const std::uint8_t* data, std::size_t n);
    void ResetPacketSplitter();
    void HostPacket(const std::uint8_t* packet, std::size_t size, std::vector<std::uint8_t>& reply);
    bool RefuseCreditRequest(const std::uint8_t* packet, std::size_t size, std::vector<std::uint8_t>& reply);
    void DropLinkNow();
    void DropInput();

    Options options_;
    Eeprom eeprom_;
    Eeprom startupEeprom_;
    Engine* engine_;
    std::unique_ptr<Services> services_;
    std::unique_ptr<d4::PrinterEndpoint> endpoint_;

    bool powered_ = true;
    bool stuckBusy_ = false;
    std::optional<std::uint8_t> injectedError_;
    std::optional<std::uint8_t> heldState_;
    std::optional<std::uint8_t> refusal_;
    std::optional<std::uint64_t> dropAfter_;
    bool linkDropped_ = false;

    std::array<int, kInkCount> inkLevels_{};
    std::array<InkCondition, kInkCount> inkConditions_{};

    ByteQueue buffer_;
    std::deque<std::uint8_t> received_;
    std::uint64_t drainRemainder_ = 0;  // byte-microseconds not yet worth a byte
    std::uint64_t nowUs_ = 0;
    std::uint64_t engineUs_ = 0;  // time the engine has not been given yet

    // The host stream is split into whole packets before the channel sees
    // them, to count them and to answer a refused credit request.
    std::vector<std::uint8_t> packet_;
    bool splitterLost_ = false;  // a broken length: bytes pass through as they come
    bool failureLogged_ = false;
    std::vector<std::uint8_t> refusalPacket_;

    bool eepromChanged_ = false;
    std::uint64_t boardReplacements_ = 0;
    std::uint32_t speedUp_ = 1;
    std::uint64_t shutdownUs_ = 0;  // left of a shutdown in progress
    std::vector<std::uint16_t> crReadings_;
    std::size_t nextCrReading_ = 0;
    Counters counters_;
    std::deque<std::string> log_;
    std::function<void(const std::string&)> logSink_;
    PacketObserver packetObserver_;
    std::function<bool()> eepromCommit_;
};

}  // namespace vp
