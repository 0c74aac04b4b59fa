#include "vprinter/Eeprom.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace vp {

namespace {

constexpr std::uint8_t kBlockStarts[] = {0x00, 0x40, 0x80, 0xC0};

// Code of a head ID body character (positions 10-22), or 0 when the
// character is not in the set.
int HeadIdCharCode(char c) {
    static const char kSet[] = "ABCDEFGHJKLMNPQRSTUVWXYZ0123456789%*+-$:";
    const char* p = std::strchr(kSet, c);
    return (c != '\0' && p != nullptr) ? 32 + static_cast<int>(p - kSet) : 0;
}

// The character that stands for a check value of 1-37.
char CheckChar(int value) {
    static const char kSet[] = "ABCDEFGHJKLMNPQRSTUVWXYZ0123456789%*+";
    return (value >= 1 && value <= 37) ? kSet[value - 1] : '\0';
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

struct FactoryData {
    const char* headId;
    const char* usbId;
    std::uint8_t ieee1394[5];
    std::uint8_t destinationCode;
    std::uint16_t wasteInk;
    std::uint32_t pages;
    std::uint32_t passes;
    std::uint16_t cuts;
    std::uint8_t pfEs3, pfEs5;
};

// Two believable printers that have been through final inspection.
const FactoryData kFactory[2] = {
    {"13A7F12B4KR7M2PX9A4CHT11Y",
     "4100A1234536EAPA10",
     {0x00, 0x00, 0x0A, 0x12, 0x34},
     0x00,
     1830,
     214,
     61450,
     0,
     0x7C,
     0x81},
    {"20B9C4D2ANV3S8EW6F5G1L01U",
     "4200B6789037JBCK20",
     {0x00, 0x00, 0x0C, 0x5E, 0xA1},
     0x02,
     2415,
     388,
     97012,
     57,
     0x79,
     0x84},
};

constexpr const char kModelNameString4200[] = "KORVA,Corvid Lumen 4200";

void SetSignatures(Eeprom& e) {
    for (std::uint8_t start : kBlockStarts) {
        e.Set(start, 0x5A);
        e.Set(static_cast<std::uint8_t>(start + 1), 0x0F);
    }
}

void SetSigned(Eeprom& e, std::uint8_t address, std::initializer_list<int> values) {
    for (int v : values) e.Set(address++, static_cast<std::uint8_t>(v));
}

}  // namespace

bool PackHeadId(const std::string& t, std::array<std::uint8_t, 21>& out) {
    if (t.size() != 25) return false;
    const int d1 = t[0] - '0';
    const int d23 = t[22] - '0';
    if (d1 < 0 || d1 > 3 || d23 < 0 || d23 > 2 || t[23] != '1') return false;
    int b[4];
    for (int k = 0; k < 4; ++k) {
        const int hi = HexDigit(t[1 + 2 * k]), lo = HexDigit(t[2 + 2 * k]);
        if (hi < 0 || lo < 0 || hi * 16 + lo > 0xBF) return false;
        b[k] = hi * 16 + lo;
    }
    int c[13];
    for (int k = 0; k < 13; ++k) {
        c[k] = HeadIdCharCode(t[9 + k]);
        if (c[k] == 0) return false;
    }
    int sum = d1 + d23 * 19 + 20;
    for (int k = 0; k < 4; ++k) sum += b[k] * (2 + k);
    for (int k = 0; k < 13; ++k) sum += c[k] * (6 + k);
    if (t[24] != CheckChar(37 - sum % 37)) return false;

    const auto u8 = [](int v) { return static_cast<std::uint8_t>(v); };
    const int p1 = 94 - (c[0] + c[1] + c[2] + c[3] + c[4] + c[5]);
    const int p2 = 94 - (c[7] + c[8] + c[9] + c[10] + c[11] + c[12]);
    // The seventh body character (position 16) is kept after the last one.
    out = {u8(b[0]), u8(b[1]),  u8(b[2]),  u8(b[3]),  u8(p1),   u8(c[0]), u8(c[1]),
           u8(c[2]), u8(c[3]),  u8(c[4]),  u8(c[5]),  u8(p2),   u8(c[7]), u8(c[8]),
           u8(c[9]), u8(c[10]), u8(c[11]), u8(c[12]), u8(c[6]), u8(d23),  u8(d1)};
    return true;
}

std::uint16_t Eeprom::Get16(std::uint8_t a) const {
    return static_cast<std::uint16_t>(bytes_[a] | bytes_[static_cast<std::uint8_t>(a + 1)] << 8);
}

void Eeprom::Set16(std::uint8_t a, std::uint16_t v) {
    bytes_[a] = static_cast<std::uint8_t>(v);
    bytes_[static_cast<std::uint8_t>(a + 1)] = static_cast<std::uint8_t>(v >> 8);
}

std::uint32_t Eeprom::Get32(std::uint8_t a) const {
    return static_cast<std::uint32_t>(Get16(a)) | static_cast<std::uint32_t>(Get16(static_cast<std::uint8_t>(a + 2)))
                                                      << 16;
}

void Eeprom::Set32(std::uint8_t a, std::uint32_t v) {
    Set16(a, static_cast<std::uint16_t>(v));
    Set16(static_cast<std::uint8_t>(a + 2), static_cast<std::uint16_t>(v >> 16));
}

void Eeprom::SetText(std::uint8_t a, const std::string& text) {
    for (char c : text) bytes_[a++] = static_cast<std::uint8_t>(c);
}

bool Eeprom::SignaturesValid() const {
    for (std::uint8_t start : kBlockStarts) {
        if (bytes_[start] != 0x5A || bytes_[start + 1] != 0x0F) return false;
    }
    return true;
}

Eeprom Eeprom::NewBoard() {
    Eeprom e;
    SetSignatures(e);
    return e;
}

Eeprom Eeprom::Factory(int modelCode) {
    if (modelCode != 1 && modelCode != 2) return NewBoard();
    const FactoryData& f = kFactory[modelCode - 1];
    Eeprom e = NewBoard();

    e.Set(0x02, 0x10);
    e.Set(0x03, 0x01);
    e.Set16(addr::kWasteInk, f.wasteInk);
    // Cleaning counts CL1, CL2, CL3/CL4, timer, exchange, replace.
    const std::uint16_t cleanings[6] = {42, 7, 3, 19, 2, 0};
    for (int i = 0; i < 6; ++i) e.Set16(static_cast<std::uint8_t>(addr::kCleaningCounts + 2 * i), cleanings[i]);
    e.Set(addr::kInkChargeCount, 1);

    // Market destination, as the destination setting leaves it.
    e.Set(addr::kDestinationSet, 0x01);
    e.Set(addr::kDestinationAux1, 0x06);
    e.Set(addr::kDestinationAux2, 0x06);
    e.Set(addr::kDestinationCheck, 0x98);
    e.Set(addr::kDestinationCode, f.destinationCode);
    if (modelCode == 2)
        e.SetText(addr::kModelNameString, std::string(kModelNameString4200, sizeof kModelNameString4200));

    // Adjustment values from final inspection.
    SetSigned(e, addr::kPwSensor, {4, -3, 6, 2});
    SetSigned(e, addr::kBiD, {3, -2, 1, 0, 5, -1, 2, -4});
    SetSigned(e, addr::kFirstDot, {-6});
    SetSigned(e, addr::kPf, {1});
    SetSigned(e, addr::kPixelShift, {0, 1, -1, 2, 0, -2});
    e.Set16(addr::kCrMeasurement, 0x0213);
    e.Set(addr::kCrDispersion, 0x42);
    e.Set(addr::kPfMeasureEs3, f.pfEs3);
    e.Set(addr::kPfMeasureEs5, f.pfEs5);

    e.Set16(addr::kCutCount, f.cuts);
    e.Set32(addr::kPageCount, f.pages);
    e.Set32(addr::kPassCount, f.passes);

    std::array<std::uint8_t, 21> head{};
    PackHeadId(f.headId, head);
    for (std::size_t i = 0; i < head.size(); ++i) e.Set(static_cast<std::uint8_t>(addr::kHeadId + i), head[i]);
    e.SetText(addr::kUsbId, f.usbId);
    for (int i = 0; i < 5; ++i) e.Set(static_cast<std::uint8_t>(addr::kIeee1394Id + i), f.ieee1394[i]);
    return e;
}

bool Eeprom::Load(const std::string& path, std::string& error) {
    std::error_code ec;
    if (std::filesystem::exists(path, ec) && !std::filesystem::is_regular_file(path, ec)) {
        error = "EEPROM image " + path + " is not a regular file";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open EEPROM image " + path + ": " + std::strerror(errno);
        return false;
    }
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        error = "cannot read EEPROM image " + path;
        return false;
    }
    if (data.size() != kSize) {
        error =
            "EEPROM image " + path + " holds " + std::to_string(data.size()) + " bytes; an image is exactly 256 bytes";
        return false;
    }
    std::memcpy(bytes_.data(), data.data(), kSize);
    return true;
}

