// The printer's 256-byte EEPROM as the program sees it: one byte per call
// through the packet channel, the conventions for wider and signed values, the
// address map, and the fixed write sequences the features run.
//
// There is no copy of the EEPROM in the program: every read asks the printer.
// Every multi-byte operation moves one byte per call, lowest address first
// unless stated otherwise, and stops at the first result other than 1, which
// it returns unchanged; bytes written before it stay written.
#pragma once

#include "link/ResultCodes.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace svc {

// ---- address map ----
namespace eep {
using Address = std::uint8_t;

// Each 64-byte quarter starts with the block signature 5A 0F.
inline constexpr std::array<Address, 4> SignatureBlocks{0x00, 0x40, 0x80, 0xC0};
inline constexpr std::uint8_t SignatureFirst = 0x5A;
inline constexpr std::uint8_t SignatureSecond = 0x0F;

inline constexpr Address DoaByte02 = 0x02;
inline constexpr Address DoaByte03 = 0x03;

// Counters: unsigned little-endian.
inline constexpr Address WasteInkCounter = 0x20;  // 16-bit
inline constexpr Address Cl1Count = 0x2E;         // 16-bit each, to 0x39
inline constexpr Address Cl2Count = 0x30;
inline constexpr Address Cl3Cl4Count = 0x32;
inline constexpr Address TimerClCount = 0x34;
inline constexpr Address ExchangeClCount = 0x36;
inline constexpr Address ReplaceClCount = 0x38;
inline constexpr Address InitialInkChargeCount = 0x3A;  // 8-bit
inline constexpr Address CutCount = 0x6E;               // 16-bit
inline constexpr Address TotalPageCount = 0x78;         // 32-bit
inline constexpr Address TotalPassCount = 0x7C;         // 32-bit

// Market destination bytes.
inline constexpr Address RestoreMark = 0x48;        // cleared by the EEPROM data restore
inline constexpr Address DestinationFlag = 0x49;    // 0x01 when the destination is set
inline constexpr Address DestinationByte6A = 0x6A;  // 0x06 when set
inline constexpr Address DestinationByte6B = 0x6B;  // 0x06 when set
inline constexpr Address DestinationMark = 0xA7;    // 0x98 when set; the restore leaves 0x18
inline constexpr Address MarketDestination = 0xE0;  // market destination code below
inline constexpr Address ModelName = 0xE2;          // ASCII, 0-terminated, up to 24 bytes
inline constexpr int ModelNameLength = 24;
inline constexpr std::uint8_t DestinationFlagSet = 0x01;
inline constexpr std::uint8_t DestinationFixedValue = 0x06;
inline constexpr std::uint8_t DestinationMarkSet = 0x98;
inline constexpr std::uint8_t DestinationMarkRestored = 0x18;
inline constexpr std::uint8_t DestinationWorld = 0;
inline constexpr std::uint8_t DestinationJapan = 1;
inline constexpr std::uint8_t DestinationTrnVlk = 2;
inline constexpr std::string_view TrnVlkModelName = "KORVA,Corvid Lumen 4200";

// Signed adjustment values: one two's-complement byte each.
inline constexpr Address PwSensorRight = 0x5C;   // HMXU, -8..24
inline constexpr Address PwSensorTop = 0x5D;     // HMYU, -16..16
inline constexpr Address PwSensorLeft = 0x5E;    // HMXD, -8..24
inline constexpr Address PwSensorBottom = 0x5F;  // HMYD, -16..16
inline constexpr Address BidBlack = 0x60;        // VSD1, VSD2, VSD2', VSD4; -72..72
inline constexpr Address BidColor = 0x64;        // VSD1, VSD2, VSD2', VSD4; -72..72
inline constexpr Address FirstDot = 0x68;        // -72..72, read with FirstDotFromByte
inline constexpr Address PfValue = 0x77;         // -4..4
inline constexpr Address PixelShift = 0x97;      // A..F, six bytes; -5..5
inline constexpr Address CrDispersion = 0xAC;    // 0x42 when the measurement is skipped
inline constexpr std::uint8_t CrDispersionSkipped = 0x42;

inline constexpr Address CrMeasurement = 0x6C;  // 16-bit, left by the printer's measurement run

// Identity data.
inline constexpr Address HeadId = 0x82;  // 21 packed bytes to 0x96
inline constexpr int HeadIdLength = 21;
inline constexpr Address UsbId = 0xC2;  // 10-character serial number, then an 8-character time stamp
inline constexpr Address UsbSerial = 0xC2;
inline constexpr int UsbSerialLength = 10;
inline constexpr Address UsbTimeStamp = 0xCC;
inline constexpr int UsbTimeStampLength = 8;
inline constexpr Address Ieee1394Id = 0xD4;  // 5 bytes, first digit pair first
inline constexpr int Ieee1394IdLength = 5;

// PF measurement data, printed by the check pattern.
inline constexpr Address PfMeasurementEs3 = 0xB9;
inline constexpr Address PfMeasurementEs5 = 0xBA;

// The bytes the EEPROM data copy saves and restores, in file order.
inline constexpr int CopyCount = 101;
}  // namespace eep

