#include "eeprom/VexEeprom.h"

#include "journal/Recorder.h"
#include "link/OutsideLibraries.h"

namespace svc {
namespace {

// Appends value to every address of [first, last].
void Fill(WriteSequence& out, eep::Address first, eep::Address last, std::uint8_t value) {
    for (int a = first; a <= last; ++a) out.push_back({static_cast<eep::Address>(a), value});
}

// Appends the addresses [first, last] to the copy list.
template <std::size_t N>
void AddRange(std::array<eep::Address, N>& list, std::size_t& at, eep::Address first, eep::Address last) {
    for (int a = first; a <= last; ++a) list[at++] = static_cast<eep::Address>(a);
}

std::array<eep::Address, eep::CopyCount> BuildCopyList() {
    std::array<eep::Address, eep::CopyCount> list{};
    std::size_t at = 0;
    AddRange(list, at, 0x20, 0x25);  // waste-ink counter and the four bytes after it
    AddRange(list, at, 0x2E, 0x3A);  // CL counters, initial ink charge count
    AddRange(list, at, 0x50, 0x55);
    AddRange(list, at, 0x5C, 0x69);  // PW sensor, Bi-D, first dot
    AddRange(list, at, 0x6E, 0x6F);  // cut count
    AddRange(list, at, 0x77, 0x7F);  // PF value, page and pass counts
    AddRange(list, at, 0x82, 0x9C);  // head ID, pixel shift
    AddRange(list, at, 0xAC, 0xAC);  // CR motor drive dispersion
    AddRange(list, at, 0xC2, 0xD8);  // USB ID, IEEE 1394 ID
    return list;
}

}  // namespace

int SignedFromByte(std::uint8_t b) { return static_cast<std::int8_t>(b); }

std::uint8_t ByteFromSigned(int value) { return static_cast<std::uint8_t>(value & 0xFF); }

int FirstDotFromByte(std::uint8_t b) { return b > 0x80 ? b - 256 : b; }

Result EepromRead(eep::Address address, std::uint8_t& value) {
    const Result r = D4ReadEeprom(address, &value);
    journal::Journal().NoteRead(address, value, r);
    return r;
}

Result EepromWrite(eep::Address address, std::uint8_t value) {
    journal::Journal().NoteWriting(address, value);
    const Result r = D4WriteEeprom(address, value);
    journal::Journal().NoteWrite(address, value, r);
    return r;
}

Result EepromReadBytes(eep::Address first, std::span<std::uint8_t> out) {
    for (std::size_t i = 0; i < out.size(); ++i) {
        const Result r = EepromRead(static_cast<eep::Address>(first + i), out[i]);
        if (r != rc::Ok) return r;
    }
    return rc::Ok;
}

Result EepromReadList(std::span<const eep::Address> addresses, std::span<std::uint8_t> out) {
    for (std::size_t i = 0; i < addresses.size() && i < out.size(); ++i) {
        const Result r = EepromRead(addresses[i], out[i]);
        if (r != rc::Ok) return r;
    }
    return rc::Ok;
}

Result EepromWriteBytes(eep::Address first, std::span<const std::uint8_t> bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const Result r = EepromWrite(static_cast<eep::Address>(first + i), bytes[i]);
        if (r != rc::Ok) return r;
    }
    return rc::Ok;
}

Result EepromReadAscii(eep::Address first, int count, std::string& text) {
    text.clear();
    for (int i = 0; i < count; ++i) {
        std::uint8_t c = 0;
        const Result r = EepromRead(static_cast<eep::Address>(first + i), c);
        if (r != rc::Ok) return r;
        text.push_back(static_cast<char>(c));
    }
    return rc::Ok;
}

