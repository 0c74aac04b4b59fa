#include "vprinter/engine/JobDecoder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace vp {

namespace {

constexpr std::uint8_t kEsc = 0x1B;

std::string Hex(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value & 0xFFu);
    return text;
}

int Word(const std::vector<std::uint8_t>& bytes, std::size_t at) { return bytes[at] | (bytes[at + 1] << 8); }

int SignedWord(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(Word(bytes, at)));
}

// Parameter lengths that each ESC ( letter may carry.
bool ParenLengthAllowed(std::uint8_t letter, int length) {
    switch (letter) {
        case 'G':
            return length == 1;
        case 'U':
            return length == 1 || length == 5;
        case 'e':
        case 'K':
        case 'v':
            return length == 2;
        case 'D':
            return length == 4;
        case 'R':
            return length == 8;
        default:
            return false;
    }
}

// Whole packet length of each factory command, 0 for a code the printer does not know.
std::size_t FactoryLength(std::uint8_t code) {
    switch (code) {
        case 0x00:
            return 14;  // Bi-D value
        case 0x04:
            return 11;  // temporary PF value
        case 0x50:
            return 10;  // apply settings
        case 0x81:
            return 10;  // carriage home
        case 0x82:
            return 27;  // transport-liquid exchange
        case 0x84:
            return 11;  // cleaning
        case 0xC4:
            return 14;  // carriage move
        case 0xC5:
            return 14;  // carriage lock release / drive
        case 0xCF:
            return 14;  // CR drive measurement
        case 0xD1:
            return 11;  // sensor mode
        case 0xF1:
            return 16;  // sensor settings
        case 0xF2:
            return 11;  // sensor side
        default:
            return 0;
    }
}

std::uint8_t RotateRight(std::uint8_t value) { return static_cast<std::uint8_t>((value >> 1) | ((value & 1u) << 7)); }

// Parameter length of each remote command, -1 for an unknown command.
int RemoteLength(const char* name) {
    if (std::strcmp(name, "NC") == 0) return 2;
    if (std::strcmp(name, "SN") == 0) return 46;
    if (std::strcmp(name, "DD") == 0) return 5;
    if (std::strcmp(name, "SV") == 0) return 0;
    return -1;
}

// The index of the first non-zero byte of data[from, n), or n; eight bytes
// at a time.
std::size_t SkipZeros(const std::uint8_t* data, std::size_t from, std::size_t n) {
    std::size_t j = from;
    for (; j + 8 <= n; j += 8) {
        std::uint64_t word;
        std::memcpy(&word, data + j, sizeof word);
        if (word != 0) break;
    }
    while (j < n && data[j] == 0x00) ++j;
    return j;
}

// Printable bytes: everything from the blank up but DEL.
bool IsPrintable(std::uint8_t byte) { return byte >= 0x20 && byte != 0x7F; }

std::string Printable(std::uint8_t a, std::uint8_t b) {
    std::string text;
    for (std::uint8_t c : {a, b}) text += (c >= 0x20 && c < 0x7F) ? std::string(1, static_cast<char>(c)) : Hex(c);
    return text;
}

}  // namespace

const char* ColorName(std::uint8_t colorByte) {
    switch (colorByte) {
        case 0x00:
            return "black";
        case 0x01:
            return "magenta";
        case 0x02:
            return "cyan";
        case 0x04:
            return "yellow";
        case 0x10:
            return "gray";
        case 0x11:
            return "light magenta";
        case 0x12:
            return "light cyan";
        default:
            return nullptr;
    }
}

JobDecoder::JobDecoder() { pending_.reserve(kMaxFactoryLength + 8); }

void JobDecoder::Reset() {
    mode_ = Mode::Text;
    pending_.clear();
    need_ = 0;
    line_.clear();
    lineFill_ = 0;
    lineIndex_ = 0;
    runCounter_ = -1;
    literalLeft_ = 0;
    failed_ = false;
    error_.clear();
    offset_ = 0;
}

bool JobDecoder::Fail(JobVisitor& visitor, std::string reason) {
    failed_ = true;
    error_ = "byte " + std::to_string(offset_ > 0 ? offset_ - 1 : 0) + ": " + std::move(reason);
    visitor.OnError(error_);
    return false;
}

