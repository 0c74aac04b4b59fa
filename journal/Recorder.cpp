#include "journal/Recorder.h"
#include "i18n/Translate.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <unistd.h>

namespace svc::journal {

std::string ToHex(const std::uint8_t* data, std::size_t size) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i) {
        out.push_back(kDigits[data[i] >> 4]);
        out.push_back(kDigits[data[i] & 0x0F]);
    }
    return out;
}

bool FromHex(const std::string& text, std::vector<std::uint8_t>& out) {
    out.clear();
    if (text.size() % 2 != 0) return false;
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int hi = digit(text[i]), lo = digit(text[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
    }
    return true;
}

std::string UtcNow() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
    return buf;
}

std::string BenchName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return "unknown";
    return name;
}

// ---- the recorder ----

void Recorder::Install(std::unique_ptr<Store> store, Warn warn) {
    store_ = std::move(store);
    warn_ = std::move(warn);
    failed_ = false;
    streaming_ = true;
    storedId_ = 0;
}

void Recorder::Uninstall() {
    store_.reset();
    warn_ = nullptr;
    failed_ = false;
    sessionId_ = 0;
    open_ = false;
    storedId_ = 0;
}

void Recorder::Fail(const StoreError& e) {
    if (failed_) return;
    failed_ = true;
    if (warn_)
        warn_(Format(Tr("The service journal (%1) cannot be written: %2. The work goes on without it."),
                     {store_->Describe(), e.what()}));
}

void Recorder::BeginSession(int model, int port, const std::string& deviceId) {
    known_.fill(std::nullopt);
    open_ = false;
    sessionId_ = 0;
    SessionRecord s;
    s.started = Now();
    s.bench = BenchName();
    s.model = model;
    s.port = port;
    s.deviceId = deviceId;
    if (Store* store = CurrentStore()) {
        try {
            sessionId_ = store->AddSession(s);
        } catch (const StoreError& e) {
            Fail(e);
        }
    }
}

void Recorder::BeginOperation(const std::string& name, const std::string& arguments) {
    op_ = OperationRecord{};
    op_.sessionId = sessionId_;
    op_.started = Now();
    op_.name = name;
    op_.arguments = arguments;
    backups_.clear();
    stages_.clear();
    storedId_ = 0;
    savedBytes_ = 0;
    savedBackups_ = 0;
    pending_.reset();
    open_ = true;
}

void Recorder::SaveProgress() {
    Store* store = CurrentStore();
    if (!open_ || !store || sessionId_ == 0 || !streaming_) return;
    // Stored as it would read if the program ended now: failed, unfinished.
    const std::uint16_t result = op_.result;
    op_.result = 0;
    op_.memo.assign(1, kUnfinished);
    op_.memo.insert(op_.memo.end(), stages_.begin(), stages_.end());
    try {
        bool save = true;
        if (storedId_ == 0) {
            storedId_ = store->OpenOperation(op_);
            streaming_ = storedId_ != 0;
            savedBytes_ = streaming_ ? op_.bytes.size() : 0;
            save = streaming_ && savedBackups_ < backups_.size();
        }
        if (save) {
            op_.id = storedId_;
            store->SaveOperation(op_, savedBytes_, backups_, savedBackups_, UsbId(), HeadId(), false);
            savedBytes_ = op_.bytes.size();
            savedBackups_ = backups_.size();
        }
    } catch (const StoreError& e) {
        Fail(e);
    }
    op_.result = result;
    op_.memo.clear();
}

std::int64_t Recorder::EndOperation(bool ok, const std::vector<std::string>& memo) {
    if (!open_) return 0;
    open_ = false;
    if (!ok && op_.result == 1) op_.result = 0;  // stopped without a code (a refused input, a No)
    op_.memo = memo;
    op_.memo.insert(op_.memo.end(), stages_.begin(), stages_.end());
    Store* store = CurrentStore();
    if (!store || sessionId_ == 0) return 0;
    try {
        if (storedId_ != 0) {
            op_.id = storedId_;
            store->SaveOperation(op_, savedBytes_, backups_, savedBackups_, UsbId(), HeadId(), true);
        } else {
            op_.id = store->AddOperation(op_, backups_, UsbId(), HeadId());
        }
        for (BackupRecord& b : backups_) b.operationId = op_.id;
    } catch (const StoreError& e) {
        Fail(e);
        op_.id = 0;
    }
    return op_.id;
}