// One EEPROM byte at its address: a write to make, or a value to expect.
struct EepWrite {
    eep::Address address;
    std::uint8_t value;
    bool operator==(const EepWrite&) const = default;
};

// The eight block-signature bytes in the order the EEPROM data copy checks
// them (each pair right after reading it). The program never writes them.
inline constexpr std::array<EepWrite, 8> kSignatureBytes{{{0x00, eep::SignatureFirst},
                                                          {0x01, eep::SignatureSecond},
                                                          {0x40, eep::SignatureFirst},
                                                          {0x41, eep::SignatureSecond},
                                                          {0x80, eep::SignatureFirst},
                                                          {0x81, eep::SignatureSecond},
                                                          {0xC0, eep::SignatureFirst},
                                                          {0xC1, eep::SignatureSecond}}};

// ---- conversions ----
// A signed adjustment byte: 0xFF reads -1.
int SignedFromByte(std::uint8_t b);
// The low 8 bits of a signed value.
std::uint8_t ByteFromSigned(int value);
// The first dot position byte: above 0x80 stands for the byte minus 256, so 0x80 reads +128.
int FirstDotFromByte(std::uint8_t b);

// ---- single bytes ----
Result EepromRead(eep::Address address, std::uint8_t& value);
Result EepromWrite(eep::Address address, std::uint8_t value);

// ---- runs, lowest address first ----
// Reads out.size() bytes from `first` upward. On failure the bytes already read are in out.
Result EepromReadBytes(eep::Address first, std::span<std::uint8_t> out);
// Reads the given addresses in the given order into out (same size).
Result EepromReadList(std::span<const eep::Address> addresses, std::span<std::uint8_t> out);
Result EepromWriteBytes(eep::Address first, std::span<const std::uint8_t> bytes);
// count characters from `first` upward, as they stand (no terminator handling).
Result EepromReadAscii(eep::Address first, int count, std::string& text);
// The characters only; a terminating 0x00 is the caller's to add.
Result EepromWriteAscii(eep::Address first, std::string_view text);

// ---- typed values ----
Result EepromReadSigned(eep::Address address, int& value);
Result EepromWriteSigned(eep::Address address, int value);
Result EepromReadFirstDot(int& value);
Result EepromReadU16(eep::Address first, std::uint16_t& value);
Result EepromReadU32(eep::Address first, std::uint32_t& value);

// ---- fixed write sequences ----
using WriteSequence = std::vector<EepWrite>;

// Writes in order; the first failure ends the run and is returned.
Result RunWrites(const WriteSequence& writes);

// Market destination for a model code: 1 is the world-standard model, any
// other code the TRN/VLK model with its model-name string and terminating 0x00.
WriteSequence MarketDestinationWrites(int modelCode);
// Waste-ink pad counter back to zero, low byte first.
WriteSequence WasteInkResetWrites();
// Refurbishment for DOA: service bytes and counters cleared, then the market
// destination for the model.
WriteSequence DeliverySettingWrites(int modelCode);
// The copy list: the EEPROM address of each byte of the backup file.
const std::array<eep::Address, eep::CopyCount>& CopyAddresses();
// What an EEPROM data restore writes after the copied bytes.
WriteSequence RestoreTailWrites();
// A whole restore: each file byte to its copy address, then the tail.
WriteSequence RestoreWrites(std::span<const std::uint8_t, eep::CopyCount> fileBytes);

}  // namespace svc