std::size_t JobDecoder::Feed(const std::uint8_t* data, std::size_t n, JobVisitor& visitor) {
    std::size_t taken = 0;
    while (taken < n && !failed_) {
        if (mode_ == Mode::Text) {
            bool paused = false;
            taken += TextBytes(data + taken, n - taken, visitor, paused);
            if (paused) break;
            continue;
        }
        if (mode_ == Mode::Raster) {
            taken += RasterBytes(data + taken, n - taken, visitor);
        } else {
            const std::uint8_t byte = data[taken++];
            ++offset_;
            if (mode_ == Mode::Command)
                CommandByte(byte, visitor);
            else
                RemoteByte(byte, visitor);
        }
        if (visitor.Paused()) break;
    }
    return taken;
}

// Text mode, a run at a time: NUL bytes are skipped and printable bytes go
// to the visitor together; every other byte goes through TextByte. Returns
// on leaving text mode, on a failure or when the visitor pauses (paused set),
// having taken exactly the bytes a byte-by-byte reading with a pause check
// after each would have taken.
std::size_t JobDecoder::TextBytes(const std::uint8_t* data, std::size_t n, JobVisitor& visitor, bool& paused) {
    std::size_t i = 0;
    while (i < n) {
        const std::uint8_t byte = data[i];
        if (byte == 0x00) {
            // Label terminators and padding print nothing and cannot change
            // whether the visitor is paused: a paused visitor takes one.
            if (visitor.Paused()) {
                ++offset_;
                paused = true;
                return i + 1;
            }
            const std::size_t j = SkipZeros(data, i + 1, n);
            offset_ += j - i;
            i = j;
        } else if (IsPrintable(byte)) {
            std::size_t j = i + 1;
            while (j < n && IsPrintable(data[j])) ++j;
            const std::size_t run = j - i;
            // Fewer than the run taken: the visitor paused on the last one.
            const std::size_t k = std::min(visitor.OnTextRun(data + i, run), run);
            offset_ += k;
            i += k;
            if (k < run || visitor.Paused()) {
                paused = true;
                return i;
            }
        } else {
            ++offset_;
            ++i;
            TextByte(byte, visitor);
            if (failed_) return i;
            if (visitor.Paused()) {
                paused = true;
                return i;
            }
            if (mode_ != Mode::Text) return i;
        }
    }
    return i;
}

void JobDecoder::Finish(JobVisitor& visitor) {
    if (failed_) return;
    switch (mode_) {
        case Mode::Raster:
            Fail(visitor, "the data ends after " + std::to_string(lineIndex_) + " of the " +
                              std::to_string(raster_.lines) + " lines of a raster block");
            break;
        case Mode::Command:
        case Mode::RemoteCommand:
            Fail(visitor, "the data ends inside a sequence of " + std::to_string(pending_.size()) + " bytes");
            break;
        case Mode::Remote:
            Fail(visitor, "the data ends in remote mode, without its exit sequence");
            break;
        case Mode::Text:
            break;
    }
}

bool JobDecoder::TextByte(std::uint8_t byte, JobVisitor& visitor) {
    switch (byte) {
        case kEsc:
            mode_ = Mode::Command;
            pending_.assign(1, kEsc);
            need_ = 0;
            return true;
        case 0x0D:
            visitor.OnCarriageReturn();
            return true;
        case 0x0A:
            visitor.OnLineFeed();
            return true;
        case 0x0C:
            visitor.OnFormFeed();
            return true;
        case 0x00:
            return true;  // the terminator of a label: prints nothing
        default:
            break;
    }
    if (byte < 0x20 || byte == 0x7F) return Fail(visitor, "control byte " + Hex(byte) + " in text");
    visitor.OnText(byte);
    return true;
}