ByteRecord& Recorder::Append(Access access, std::uint8_t address, std::uint8_t value, std::uint16_t result) {
    ByteRecord& b = op_.bytes.emplace_back();
    b.seq = static_cast<int>(op_.bytes.size() - 1);
    b.access = access;
    b.address = address;
    b.value = value;
    b.result = result;
    return b;
}

void Recorder::NoteRead(std::uint8_t address, std::uint8_t value, std::uint16_t result) {
    if (result == 1) known_[address] = value;
    if (open_) Append(Access::Read, address, value, result);
}

void Recorder::NoteWriting(std::uint8_t address, std::uint8_t value, const char* via) {
    if (!open_) return;
    ByteRecord& b = Append(Access::Write, address, value, kUnconfirmed);
    b.previous = known_[address];
    b.via = via ? via : "eeprom";
    pending_ = op_.bytes.size() - 1;
    SaveProgress();
}

void Recorder::NoteWrite(std::uint8_t address, std::uint8_t value, std::uint16_t result, const char* via) {
    if (open_ && pending_) {
        const std::size_t at = *pending_;
        pending_.reset();
        ByteRecord& b = op_.bytes[at];
        if (b.address == address && b.value == value) {
            // The outcome of the write NoteWriting stored; the store learns it with the next save.
            b.result = result;
            known_[address] = result == 1 ? std::optional<std::uint8_t>(value) : std::nullopt;
            savedBytes_ = std::min(savedBytes_, at);
            return;
        }
    }
    const std::optional<std::uint8_t> previous = known_[address];
    // A write that failed may have reached the printer or not.
    known_[address] = result == 1 ? std::optional<std::uint8_t>(value) : std::nullopt;
    if (!open_) return;
    ByteRecord& b = Append(Access::Write, address, value, result);
    b.previous = previous;
    b.via = via ? via : "eeprom";
}

void Recorder::NoteResult(std::uint16_t code) {
    if (open_ && code != 1 && op_.result == 1) op_.result = code;
}

void Recorder::NoteBackup(const std::string& kind, const BackupBytes& bytes) {
    BackupRecord b;
    b.taken = Now();
    b.printer = PrinterKey(bytes);
    b.kind = kind;
    b.bench = BenchName();
    b.bytes = bytes;
    if (open_) {
        // Stored at once: the file these bytes came from may be replaced or
        // deleted right after.
        backups_.push_back(b);
        SaveProgress();
        return;
    }
    // Outside an operation: a record of its own, so the bytes are kept.
    BeginOperation("backup file", kind);
    backups_.push_back(b);
    EndOperation(true, {});
}

void Recorder::NoteStage(const std::string& stage) {
    if (!open_) return;
    stages_.push_back(stage);
    SaveProgress();
}

namespace {

bool KnownRange(const std::array<std::optional<std::uint8_t>, 256>& known, int first, int size,
                std::vector<std::uint8_t>& out) {
    out.clear();
    for (int a = first; a < first + size; ++a) {
        if (!known[static_cast<std::size_t>(a)]) return false;
        out.push_back(*known[static_cast<std::size_t>(a)]);
    }
    return true;
}

constexpr int kUsbSerial = 0xC2, kUsbSerialSize = 10;
constexpr int kHeadId = 0x82, kHeadIdSize = 21;
// The file offsets of the two identity items in a backup.
constexpr int kBackupHeadId = 50, kBackupUsbSerial = 78;

}  // namespace

std::string Recorder::UsbId() const {
    std::vector<std::uint8_t> serial;
    if (!KnownRange(known_, kUsbSerial, kUsbSerialSize, serial)) return {};
    std::string text;
    for (std::uint8_t c : serial)
        if (c >= 0x21 && c < 0x7F) text.push_back(static_cast<char>(c));
    return text;
}

std::string Recorder::HeadId() const {
    std::vector<std::uint8_t> head;
    if (!KnownRange(known_, kHeadId, kHeadIdSize, head)) return {};
    return ToHex(head.data(), head.size());
}

