#include "eeprom/VexUsbId.h"

#include "eeprom/FeatureStart.h"
#include "eeprom/VexEeprom.h"
#include "link/ErrorDetails.h"

#include <ctime>

namespace svc {
namespace {

constexpr std::int16_t kDetailLength = 1;
constexpr std::int16_t kDetailCharacter = 2;
constexpr std::int16_t kDetailStoredId = 16;

constexpr int kFirstYear = 1999;
constexpr int kLastYear = 2034;

bool DigitOrCapital(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z'); }

// 0-9 as digits, 10 onward as letters from "A".
char Code36(int value) { return value < 10 ? static_cast<char>('0' + value) : static_cast<char>('A' + value - 10); }

Result Refuse(std::int16_t detail) {
    UsbIdErrorDetail = detail;
    return rc::UsbId;
}

}  // namespace

LocalDateTime SystemLocalTime() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::string TPUsbId::TimeStamp(const LocalDateTime& t) {
    if (t.year < kFirstYear || t.year > kLastYear) return {};
    std::string s;
    if (t.year == 1999)
        s.push_back('9');
    else if (t.year <= 2008)
        s.push_back(static_cast<char>('0' + t.year - 2000));
    else
        s.push_back(static_cast<char>('A' + t.year - 2009));
    s.push_back(Code36(t.month));
    s.push_back(Code36(t.day));
    s.push_back(Code36(t.hour));
    s.push_back(Code36(t.minute % 30));
    s.push_back(Code36(t.second % 30));
    // The half-minute flags keep what the reduction mod 30 dropped.
    s.push_back(static_cast<char>('0' + (t.minute >= 30 ? 2 : 0) + (t.second >= 30 ? 1 : 0)));
    s.push_back('0');
    return s;
}

Result TPUsbId::Write(std::string_view serial, std::string& stamp) {
    stamp.clear();
    if (serial.size() != kSerialLength) return Refuse(kDetailLength);
    for (char c : serial)
        if (!DigitOrCapital(c)) return Refuse(kDetailCharacter);
    // The clock is read once, before the first byte: a year without a code
    // would leave a stamp that Read refuses, so nothing is written then.
    const std::string newStamp = TimeStamp(clock_ ? clock_() : SystemLocalTime());
    if (newStamp.empty()) return Refuse(kUsbIdClockYearDetail);
    if (const Result r = EepromWriteAscii(eep::UsbSerial, serial); r != rc::Ok) return r;
    if (const Result r = EepromWriteAscii(eep::UsbTimeStamp, newStamp); r != rc::Ok) return r;
    stamp = newStamp;
    return rc::Ok;
}

Result TPUsbId::Read(std::string& id) {
    id.clear();
    for (int i = 0; i < kIdLength; ++i) {
        std::uint8_t c = 0;
        if (const Result r = EepromRead(static_cast<eep::Address>(eep::UsbId + i), c); r != rc::Ok) return r;
        if (!DigitOrCapital(static_cast<char>(c))) return Refuse(kDetailStoredId);
        id.push_back(static_cast<char>(c));
    }
    return rc::Ok;
}

void TPUsbId::USBIDInputOKBtnClick(FeatureFrame& frame) {
    if (!eepfeature::BeginStrict(frame, "Writing now...")) return;
    const std::string serial = frame.Text("USBIDInputEdit");
    std::string stamp;
    Result r = Write(serial, stamp);
    if (r == rc::UsbId && UsbIdErrorDetail == kUsbIdClockYearDetail) {
        frame.SetOperationState(mode::Error, "The year of the PC's clock is outside 1999 to 2034.");
        frame.SetOperationState(mode::Line, "The USB ID has not been written. Set the PC's date and time.");
        return;
    }
    if (r == rc::Ok) r = frame.SetOperationState(mode::Done, "The USB ID has been written in EEPROM properly.");
    if (r != rc::Ok) {
        frame.ReportErrorCode(r);
        return;
    }
    frame.SetAdjustedCell("UsbIDPnl", serial + stamp);
}

void TPUsbId::USBIDReadOutBtnClick(FeatureFrame& frame) {
    if (!eepfeature::BeginStrict(frame, "Reading now...")) return;
    std::string id;
    Result r = Read(id);
    if (r == rc::Ok) r = frame.SetOperationState(mode::Done, "USB ID = ");
    if (r != rc::Ok) {
        frame.ReportErrorCode(r);
        return;
    }
    frame.SetOperationState(mode::Append, id);
}

TPUsbId& UsbId() {
    static TPUsbId usbId;
    return usbId;
}

}  // namespace svc