bool JobDecoder::CommandByte(std::uint8_t byte, JobVisitor& visitor) {
    pending_.push_back(byte);
    const std::size_t size = pending_.size();
    const std::uint8_t kind = pending_[1];
    if (size == 2) {
        switch (kind) {
            case '@':
            case '<':
                need_ = 2;
                break;
            case 'U':
                need_ = 3;
                break;
            case '\\':
                need_ = 4;
                break;
            case 'i':
                need_ = 9;
                break;
            case '(':
            case '|':
                break;
            default:
                return Fail(visitor, "unknown sequence ESC " + Hex(kind));
        }
    } else if (kind == '(' && size == 3) {
        if (std::strchr("GUeKvDR", byte) == nullptr || byte == 0)
            return Fail(visitor, "unknown sequence ESC ( " + Hex(byte));
    } else if (kind == '(' && size == 5) {
        const int length = Word(pending_, 3);
        if (!ParenLengthAllowed(pending_[2], length))
            return Fail(visitor, std::string("ESC ( ") + static_cast<char>(pending_[2]) +
                                     " with a parameter length of " + std::to_string(length));
        need_ = 5 + static_cast<std::size_t>(length);
    } else if (kind == '|' && size == 3) {
        if (byte != 0x00) return Fail(visitor, "factory packet header: byte 2 is " + Hex(byte) + ", not 0x00");
    } else if (kind == '|' && size == 5) {
        const std::size_t length = static_cast<std::size_t>(Word(pending_, 3));
        if (length < 5 || length + 5 > kMaxFactoryLength)
            return Fail(visitor, "factory packet header: length " + std::to_string(length) + " is impossible");
        need_ = 5 + length;
    }
    if (need_ != 0 && size == need_) {
        mode_ = Mode::Text;
        return DispatchCommand(visitor);
    }
    return true;
}

bool JobDecoder::DispatchCommand(JobVisitor& visitor) {
    const std::vector<std::uint8_t>& p = pending_;
    switch (p[1]) {
        case '@':
            visitor.OnReset();
            return true;
        case '<':
            visitor.OnLineReturn();
            return true;
        case 'U':
            if (p[2] > 3) return Fail(visitor, "ESC U with the unknown direction " + std::to_string(p[2]));
            visitor.OnDirection(p[2]);
            return true;
        case '\\':
            visitor.OnHorizontalMove(SignedWord(p, 2));
            return true;
        case 'i': {
            RasterHeader header;
            header.color = p[2];
            header.compression = p[3];
            header.bitsPerPixel = p[4];
            header.bytesPerLine = static_cast<std::uint16_t>(Word(p, 5));
            header.lines = static_cast<std::uint16_t>(Word(p, 7));
            return BeginRaster(header, visitor);
        }
        case '(':
            return DispatchParenCommand(visitor);
        default:
            return DispatchFactory(visitor);
    }
}

bool JobDecoder::DispatchParenCommand(JobVisitor& visitor) {
    const std::vector<std::uint8_t>& p = pending_;
    const std::size_t length = p.size() - 5;
    switch (p[2]) {
        case 'G':
            if (p[5] > 1) return Fail(visitor, "ESC ( G with the unknown mode " + std::to_string(p[5]));
            visitor.OnGraphicsMode(p[5]);
            return true;
        case 'U': {
            UnitSetting unit;
            if (length == 1) {
                unit.page = unit.vertical = unit.horizontal = p[5];
            } else {
                unit.page = p[5];
                unit.vertical = p[6];
                unit.horizontal = p[7];
                unit.base = Word(p, 8);
            }
            if (unit.page == 0 || unit.vertical == 0 || unit.horizontal == 0 || unit.base == 0)
                return Fail(visitor, "ESC ( U with a unit of zero");
            visitor.OnUnit(unit);
            return true;
        }
        case 'e':
            if (p[5] != 0 || (p[6] != 0x00 && (p[6] < 0x10 || p[6] > 0x13)))
                return Fail(visitor, "ESC ( e with the unknown dot size " + Hex(p[5]) + " " + Hex(p[6]));
            visitor.OnDotSize(p[6]);
            return true;
        case 'K':
            if (p[5] != 0 || p[6] > 2)
                return Fail(visitor, "ESC ( K with the unknown colour mode " + Hex(p[5]) + " " + Hex(p[6]));
            visitor.OnColorMode(p[6]);
            return true;
        case 'v': {
            const int amount = SignedWord(p, 5);
            if (amount < 0) return Fail(visitor, "ESC ( v asks to move the paper back by " + std::to_string(-amount));
            visitor.OnVerticalMove(amount);
            return true;
        }
        case 'D': {
            RasterResolution resolution{Word(p, 5), p[7], p[8]};
            if (resolution.base == 0 || resolution.vertical == 0 || resolution.horizontal == 0)
                return Fail(visitor, "ESC ( D with a resolution of zero");
            visitor.OnResolution(resolution);
            return true;
        }
        default: {  // 'R': enter remote mode
            static const char kRemote[] = "REMOTE1";
            if (p[5] != 0 || std::memcmp(&p[6], kRemote, 7) != 0)
                return Fail(visitor, "ESC ( R without the remote-mode signature");
            mode_ = Mode::Remote;
            visitor.OnRemoteEnter();
            return true;
        }
    }
}