Recorder& Journal() {
    static Recorder recorder;
    return recorder;
}

std::string PrinterKey(std::span<const std::uint8_t> usbSerial, std::span<const std::uint8_t> headId) {
    std::string serial;
    for (std::uint8_t c : usbSerial)
        if (c >= 0x21 && c < 0x7F) serial.push_back(static_cast<char>(c));
    if (!serial.empty()) return serial;
    return "head " + ToHex(headId.data(), headId.size());
}

std::string PrinterKey(const BackupBytes& bytes) {
    return PrinterKey(std::span<const std::uint8_t>(bytes.data() + kBackupUsbSerial, kUsbSerialSize),
                      std::span<const std::uint8_t>(bytes.data() + kBackupHeadId, kHeadIdSize));
}

// ---- items ----

Item ItemAt(std::uint8_t address) {
    struct Named {
        int first;
        int size;
        const char* name;
    };
    static const Named kItems[] = {
        {0x20, 2, SVC_N("Waste ink pad counter")},
        {0x2E, 2, SVC_N("CL1 count")},
        {0x30, 2, SVC_N("CL2 count")},
        {0x32, 2, SVC_N("CL3/CL4 count")},
        {0x34, 2, SVC_N("Timer CL count")},
        {0x36, 2, SVC_N("Exchange CL count")},
        {0x38, 2, SVC_N("Replace CL count")},
        {0x3A, 1, SVC_N("Initial ink charge count")},
        {0x48, 1, SVC_N("Restore mark")},
        {0x49, 1, SVC_N("Destination flag")},
        {0x5C, 1, SVC_N("PW sensor Right")},
        {0x5D, 1, SVC_N("PW sensor Top")},
        {0x5E, 1, SVC_N("PW sensor Left")},
        {0x5F, 1, SVC_N("PW sensor Bottom")},
        {0x60, 1, SVC_N("VSD1 Black")},
        {0x61, 1, SVC_N("VSD2 Black")},
        {0x62, 1, SVC_N("VSD2' Black")},
        {0x63, 1, SVC_N("VSD4 Black")},
        {0x64, 1, SVC_N("VSD1 Color")},
        {0x65, 1, SVC_N("VSD2 Color")},
        {0x66, 1, SVC_N("VSD2' Color")},
        {0x67, 1, SVC_N("VSD4 Color")},
        {0x68, 1, SVC_N("First dot position")},
        {0x6E, 2, SVC_N("Cut count")},
        {0x77, 1, SVC_N("PF adjustment")},
        {0x78, 4, SVC_N("Total print page count")},
        {0x7C, 4, SVC_N("Total print pass count")},
        {0x82, 21, SVC_N("Head ID")},
        {0x97, 1, SVC_N("Pixel shift A")},
        {0x98, 1, SVC_N("Pixel shift B")},
        {0x99, 1, SVC_N("Pixel shift C")},
        {0x9A, 1, SVC_N("Pixel shift D")},
        {0x9B, 1, SVC_N("Pixel shift E")},
        {0x9C, 1, SVC_N("Pixel shift F")},
        {0xA7, 1, SVC_N("Destination mark")},
        {0xAC, 1, SVC_N("CR motor drive dispersion")},
        {0xC2, 10, SVC_N("USB ID serial number")},
        {0xCC, 8, SVC_N("USB ID time stamp")},
        {0xD4, 5, SVC_N("IEEE1394 ID")},
        {0xE0, 1, SVC_N("Market destination")},
        {0xE2, 24, SVC_N("Model name")},
    };
    for (const Named& n : kItems)
        if (address >= n.first && address < n.first + n.size)
            return {static_cast<std::uint8_t>(n.first), n.size, n.name};
    char name[16];
    std::snprintf(name, sizeof name, "EEPROM 0x%02X", address);
    return {address, 1, name};
}

namespace {

std::string Hex(int a) {
    char b[8];
    std::snprintf(b, sizeof b, "0x%02X", a);
    return b;
}

std::string JoinNames(const std::vector<std::string>& names) {
    std::string out;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) out += i + 1 == names.size() ? Tr(" and ") : ", ";
        out += names[i];
    }
    return out;
}

}  // namespace