bool Eeprom::Save(const std::string& path, std::string& error) const {
    // A name of its own in the image's folder, made by mkstemp: nothing
    // planted under a fixed name can be written through, and two savers
    // never share a temporary file.
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        error = "cannot create a temporary file beside EEPROM image " + path + ": " + std::strerror(errno);
        return false;
    }
    // mkstemp makes the file private; the image keeps the usual permissions.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);

    const auto fail = [&](const std::string& what) {
        error = what + ": " + std::strerror(errno);
        ::close(fd);
        ::unlink(temp.c_str());
        return false;
    };
    std::size_t done = 0;
    while (done < kSize) {
        const ssize_t n = ::write(fd, bytes_.data() + done, kSize - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return fail("cannot write EEPROM image " + temp);
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) return fail("cannot write EEPROM image " + temp);
    if (::close(fd) != 0) {
        error = "cannot write EEPROM image " + temp + ": " + std::strerror(errno);
        ::unlink(temp.c_str());
        return false;
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        error = "cannot replace EEPROM image " + path + ": " + std::strerror(errno);
        ::unlink(temp.c_str());
        return false;
    }
    // The new name lasts only once the folder itself is on disk.
    const std::string folder = std::filesystem::path(path).parent_path().string();
    if (const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

}  // namespace vp