bool JobDecoder::DispatchFactory(JobVisitor& visitor) {
    const std::vector<std::uint8_t>& p = pending_;
    if (p[5] != 0x06 || p[6] != 0x16)
        return Fail(visitor, "factory packet header: bytes 5-6 are " + Hex(p[5]) + " " + Hex(p[6]) + ", not 0x06 0x16");
    const std::uint8_t code = p[7];
    if (p[8] != static_cast<std::uint8_t>(code ^ 0xFF))
        return Fail(visitor, "factory command " + Hex(code) + ": complement byte " + Hex(p[8]) + " should be " +
                                 Hex(code ^ 0xFF));
    if (p[9] != RotateRight(code))
        return Fail(visitor, "factory command " + Hex(code) + ": rotated code byte " + Hex(p[9]) + " should be " +
                                 Hex(RotateRight(code)));
    const std::size_t expected = FactoryLength(code);
    if (expected == 0) return Fail(visitor, "unknown factory command " + Hex(code));
    if (expected != p.size())
        return Fail(visitor, "factory command " + Hex(code) + " of " + std::to_string(p.size()) + " bytes, expected " +
                                 std::to_string(expected));
    FactoryPacket packet;
    packet.code = code;
    packet.params.assign(p.begin() + 10, p.end());
    visitor.OnFactory(packet);
    return true;
}

bool JobDecoder::RemoteByte(std::uint8_t byte, JobVisitor& visitor) {
    if (mode_ == Mode::Remote) {
        mode_ = Mode::RemoteCommand;
        pending_.clear();
        need_ = 0;
    }
    pending_.push_back(byte);
    if (pending_.size() == 4) {
        const std::size_t length = static_cast<std::size_t>(Word(pending_, 2));
        if (pending_[0] == kEsc && pending_[1] == 0x00) {
            if (length != 0)
                return Fail(visitor, "remote-mode exit sequence with a length of " + std::to_string(length));
            mode_ = Mode::Text;
            visitor.OnRemoteExit();
            return true;
        }
        const char name[3] = {static_cast<char>(pending_[0]), static_cast<char>(pending_[1]), 0};
        const int expected = RemoteLength(name);
        if (expected < 0) return Fail(visitor, "unknown remote command " + Printable(pending_[0], pending_[1]));
        if (static_cast<std::size_t>(expected) != length)
            return Fail(visitor, std::string("remote command ") + name + " with a parameter length of " +
                                     std::to_string(length) + ", expected " + std::to_string(expected));
        need_ = 4 + length;
    }
    if (need_ != 0 && pending_.size() == need_) {
        mode_ = Mode::Remote;
        return DispatchRemote(visitor);
    }
    return true;
}

bool JobDecoder::DispatchRemote(JobVisitor& visitor) {
    RemoteCommand command;
    command.name[0] = static_cast<char>(pending_[0]);
    command.name[1] = static_cast<char>(pending_[1]);
    command.params.assign(pending_.begin() + 4, pending_.end());
    const std::vector<std::uint8_t>& p = command.params;
    const std::string name = command.name;
    if (name == "NC" && (p[0] != 0 || p[1] != 0)) return Fail(visitor, "remote command NC with unknown parameters");
    if (name == "DD" && (p[0] != 0x00 || p[1] != 0x10 || p[2] != 0x00 || p[4] != 0x02))
        return Fail(visitor, "remote command DD with unknown parameters");
    if (name == "SN") {
        if (p[0] != 0x00 || p[1] != 0x04) return Fail(visitor, "remote command SN with an unknown block kind");
        unsigned sum = 0;
        for (std::size_t i = 2; i < 44; ++i) sum += p[i];
        const unsigned sent = static_cast<unsigned>(Word(p, 44));
        if ((sum & 0xFFFFu) != sent)
            return Fail(visitor, "remote command SN: checksum " + std::to_string(sent) + " does not match the block (" +
                                     std::to_string(sum & 0xFFFFu) + ")");
    }
    visitor.OnRemoteCommand(command);
    return true;
}

