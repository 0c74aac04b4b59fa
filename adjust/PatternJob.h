// A pattern being composed on the job stream: each step is one command
// primitive or text append, and the first result other than 1 stops every
// later step, so a generator reads as the list of its steps and still ends
// at the first failure with that failure's code.
#pragma once

#include "link/VexRaster.h"

#include <cstdint>
#include <string_view>

namespace svc::pattern {

class Job {
public:
    explicit Job(TPRaster& stream) : s_(stream) {}

    bool Ok() const { return r_ == rc::Ok; }
    Result Code() const { return r_; }
    TPRaster& Stream() { return s_; }
    // Takes the result of a step done outside the helper. The step has run
    // already when this is called: guard it with Ok() when it must not.
    Job& Step(Result r) {
        if (Ok()) r_ = r;
        return *this;
    }

    Job& Header(std::uint8_t unit, std::uint8_t direction, std::uint8_t dotKind, std::uint8_t colourMode) {
        if (Ok()) r_ = SendJobHeader(s_, unit, direction, dotKind, colourMode);
        return *this;
    }
    Job& Resolution(std::uint8_t rL, std::uint8_t rH, std::uint8_t v, std::uint8_t h) {
        if (Ok()) r_ = SendRasterResolution(s_, rL, rH, v, h);
        return *this;
    }
    // ESC i with compression 1.
    Job& Block(std::uint8_t colour, std::uint8_t bitsPerPixel, std::uint16_t bytesPerLine, std::uint16_t lines) {
        if (Ok()) r_ = SendRasterHeader(s_, colour, 1, bitsPerPixel, bytesPerLine, lines);
        return *this;
    }
    Job& Run(int count, std::uint8_t value) {
        if (Ok()) r_ = RepeatSend(s_, count, value);
        return *this;
    }
    Job& LongRun(std::int32_t count, std::uint8_t value) {
        if (Ok()) r_ = RepeatSendLong(s_, count, value);
        return *this;
    }
    // n times: one tick byte, nine empty bytes.
    Job& Ticks(int n, std::uint8_t tick) {
        for (int i = 0; i < n && Ok(); ++i) {
            r_ = RepeatSend(s_, 1, tick);
            if (Ok()) r_ = RepeatSend(s_, 9, 0x00);
        }
        return *this;
    }
    Job& Unit(std::uint8_t unit) {
        if (Ok()) r_ = SendUnit(s_, unit);
        return *this;
    }
    Job& UnitExtended() {
        if (Ok()) r_ = SendUnitExtended(s_);
        return *this;
    }
    Job& Direction(std::uint8_t mode) {
        if (Ok()) r_ = SendDirection(s_, mode);
        return *this;
    }
    Job& LineReturn() {
        if (Ok()) r_ = SendLineReturn(s_);
        return *this;
    }
    Job& VMove(std::int32_t amount) {
        if (Ok()) r_ = SendVerticalMove(s_, amount);
        return *this;
    }
    Job& HMove(std::int32_t amount) {
        if (Ok()) r_ = SendHorizontalMove(s_, amount);
        return *this;
    }
    Job& LineFeeds(std::int32_t n) {
        if (Ok()) r_ = SendLineFeeds(s_, n);
        return *this;
    }
    Job& Initialize() {
        if (Ok()) r_ = SendInitialize(s_);
        return *this;
    }
    Job& Flush() {
        if (Ok()) r_ = s_.Flush();
        return *this;
    }
    Job& EndOfJob() {
        if (Ok()) r_ = SendEndOfJob(s_);
        return *this;
    }
    // The bytes exactly as given (a zero byte inside the view goes too).
    Job& Bytes(std::string_view bytes) {
        if (Ok() && !bytes.empty())
            r_ = s_.Append(reinterpret_cast<const std::uint8_t*>(bytes.data()), static_cast<int>(bytes.size()));
        return *this;
    }
    // A printed label: its characters, then one zero byte.
    Job& Label(std::string_view text) {
        Bytes(text);
        return Byte(0x00);
    }
    Job& Byte(std::uint8_t b) {
        if (Ok()) r_ = s_.Append(&b, 1);
        return *this;
    }

private:
    TPRaster& s_;
    Result r_ = rc::Ok;
};

}  // namespace svc::pattern
