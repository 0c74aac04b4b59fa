// A recording, scriptable stand-in for the outside libraries (port switch and
// packet channel) and a scripted Host, for unit tests of everything that talks
// to the printer. Link the static library svc_fake_outside instead of the real
// hostbridge and chanlink libraries; it defines all C functions of
// link/OutsideLibraries.h (the idle hook is kept, not recorded: IdleHook()).
//
// Typical use:
//
//     svc::fake::Fake().Reset();                 // fresh state for each test
//     svc::fake::ScriptedHost host;              // installs itself as svc::host()
//     svc::fake::Fake().RefuseSends(2);          // printer busy for two sends
//     ... run the code under test ...
//     EXPECT_EQ(svc::fake::Fake().AcceptedBytes(), expected);
//     EXPECT_EQ(host.Sleeps(), (std::vector<int>{500, 500}));
//
// Results: every function returns a scripted 16-bit result. Unless scripted
// otherwise it succeeds (1; GetOsVersion 164; GetD4ErrorCode the detail of
// the last refusal, 0 at first). For each function a test may set the value
// it always returns, queue values for its next calls, or fix the value of its
// n-th call (counted from 1 since the last Reset). An n-th-call entry wins
// over the queue, the queue over the always-value.
//
// Single-threaded, like the program: all calls are expected on one thread.
#pragma once