bool JobDecoder::BeginRaster(const RasterHeader& header, JobVisitor& visitor) {
    if (ColorName(header.color) == nullptr)
        return Fail(visitor, "raster block with the unknown colour " + Hex(header.color));
    if (header.compression > 1)
        return Fail(visitor, "raster block with the unknown compression " + std::to_string(header.compression));
    if (header.bitsPerPixel != 1 && header.bitsPerPixel != 2)
        return Fail(visitor, "raster block with " + std::to_string(header.bitsPerPixel) + " bits per pixel");
    if (header.bytesPerLine == 0 || header.lines == 0) return Fail(visitor, "raster block without any data");
    raster_ = header;
    line_.assign(header.bytesPerLine, 0);
    lineFill_ = 0;
    lineIndex_ = 0;
    runCounter_ = -1;
    literalLeft_ = 0;
    mode_ = Mode::Raster;
    visitor.OnRasterBegin(header);
    return true;
}

// Puts count bytes into the current line (a repeated value, or literal bytes
// when literal is given) and hands on the line once it is full.
bool JobDecoder::StoreRasterBytes(std::uint8_t value, std::size_t count, const std::uint8_t* literal,
                                  JobVisitor& visitor) {
    if (literal != nullptr)
        std::memcpy(line_.data() + lineFill_, literal, count);
    else
        std::memset(line_.data() + lineFill_, value, count);
    lineFill_ += count;
    if (lineFill_ < line_.size()) return true;
    visitor.OnRasterLine(lineIndex_, line_.data(), line_.size());
    lineFill_ = 0;
    if (++lineIndex_ == raster_.lines) {
        mode_ = Mode::Text;
        visitor.OnRasterEnd();
    }
    return true;
}

std::size_t JobDecoder::RasterBytes(const std::uint8_t* data, std::size_t n, JobVisitor& visitor) {
    std::size_t i = 0;
    const std::size_t lineSize = line_.size();
    while (i < n && mode_ == Mode::Raster && !failed_) {
        const int lineBefore = lineIndex_;
        if (raster_.compression == 0) {
            const std::size_t k = std::min(n - i, lineSize - lineFill_);
            offset_ += k;
            StoreRasterBytes(0, k, data + i, visitor);
            i += k;
        } else if (literalLeft_ > 0) {
            const std::size_t k = std::min(n - i, static_cast<std::size_t>(literalLeft_));
            offset_ += k;
            literalLeft_ -= static_cast<int>(k);
            StoreRasterBytes(0, k, data + i, visitor);
            i += k;
        } else {
            const std::uint8_t byte = data[i++];
            ++offset_;
            if (runCounter_ < 0 && byte < 0x80) {
                literalLeft_ = byte + 1;
                if (static_cast<std::size_t>(literalLeft_) > lineSize - lineFill_) {
                    Fail(visitor, "raster line " + std::to_string(lineIndex_) + ": a literal run of " +
                                      std::to_string(literalLeft_) + " bytes at byte " + std::to_string(lineFill_) +
                                      " overshoots its " + std::to_string(lineSize) + "-byte line");
                    return i;
                }
            } else if (runCounter_ < 0) {
                runCounter_ = byte;
            } else {
                std::size_t count = static_cast<std::size_t>(257 - runCounter_);
                runCounter_ = -1;
                // A repeated value may go on into the next lines of the block
                // (one run draws the first dot pattern's 96 one-byte lines),
                // but not past the block's last line.
                const std::size_t left = static_cast<std::size_t>(raster_.lines - lineIndex_) * lineSize - lineFill_;
                if (count > left) {
                    Fail(visitor, "raster line " + std::to_string(lineIndex_) + ": a run of " + std::to_string(count) +
                                      " bytes at byte " + std::to_string(lineFill_) + " overshoots the block's last " +
                                      std::to_string(lineSize) + "-byte line");
                    return i;
                }
                while (count > 0) {
                    const std::size_t k = std::min(count, lineSize - lineFill_);
                    StoreRasterBytes(byte, k, nullptr, visitor);
                    count -= k;
                }
            }
        }
        if (lineIndex_ != lineBefore && visitor.Paused()) break;
    }
    return i;
}

}  // namespace vp
