// The printer's USB ID in EEPROM 0xC2-0xD3: the 10-character serial number
// typed by the technician and an 8-character time stamp from the PC's local
// date and time. The check-pattern print reads it with Read().
#pragma once

#include "link/FeatureFrame.h"

#include <functional>
#include <string>
#include <string_view>

namespace svc {

// The PC's local date and time, as the USB ID time stamp needs it.
struct LocalDateTime {
    int year = 0;   // four digits
    int month = 0;  // 1-12
    int day = 0;    // 1-31
    int hour = 0;
    int minute = 0;
    int second = 0;
};
using LocalClock = std::function<LocalDateTime()>;
// The PC's clock.
LocalDateTime SystemLocalTime();

// UsbIdErrorDetail for a PC clock whose year has no time stamp code: the
// USB ID is then not written (the window says why itself).
inline constexpr std::int16_t kUsbIdClockYearDetail = 3;

class TPUsbId {
public:
    static constexpr int kSerialLength = 10;
    static constexpr int kIdLength = 18;

    // Checks the serial number and the clock's year, then writes the serial
    // number and the time stamp; `stamp` receives the 8 characters written.
    // Refusals (0x8000 with UsbIdErrorDetail 1, 2 or kUsbIdClockYearDetail)
    // write nothing.
    Result Write(std::string_view serial, std::string& stamp);
    // Reads the 18 characters, testing each at once: anything but a digit or
    // a capital letter ends the read with 0x8000, detail 16.
    Result Read(std::string& id);

    // The 8-character stamp for a moment, or empty when its year has no code.
    static std::string TimeStamp(const LocalDateTime& t);

    void USBIDInputOKBtnClick(FeatureFrame& frame);
    void USBIDReadOutBtnClick(FeatureFrame& frame);

    // Tests script the clock; an empty clock is the PC's own.
    void SetClock(LocalClock clock) { clock_ = std::move(clock); }

private:
    LocalClock clock_;
};

TPUsbId& UsbId();

}  // namespace svc