#include "link/Host.h"

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace svc::fake {

enum class Fn {
    PortOpenByOsSw,
    PortCloseByOsSw,
    GetDeviceIDByOsSw,
    GetModelNameByOsSw,
    GetIoErrorCodeByOsSw,
    GetOsVersion,
    SetD4CommandRCode,
    D4Negotiation,
    D4Termination,
    SendDataChannel,
    GetD4ErrorCode,
    D4ReadEeprom,
    D4WriteEeprom,
    InquireStatus,
};
inline constexpr int kFunctionCount = 14;

// The function's name as the C library exports it.
const char* Name(Fn fn);

// One recorded call.
struct Call {
    Fn fn;
    std::uint16_t result = 0;  // what the fake returned
    // Arguments: the port code (PortOpenByOsSw), the two bytes
    // (SetD4CommandRCode), the address and value (D4ReadEeprom: the value
    // read; D4WriteEeprom: the value to write).
    std::uint32_t a = 0;
    std::uint32_t b = 0;
    // SendDataChannel: a copy of every byte handed over, refused or not.
    std::vector<std::uint8_t> bytes;
};

using StatusBytes = std::array<std::uint8_t, 52>;

// A status record with the given state and error bytes and ink codes that
// read as the given percentages (black, cyan, magenta, yellow, light cyan,
// light magenta, gray). A level of -1 puts the special code "NA" there.
StatusBytes MakeStatus(std::uint8_t state, std::uint8_t error = 0,
                       std::array<int, 7> inkPercent = {100, 100, 100, 100, 100, 100, 100});
// Puts a raw ink code (high byte = high digit character) for ink i (0..6).
void SetInkCode(StatusBytes& record, int ink, std::uint8_t highChar, std::uint8_t lowChar);

class FakeOutside {
public:
    // Forgets all scripts, recordings, hooks and call counts; EEPROM all 0x00 with
    // the block signatures 5A 0F in place; status: ready, all inks 100 %.
    void Reset();

    // ---- results ----
    void SetResult(Fn fn, std::uint16_t always);
    void QueueResults(Fn fn, std::vector<std::uint16_t> next);
    void SetResultOnCall(Fn fn, int nth, std::uint16_t result);

    // ---- packet channel ----
    // The next `times` SendDataChannel calls are refused with 0x2000 and the
    // given GetD4ErrorCode detail (51: the printer is busy). Refusals come
    // before any other script of SendDataChannel: they count as calls for the
    // n-th-call entries, but take nothing from the queue.
    void RefuseSends(int times, std::uint16_t detail = 51);
    // The detail GetD4ErrorCode reports after a SendDataChannel result of
    // 0x2000 scripted by the result functions (not by RefuseSends).
    void SetChannelErrorDetail(std::uint16_t detail) { channelDetail_ = detail; }

    // ---- port switch ----
    void SetModelName(const std::string& name) { modelName_ = name; }
    void SetIoErrorDetail(std::int16_t detail) { ioDetail_ = detail; }
    void SetOsVersion(std::uint8_t version) { osVersion_ = version; }

    // ---- EEPROM (256 bytes, one access per call) ----
    std::array<std::uint8_t, 256>& Eeprom() { return eeprom_; }
    // The n-th EEPROM access (reads and writes counted together, from 1 since
    // the last Reset) fails with `code` and leaves the EEPROM untouched.
    void FailEepromAccess(int nth, std::uint16_t code = 0x2000);
    int EepromAccessCount() const { return eepromAccesses_; }

    // ---- status record ----
    // The record every InquireStatus returns from now on.
    void SetStatus(const StatusBytes& record);
    // Records returned by the next inquiries, one each; the last one stays.
    void QueueStatus(std::vector<StatusBytes> records);
    const StatusBytes& CurrentStatus() const { return status_; }

    // ---- recording ----
    const std::vector<Call>& Calls() const { return calls_; }
    std::vector<Call> CallsTo(Fn fn) const;
    int CallCount(Fn fn) const;
    // The bytes of every SendDataChannel call, one entry per call (refused too).
    std::vector<std::vector<std::uint8_t>> Sends() const;
    // Only the sends that are factory command packets (ESC | ...), in order.
    std::vector<std::vector<std::uint8_t>> FactorySends() const;
    // Everything the printer took, in order (accepted sends only).
    std::vector<std::uint8_t> AcceptedBytes() const;
    // Only the successful EEPROM writes, in order, as {address, value}.
    std::vector<std::pair<std::uint8_t, std::uint8_t>> EepromWrites() const;
    // Forgets the recorded calls (scripts and counters stay).
    void ClearCalls() { calls_.clear(); }
    // Called after every recorded call (for example to change the status as the printer works).
    void OnCall(std::function<void(const Call&)> hook) { hook_ = std::move(hook); }

    // ---- used by the C functions; not meant for tests ----
    std::uint16_t Next(Fn fn, std::uint16_t unscripted = 1);
    // Counts a call whose result is not taken from the script (a refused send),
    // so n-th-call entries keep counting every call and the queue loses nothing.
    void CountCall(Fn fn) { ++scripts_[static_cast<int>(fn)].calls; }
    void Record(Call call);
    bool TakeRefusal();
    std::uint16_t LastChannelDetail() const { return lastDetail_; }
    void NoteChannelFailure() { lastDetail_ = channelDetail_; }
    std::uint16_t EepromAccess(Fn fn);
    const std::string& ModelName() const { return modelName_; }
    std::int16_t IoErrorDetail() const { return ioDetail_; }
    std::uint8_t OsVersion() const { return osVersion_; }
    const StatusBytes& TakeStatus();
    // The hook last given to SetIdleHookByOsSw, not recorded as a call
    // (Reset leaves it: it belongs to the host, not to a test's script).
    using IdleHookFn = void (*)();
    IdleHookFn IdleHook() const { return idleHook_; }
    void KeepIdleHook(IdleHookFn hook) { idleHook_ = hook; }

private:
    IdleHookFn idleHook_ = nullptr;
    struct Script {
        std::optional<std::uint16_t> always;
        std::deque<std::uint16_t> queue;
        std::map<int, std::uint16_t> nth;
        int calls = 0;
    };
    std::array<Script, kFunctionCount> scripts_{};
    std::deque<std::uint16_t> refusals_;
    std::uint16_t channelDetail_ = 0;
    std::uint16_t lastDetail_ = 0;
    std::string modelName_ = "Corvid Lumen 4100";
    std::int16_t ioDetail_ = 0;
    std::uint8_t osVersion_ = 164;
    std::array<std::uint8_t, 256> eeprom_{};
    std::map<int, std::uint16_t> eepromFailures_;
    int eepromAccesses_ = 0;
    StatusBytes status_{};
    std::deque<StatusBytes> statusQueue_;
    std::vector<Call> calls_;
    std::function<void(const Call&)> hook_;
};

// The one fake behind the C functions.
FakeOutside& Fake();

// A Host for tests: sleeps cost no wall time, repaints are counted, message
// boxes are recorded and answered from a script. Each record notes how many
// outside-library calls the fake had recorded before it, so a test can tell
// where a box or a pause fell among the printer traffic.
class ScriptedHost final : public Host {
public:
    struct Box {
        BoxOwner owner;
        std::string text;
        std::string caption;
        BoxIcon icon;
        BoxButtons buttons;
        std::size_t callsBefore;
    };
    struct Pause {
        int ms;
        std::size_t callsBefore;
    };

    // With install, becomes svc::host() until destroyed.
    explicit ScriptedHost(bool install = true);
    ~ScriptedHost() override;
    ScriptedHost(const ScriptedHost&) = delete;
    ScriptedHost& operator=(const ScriptedHost&) = delete;

    void Sleep(int milliseconds) override;
    void RepaintMainWindow() override;
    BoxAnswer MessageBox(BoxOwner owner, const std::string& text, const std::string& caption, BoxIcon icon,
                         BoxButtons buttons) override;

    // Answers for the next boxes, in order. Without one a box gets Ok (Ok and
    // OkCancel buttons) or Yes (YesNo).
    void QueueAnswers(std::vector<BoxAnswer> answers);
    // Called after each Sleep with the time slept (virtual time has already moved on).
    void OnSleep(std::function<void(int ms)> hook) { onSleep_ = std::move(hook); }
    // Called after each message box has been recorded.
    void OnMessageBox(std::function<void(const Box&)> hook) { onBox_ = std::move(hook); }

    const std::vector<Box>& Boxes() const { return boxes_; }
    const std::vector<Pause>& Pauses() const { return pauses_; }
    std::vector<int> Sleeps() const;
    long long NowMs() const { return nowMs_; }  // sum of all sleeps
    int Repaints() const { return repaints_; }

private:
    bool installed_;
    std::vector<Box> boxes_;
    std::vector<Pause> pauses_;
    std::deque<BoxAnswer> answers_;
    long long nowMs_ = 0;
    int repaints_ = 0;
    std::function<void(int)> onSleep_;
    std::function<void(const Box&)> onBox_;
};

}  // namespace svc::fake
