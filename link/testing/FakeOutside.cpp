#include "link/testing/FakeOutside.h"

#include "link/OutsideLibraries.h"

#include <algorithm>
#include <cstring>

namespace svc::fake {
constexpr std::uint16_t kOk = 1;
constexpr std::uint16_t kChannelRefused = 0x2000;

namespace {

int Index(Fn fn) { return static_cast<int>(fn); }

char HexChar(int digit) { return static_cast<char>(digit < 10 ? '0' + digit : 'A' + digit - 10); }

}  // namespace

const char* Name(Fn fn) {
    static constexpr const char* names[kFunctionCount] = {
        "PortOpenByOsSw", "PortCloseByOsSw",   "GetDeviceIDByOsSw", "GetModelNameByOsSw", "GetIoErrorCodeByOsSw",
        "GetOsVersion",   "SetD4CommandRCode", "D4Negotiation",     "D4Termination",      "SendDataChannel",
        "GetD4ErrorCode", "D4ReadEeprom",      "D4WriteEeprom",     "InquireStatus"};
    return names[Index(fn)];
}

void SetInkCode(StatusBytes& record, int ink, std::uint8_t highChar, std::uint8_t lowChar) {
    record[14 + 2 * ink] = lowChar;
    record[15 + 2 * ink] = highChar;
}

StatusBytes MakeStatus(std::uint8_t state, std::uint8_t error, std::array<int, 7> inkPercent) {
    StatusBytes record{};
    record[0] = state;
    record[1] = error;
    for (int i = 0; i < 7; ++i) {
        const int p = inkPercent[i];
        if (p < 0)
            SetInkCode(record, i, 'N', 'A');
        else
            SetInkCode(record, i, static_cast<std::uint8_t>(HexChar((p >> 4) & 0xF)),
                       static_cast<std::uint8_t>(HexChar(p & 0xF)));
    }
    return record;
}

// ---- FakeOutside ----

void FakeOutside::Reset() {
    const IdleHookFn idleHook = idleHook_;  // the host's, not the test's
    *this = FakeOutside{};
    idleHook_ = idleHook;
    for (std::uint8_t quarter : {0x00, 0x40, 0x80, 0xC0}) {
        eeprom_[quarter] = 0x5A;
        eeprom_[quarter + 1] = 0x0F;
    }
    status_ = MakeStatus(4);
}

void FakeOutside::SetResult(Fn fn, std::uint16_t always) { scripts_[Index(fn)].always = always; }

void FakeOutside::QueueResults(Fn fn, std::vector<std::uint16_t> next) {
    auto& queue = scripts_[Index(fn)].queue;
    queue.insert(queue.end(), next.begin(), next.end());
}

void FakeOutside::SetResultOnCall(Fn fn, int nth, std::uint16_t result) { scripts_[Index(fn)].nth[nth] = result; }

void FakeOutside::RefuseSends(int times, std::uint16_t detail) {
    refusals_.insert(refusals_.end(), static_cast<std::size_t>(std::max(times, 0)), detail);
}

void FakeOutside::FailEepromAccess(int nth, std::uint16_t code) { eepromFailures_[nth] = code; }

void FakeOutside::SetStatus(const StatusBytes& record) {
    statusQueue_.clear();
    status_ = record;
}

void FakeOutside::QueueStatus(std::vector<StatusBytes> records) {
    statusQueue_.insert(statusQueue_.end(), records.begin(), records.end());
}

std::vector<Call> FakeOutside::CallsTo(Fn fn) const {
    std::vector<Call> out;
    std::copy_if(calls_.begin(), calls_.end(), std::back_inserter(out), [fn](const Call& c) { return c.fn == fn; });
    return out;
}

int FakeOutside::CallCount(Fn fn) const {
    return static_cast<int>(std::count_if(calls_.begin(), calls_.end(), [fn](const Call& c) { return c.fn == fn; }));
}

std::vector<std::vector<std::uint8_t>> FakeOutside::Sends() const {
    std::vector<std::vector<std::uint8_t>> out;
    for (const Call& c : calls_)
        if (c.fn == Fn::SendDataChannel) out.push_back(c.bytes);
    return out;
}

std::vector<std::vector<std::uint8_t>> FakeOutside::FactorySends() const {
    std::vector<std::vector<std::uint8_t>> out;
    for (const Call& c : calls_)
        if (c.fn == Fn::SendDataChannel && c.bytes.size() >= 10 && c.bytes[0] == 0x1B && c.bytes[1] == 0x7C)
            out.push_back(c.bytes);
    return out;
}

std::vector<std::uint8_t> FakeOutside::AcceptedBytes() const {
    std::vector<std::uint8_t> out;
    for (const Call& c : calls_)
        if (c.fn == Fn::SendDataChannel && c.result == kOk) out.insert(out.end(), c.bytes.begin(), c.bytes.end());
    return out;
}

std::vector<std::pair<std::uint8_t, std::uint8_t>> FakeOutside::EepromWrites() const {
    std::vector<std::pair<std::uint8_t, std::uint8_t>> out;
    for (const Call& c : calls_)
        if (c.fn == Fn::D4WriteEeprom && c.result == kOk)
            out.emplace_back(static_cast<std::uint8_t>(c.a), static_cast<std::uint8_t>(c.b));
    return out;
}

std::uint16_t FakeOutside::Next(Fn fn, std::uint16_t unscripted) {
    Script& s = scripts_[Index(fn)];
    ++s.calls;
    if (auto it = s.nth.find(s.calls); it != s.nth.end()) return it->second;
    if (!s.queue.empty()) {
        const std::uint16_t r = s.queue.front();
        s.queue.pop_front();
        return r;
    }
    return s.always.value_or(unscripted);
}

void FakeOutside::Record(Call call) {
    calls_.push_back(std::move(call));
    if (hook_) {
        // Copy first: the hook may script further calls, or record some.
        const Call last = calls_.back();
        hook_(last);
    }
}

bool FakeOutside::TakeRefusal() {
    if (refusals_.empty()) return false;
    lastDetail_ = refusals_.front();
    refusals_.pop_front();
    return true;
}

std::uint16_t FakeOutside::EepromAccess(Fn fn) {
    ++eepromAccesses_;
    const std::uint16_t scripted = Next(fn);
    if (auto it = eepromFailures_.find(eepromAccesses_); it != eepromFailures_.end()) return it->second;
    return scripted;
}

const StatusBytes& FakeOutside::TakeStatus() {
    if (!statusQueue_.empty()) {
        status_ = statusQueue_.front();
        statusQueue_.pop_front();
    }
    return status_;
}

FakeOutside& Fake() {
    static FakeOutside fake = [] {
        FakeOutside f;
        f.Reset();
        return f;
    }();
    return fake;
}

// ---- ScriptedHost ----

ScriptedHost::ScriptedHost(bool install) : installed_(install) {
    if (installed_) SetHost(this);
}

ScriptedHost::~ScriptedHost() {
    if (installed_ && &host() == this) SetHost(nullptr);
}

void ScriptedHost::Sleep(int milliseconds) {
    pauses_.push_back({milliseconds, Fake().Calls().size()});
    nowMs_ += milliseconds;
    if (onSleep_) onSleep_(milliseconds);
}

void ScriptedHost::RepaintMainWindow() { ++repaints_; }

BoxAnswer ScriptedHost::MessageBox(BoxOwner owner, const std::string& text, const std::string& caption, BoxIcon icon,
                                   BoxButtons buttons) {
    boxes_.push_back({owner, text, caption, icon, buttons, Fake().Calls().size()});
    BoxAnswer answer = buttons == BoxButtons::YesNo ? BoxAnswer::Yes : BoxAnswer::Ok;
    if (!answers_.empty()) {
        answer = answers_.front();
        answers_.pop_front();
    }
    if (onBox_) onBox_(boxes_.back());
    return answer;
}

void ScriptedHost::QueueAnswers(std::vector<BoxAnswer> answers) {
    answers_.insert(answers_.end(), answers.begin(), answers.end());
}

std::vector<int> ScriptedHost::Sleeps() const {
    std::vector<int> out;
    for (const Pause& p : pauses_) out.push_back(p.ms);
    return out;
}

}  // namespace svc::fake