Result EepromWriteAscii(eep::Address first, std::string_view text) {
    return EepromWriteBytes(first, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

Result EepromReadSigned(eep::Address address, int& value) {
    std::uint8_t b = 0;
    const Result r = EepromRead(address, b);
    if (r == rc::Ok) value = SignedFromByte(b);
    return r;
}

Result EepromWriteSigned(eep::Address address, int value) { return EepromWrite(address, ByteFromSigned(value)); }

Result EepromReadFirstDot(int& value) {
    std::uint8_t b = 0;
    const Result r = EepromRead(eep::FirstDot, b);
    if (r == rc::Ok) value = FirstDotFromByte(b);
    return r;
}

Result EepromReadU16(eep::Address first, std::uint16_t& value) {
    std::array<std::uint8_t, 2> b{};
    const Result r = EepromReadBytes(first, b);
    if (r == rc::Ok) value = static_cast<std::uint16_t>(b[0] | (b[1] << 8));
    return r;
}

Result EepromReadU32(eep::Address first, std::uint32_t& value) {
    std::array<std::uint8_t, 4> b{};
    const Result r = EepromReadBytes(first, b);
    if (r == rc::Ok)
        value = static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
                static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
    return r;
}

Result RunWrites(const WriteSequence& writes) {
    for (const EepWrite& w : writes) {
        const Result r = EepromWrite(w.address, w.value);
        if (r != rc::Ok) return r;
    }
    return rc::Ok;
}

WriteSequence MarketDestinationWrites(int modelCode) {
    WriteSequence out{{eep::DestinationFlag, eep::DestinationFlagSet},
                      {eep::DestinationByte6A, eep::DestinationFixedValue},
                      {eep::DestinationByte6B, eep::DestinationFixedValue},
                      {eep::DestinationMark, eep::DestinationMarkSet}};
    if (modelCode == 1) {
        out.push_back({eep::MarketDestination, eep::DestinationWorld});
        return out;
    }
    out.push_back({eep::MarketDestination, eep::DestinationTrnVlk});
    eep::Address a = eep::ModelName;
    for (char c : eep::TrnVlkModelName) out.push_back({a++, static_cast<std::uint8_t>(c)});
    out.push_back({a, 0x00});
    return out;
}

WriteSequence WasteInkResetWrites() { return {{eep::WasteInkCounter, 0x00}, {eep::WasteInkCounter + 1, 0x00}}; }

WriteSequence DeliverySettingWrites(int modelCode) {
    WriteSequence out{{eep::DoaByte02, 0x10}, {eep::DoaByte03, 0x01}};
    // The printer's own order: the service area in this odd sequence of ranges.
    Fill(out, 0x04, 0x0F, 0x00);
    Fill(out, 0x14, 0x17, 0x00);
    Fill(out, 0x1C, 0x1F, 0x00);
    Fill(out, 0x10, 0x13, 0x00);
    Fill(out, 0x18, 0x1B, 0x00);
    Fill(out, 0x20, 0x2C, 0x00);
    Fill(out, 0x2E, 0x3A, 0x00);
    Fill(out, 0x3C, 0x3C, 0x00);
    Fill(out, 0x3F, 0x3F, 0x00);
    Fill(out, 0x78, 0x7F, 0x00);
    Fill(out, 0xA0, 0xA6, 0x00);
    Fill(out, 0xBB, 0xBB, 0x00);
    Fill(out, 0xD9, 0xD9, 0x00);
    const WriteSequence destination = MarketDestinationWrites(modelCode);
    out.insert(out.end(), destination.begin(), destination.end());
    return out;
}

const std::array<eep::Address, eep::CopyCount>& CopyAddresses() {
    static const std::array<eep::Address, eep::CopyCount> list = BuildCopyList();
    return list;
}

WriteSequence RestoreTailWrites() {
    return {{eep::RestoreMark, 0x00},
            {eep::DestinationFlag, eep::DestinationFlagSet},
            {eep::DestinationMark, eep::DestinationMarkRestored},
            {eep::MarketDestination, eep::DestinationJapan}};
}

WriteSequence RestoreWrites(std::span<const std::uint8_t, eep::CopyCount> fileBytes) {
    WriteSequence out;
    out.reserve(eep::CopyCount + 4);
    const auto& addresses = CopyAddresses();
    for (std::size_t i = 0; i < addresses.size(); ++i) out.push_back({addresses[i], fileBytes[i]});
    const WriteSequence tail = RestoreTailWrites();
    out.insert(out.end(), tail.begin(), tail.end());
    return out;
}

}  // namespace svc