std::vector<std::string> DescribeStop(const OperationRecord& op) {
    // Items in the order the operation first wrote them, with the bytes that
    // arrived (result 1) and the one whose arrival is unknown.
    struct Progress {
        Item item;
        std::vector<int> arrived;
        std::optional<int> unsure;
    };
    std::vector<Progress> items;
    for (const ByteRecord& b : op.bytes) {
        if (b.access != Access::Write) continue;
        const Item item = ItemAt(b.address);
        auto it =
            std::find_if(items.begin(), items.end(), [&](const Progress& p) { return p.item.first == item.first; });
        if (it == items.end()) {
            items.push_back({item, {}, {}});
            it = items.end() - 1;
        }
        if (b.result == 1) {
            it->arrived.push_back(b.address);
            if (it->unsure == b.address) it->unsure.reset();  // resent after a busy printer
        } else
            it->unsure = b.address;
    }
    if (items.empty()) return {};

    std::vector<std::string> written, partly, notWritten;
    for (const Progress& p : items) {
        std::vector<int> distinct = p.arrived;
        std::sort(distinct.begin(), distinct.end());
        distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
        const int count = static_cast<int>(distinct.size());
        if (count == 0 && p.unsure) {
            notWritten.push_back(Format(Tr("%1 (%2 may have arrived)"), {Tr(p.item.name), Hex(*p.unsure)}));
        } else if (count >= p.item.size && !p.unsure) {
            written.push_back(Tr(p.item.name));
        } else if (count > 0) {
            std::string range = Hex(distinct.front());
            if (distinct.back() != distinct.front()) range += "-" + Hex(distinct.back());
            const std::string of = Hex(p.item.first) + "-" + Hex(p.item.first + p.item.size - 1);
            partly.push_back(p.unsure ? Format(Tr("%1 was half written (%2 of %3; %4 may have arrived)"),
                                               {Tr(p.item.name), range, of, Hex(*p.unsure)})
                                      : Format(Tr("%1 was half written (%2 of %3)"), {Tr(p.item.name), range, of}));
        }
    }
    std::string line;
    if (!written.empty())
        line = Format(written.size() == 1 ? Tr("%1 was written") : Tr("%1 were written"), {JoinNames(written)});
    for (const std::string& p : partly) line += (line.empty() ? "" : "; ") + p;
    if (!notWritten.empty())
        line += (line.empty() ? "" : "; ") +
                Format(notWritten.size() == 1 ? Tr("%1 was not") : Tr("%1 were not"), {JoinNames(notWritten)});
    else if (!written.empty() && partly.empty())
        line = Format(Tr("%1 before the operation stopped"), {line});
    return {line};
}

UndoPlan PlanUndo(const OperationRecord& op) {
    UndoPlan plan;
    std::map<int, std::size_t> at;  // address -> index in plan.bytes
    for (const ByteRecord& b : op.bytes) {
        if (b.access != Access::Write) continue;
        if (std::find(plan.unknown.begin(), plan.unknown.end(), b.address) != plan.unknown.end()) continue;
        auto found = at.find(b.address);
        if (found == at.end()) {
            if (!b.previous) {
                plan.unknown.push_back(b.address);
                continue;
            }
            at[b.address] = plan.bytes.size();
            UndoByte u{b.address, b.value, *b.previous, b.result == 1, {}};
            u.possible =
                u.certain ? std::vector<std::uint8_t>{b.value} : std::vector<std::uint8_t>{*b.previous, b.value};
            plan.bytes.push_back(u);
        } else {
            UndoByte& u = plan.bytes[found->second];
            u.now = b.value;
            u.certain = b.result == 1;
            // A confirmed write settles what the byte holds; one whose arrival
            // is unknown adds a value it may hold.
            if (u.certain) u.possible.clear();
            u.possible.push_back(b.value);
        }
    }
    for (UndoByte& u : plan.bytes) {
        std::sort(u.possible.begin(), u.possible.end());
        u.possible.erase(std::unique(u.possible.begin(), u.possible.end()), u.possible.end());
    }
    return plan;
}

}  // namespace svc::journal