// ---- the C functions ----

using svc::fake::Call;
using svc::fake::Fake;
using svc::fake::Fn;
using svc::fake::kChannelRefused;
using svc::fake::kOk;

extern "C" {

uint16_t PortOpenByOsSw(uint16_t portCode) {
    const uint16_t r = Fake().Next(Fn::PortOpenByOsSw);
    Fake().Record({Fn::PortOpenByOsSw, r, portCode, 0, {}});
    return r;
}

uint16_t PortCloseByOsSw(void) {
    const uint16_t r = Fake().Next(Fn::PortCloseByOsSw);
    Fake().Record({Fn::PortCloseByOsSw, r, 0, 0, {}});
    return r;
}

uint16_t GetDeviceIDByOsSw(void) {
    const uint16_t r = Fake().Next(Fn::GetDeviceIDByOsSw);
    Fake().Record({Fn::GetDeviceIDByOsSw, r, 0, 0, {}});
    return r;
}

uint16_t GetModelNameByOsSw(char* name30) {
    const uint16_t r = Fake().Next(Fn::GetModelNameByOsSw);
    if (r == kOk && name30 != nullptr) {
        const std::string& name = Fake().ModelName();
        const std::size_t n = std::min<std::size_t>(name.size(), 29);
        std::memcpy(name30, name.data(), n);
        name30[n] = '\0';
    }
    Fake().Record({Fn::GetModelNameByOsSw, r, 0, 0, {}});
    return r;
}

uint16_t GetIoErrorCodeByOsSw(int16_t* detail) {
    const uint16_t r = Fake().Next(Fn::GetIoErrorCodeByOsSw);
    if (detail != nullptr) *detail = Fake().IoErrorDetail();
    Fake().Record({Fn::GetIoErrorCodeByOsSw, r, 0, 0, {}});
    return r;
}

uint8_t GetOsVersion(void) {
    const auto r = static_cast<uint8_t>(Fake().Next(Fn::GetOsVersion, Fake().OsVersion()));
    Fake().Record({Fn::GetOsVersion, r, 0, 0, {}});
    return r;
}

void SetIdleHookByOsSw(void (*hook)(void)) { Fake().KeepIdleHook(hook); }

uint16_t SetD4CommandRCode(uint8_t first, uint8_t second) {
    const uint16_t r = Fake().Next(Fn::SetD4CommandRCode);
    Fake().Record({Fn::SetD4CommandRCode, r, first, second, {}});
    return r;
}

uint16_t D4Negotiation(void) {
    const uint16_t r = Fake().Next(Fn::D4Negotiation);
    Fake().Record({Fn::D4Negotiation, r, 0, 0, {}});
    return r;
}

uint16_t D4Termination(void) {
    const uint16_t r = Fake().Next(Fn::D4Termination);
    Fake().Record({Fn::D4Termination, r, 0, 0, {}});
    return r;
}

uint16_t SendDataChannel(const uint8_t* data, uint32_t count) {
    // Every call counts for the n-th-call script, refused or not; a refusal
    // leaves the queued results for the calls after it.
    uint16_t r = kChannelRefused;
    if (Fake().TakeRefusal()) {
        Fake().CountCall(Fn::SendDataChannel);
    } else {
        r = Fake().Next(Fn::SendDataChannel);
        if (r == kChannelRefused) Fake().NoteChannelFailure();
    }
    std::vector<uint8_t> bytes;
    if (data != nullptr) bytes.assign(data, data + count);
    Fake().Record({Fn::SendDataChannel, r, count, 0, std::move(bytes)});
    return r;
}

uint16_t GetD4ErrorCode(void) {
    // Unscripted, it reports the detail of the last refusal.
    const uint16_t r = Fake().Next(Fn::GetD4ErrorCode, Fake().LastChannelDetail());
    Fake().Record({Fn::GetD4ErrorCode, r, 0, 0, {}});
    return r;
}

uint16_t D4ReadEeprom(uint8_t address, uint8_t* value) {
    const uint16_t r = Fake().EepromAccess(Fn::D4ReadEeprom);
    const uint8_t stored = Fake().Eeprom()[address];
    if (r == kOk && value != nullptr) *value = stored;
    Fake().Record({Fn::D4ReadEeprom, r, address, stored, {}});
    return r;
}

uint16_t D4WriteEeprom(uint8_t address, uint8_t value) {
    const uint16_t r = Fake().EepromAccess(Fn::D4WriteEeprom);
    if (r == kOk) Fake().Eeprom()[address] = value;
    Fake().Record({Fn::D4WriteEeprom, r, address, value, {}});
    return r;
}

uint16_t InquireStatus(uint8_t* record52) {
    const uint16_t r = Fake().Next(Fn::InquireStatus);
    if (r == kOk && record52 != nullptr) {
        const auto& record = Fake().TakeStatus();
        std::memcpy(record52, record.data(), record.size());
    }
    Fake().Record({Fn::InquireStatus, r, 0, 0, {}});
    return r;
}

}  // extern "C"
