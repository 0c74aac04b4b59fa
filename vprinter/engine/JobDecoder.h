// The printer's reading of its input: an incremental parser for the job
// language (control sequences, run-length raster data, text bytes, remote
// mode and factory command packets). It only parses and checks; what the
// printer does with each piece is up to the visitor.
//
// Input may arrive in chunks of any size, a byte at a time included. The
// parser is strict: anything it cannot read with certainty (an unknown
// sequence, a wrong length, a run past the last line of its raster block, a
// factory packet with a bad header or code bytes) stops it with a reason, and
// it reads nothing more until Reset().
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vp {

// Units of ESC ( U, as fractions of an inch: numerator / base.
struct UnitSetting {
    int base = 3600;
    int page = 10;
    int vertical = 10;
    int horizontal = 10;
};

struct RasterResolution {
    int base = 0;  // dots per inch of the base
    int vertical = 0;
    int horizontal = 0;
};

// The header of one raster block (ESC i).
struct RasterHeader {
    std::uint8_t color = 0;        // colour byte as sent
    std::uint8_t compression = 1;  // 0 raw, 1 run-length
    std::uint8_t bitsPerPixel = 2;
    std::uint16_t bytesPerLine = 0;
    std::uint16_t lines = 0;
};

// A factory command packet, checked: its code and the bytes after the code bytes.
struct FactoryPacket {
    std::uint8_t code = 0;
    std::vector<std::uint8_t> params;
};

// A remote-mode command: two letters and its parameter bytes.
struct RemoteCommand {
    char name[3] = {0, 0, 0};
    std::vector<std::uint8_t> params;
};

class JobVisitor {
public:
    virtual ~JobVisitor() = default;
    virtual void OnReset() {}
    virtual void OnGraphicsMode(int /*mode*/) {}
    virtual void OnUnit(const UnitSetting& /*unit*/) {}
    virtual void OnDirection(int /*mode*/) {}
    virtual void OnDotSize(std::uint8_t /*size*/) {}
    virtual void OnColorMode(int /*mode*/) {}
    virtual void OnVerticalMove(int /*amount*/) {}
    virtual void OnHorizontalMove(int /*amount*/) {}
    virtual void OnResolution(const RasterResolution& /*resolution*/) {}
    virtual void OnRasterBegin(const RasterHeader& /*header*/) {}
    // One decompressed raster line of header.bytesPerLine bytes.
    virtual void OnRasterLine(int /*index*/, const std::uint8_t* /*data*/, std::size_t /*n*/) {}
    virtual void OnRasterEnd() {}
    virtual void OnLineReturn() {}  // ESC <
    virtual void OnCarriageReturn() {}
    virtual void OnLineFeed() {}
    virtual void OnFormFeed() {}
    // A printable byte (anything that is not a control byte).
    virtual void OnText(std::uint8_t /*byte*/) {}
    // A run of n printable bytes; returns how many were taken. The default
    // hands them to OnText one by one and stops after the byte that paused
    // the visitor; a visitor whose text cannot pause it may take them all.
    virtual std::size_t OnTextRun(const std::uint8_t* data, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            OnText(data[i]);
            if (Paused()) return i + 1;
        }
        return n;
    }
    virtual void OnRemoteEnter() {}
    virtual void OnRemoteCommand(const RemoteCommand& /*command*/) {}
    virtual void OnRemoteExit() {}
    virtual void OnFactory(const FactoryPacket& /*packet*/) {}
    virtual void OnError(const std::string& /*reason*/) {}
    // Asked after every event: true makes Feed() return at once, so that a
    // printer whose mechanism just became busy stops taking input.
    virtual bool Paused() const { return false; }
};

class JobDecoder {
public:
    JobDecoder();

    // Reads up to n bytes; returns how many were taken. Fewer than n only when
    // the visitor paused or the decoder failed (the failing byte counts as taken).
    std::size_t Feed(const std::uint8_t* data, std::size_t n, JobVisitor& visitor);
    // Tells the decoder that no more input follows (end of a capture or file):
    // a raster block or sequence cut short is an error then.
    void Finish(JobVisitor& visitor);
    // Back to the start of a job, error cleared.
    void Reset();

    bool Failed() const { return failed_; }
    const std::string& Error() const { return error_; }
    bool InRemoteMode() const { return mode_ == Mode::Remote || mode_ == Mode::RemoteCommand; }
    bool InRaster() const { return mode_ == Mode::Raster; }
    // Bytes taken since the last Reset().
    std::uint64_t Offset() const { return offset_; }

    static constexpr std::size_t kMaxFactoryLength = 64;

private:
    enum class Mode { Text, Command, Raster, Remote, RemoteCommand };

    bool Fail(JobVisitor& visitor, std::string reason);
    bool CommandByte(std::uint8_t byte, JobVisitor& visitor);
    bool DispatchCommand(JobVisitor& visitor);
    bool DispatchParenCommand(JobVisitor& visitor);
    bool DispatchFactory(JobVisitor& visitor);
    bool RemoteByte(std::uint8_t byte, JobVisitor& visitor);
    bool DispatchRemote(JobVisitor& visitor);
    bool TextByte(std::uint8_t byte, JobVisitor& visitor);
    std::size_t TextBytes(const std::uint8_t* data, std::size_t n, JobVisitor& visitor, bool& paused);
    std::size_t RasterBytes(const std::uint8_t* data, std::size_t n, JobVisitor& visitor);
    bool BeginRaster(const RasterHeader& header, JobVisitor& visitor);
    bool StoreRasterBytes(std::uint8_t value, std::size_t count, const std::uint8_t* literal, JobVisitor& visitor);

    Mode mode_ = Mode::Text;
    std::vector<std::uint8_t> pending_;  // bytes of the sequence being read
    std::size_t need_ = 0;               // its full length, once known (0: not yet)

    // Raster block in progress.
    RasterHeader raster_;
    std::vector<std::uint8_t> line_;
    std::size_t lineFill_ = 0;
    int lineIndex_ = 0;
    int runCounter_ = -1;  // counter byte of the run unit being read, -1 none
    int literalLeft_ = 0;  // literal bytes still to come

    bool failed_ = false;
    std::string error_;
    std::uint64_t offset_ = 0;
};

// The name of a colour byte of the raster header ("black", "light cyan"...),
// or nullptr for a byte that names no ink.
const char* ColorName(std::uint8_t colorByte);

}  // namespace vp
