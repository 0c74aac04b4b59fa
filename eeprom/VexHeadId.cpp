#include "eeprom/VexHeadId.h"

#include "eeprom/FeatureStart.h"
#include "eeprom/VexEeprom.h"
#include "hexcodec/hexcodec.h"
#include "link/ErrorDetails.h"

#include <array>
#include <cstdio>

namespace svc {
namespace {

// Characters of the head ID set in code order from 32; the first 37 are also
// the check characters, in value order from 1. No I and no O.
constexpr std::string_view kCharacters = "ABCDEFGHJKLMNPQRSTUVWXYZ0123456789%*+-$:";
constexpr int kFirstCode = 32;
constexpr int kCheckCharacters = 37;

constexpr int kFirstCharPos = 10;  // positions 10-22 hold character codes
constexpr int kLastCharPos = 22;
constexpr int kCharCount = kLastCharPos - kFirstCharPos + 1;

constexpr std::uint8_t kMaxPair = 0xBF;
constexpr std::uint8_t kMaxD1 = 3;
constexpr std::uint8_t kMaxD23 = 2;

constexpr std::int16_t kDetailReadInvalid = 1;
constexpr std::int16_t kDetailLength = 16;

// The values a head ID is made of (positions 24 and 25 are not stored).
struct HeadIdValues {
    std::uint8_t d1 = 0;
    std::array<std::uint8_t, 4> pairs{};
    std::array<std::uint8_t, kCharCount> chars{};  // c10 ... c22
    std::uint8_t d23 = 0;
};

// 37 - (S mod 37), always 1 to 37.
int CheckValueOf(const HeadIdValues& v) {
    int s = v.d1;
    for (int i = 0; i < 4; ++i) s += v.pairs[i] * (i + 2);
    for (int i = 0; i < kCharCount; ++i) s += v.chars[i] * (i + 6);
    s += v.d23 * 19;
    s += 1 * 20;  // the fixed "1" of position 24
    return 37 - s % 37;
}

Result Refuse(std::int16_t detail) {
    HeadIdErrorDetail = detail;
    return rc::HeadId;
}

// The 21 bytes in address order 0x82-0x96.
std::array<std::uint8_t, eep::HeadIdLength> Pack(const HeadIdValues& v) {
    std::uint8_t p1 = 94, p2 = 94;
    for (int i = 0; i < 6; ++i) p1 = static_cast<std::uint8_t>(p1 - v.chars[i]);   // c10-c15
    for (int i = 7; i < 13; ++i) p2 = static_cast<std::uint8_t>(p2 - v.chars[i]);  // c17-c22
    std::array<std::uint8_t, eep::HeadIdLength> b{};
    int at = 0;
    for (std::uint8_t pair : v.pairs) b[at++] = pair;   // 0x82-0x85
    b[at++] = p1;                                       // 0x86
    for (int i = 0; i < 6; ++i) b[at++] = v.chars[i];   // 0x87-0x8C: c10-c15
    b[at++] = p2;                                       // 0x8D
    for (int i = 7; i < 13; ++i) b[at++] = v.chars[i];  // 0x8E-0x93: c17-c22
    b[at++] = v.chars[6];                               // 0x94: c16
    b[at++] = v.d23;                                    // 0x95
    b[at++] = v.d1;                                     // 0x96
    return b;
}

}  // namespace

std::uint8_t TPHeadID::CharacterCode(char c) {
    const std::size_t at = kCharacters.find(c);
    return at == std::string_view::npos || c == '\0' ? 0 : static_cast<std::uint8_t>(kFirstCode + at);
}

char TPHeadID::CodeCharacter(std::uint8_t code) {
    const int at = code - kFirstCode;
    return at >= 0 && at < static_cast<int>(kCharacters.size()) ? kCharacters[static_cast<std::size_t>(at)] : '?';
}

int TPHeadID::CheckValue(char c) {
    const std::size_t at = kCharacters.find(c);
    return at == std::string_view::npos || c == '\0' || at >= kCheckCharacters ? 0 : static_cast<int>(at) + 1;
}

char TPHeadID::CheckCharacter(int value) {
    return value >= 1 && value <= kCheckCharacters ? kCharacters[static_cast<std::size_t>(value - 1)] : '?';
}

Result TPHeadID::Write(std::string_view text) {
    if (text.size() != kTextLength) return Refuse(kDetailLength);
    HeadIdValues v;
    // Position 1: "0"-"3"; a character below "0" wraps round and fails too.
    v.d1 = static_cast<std::uint8_t>(text[0] - '0');
    if (v.d1 > kMaxD1) return Refuse(kDetailLength + 1);
    // Positions 2-9: four hex pairs up to BF; each group's code is 16 + its first position.
    for (int i = 0; i < 4; ++i) {
        const int pos = 2 + i * 2;
        std::uint8_t b = 0;
        if ((HexAsciiToBinary(text.data() + pos - 1, &b) & 0xFF) != 1 || b > kMaxPair)
            return Refuse(static_cast<std::int16_t>(kDetailLength + pos));
        v.pairs[static_cast<std::size_t>(i)] = b;
    }
    for (int pos = kFirstCharPos; pos <= kLastCharPos; ++pos) {
        const std::uint8_t code = CharacterCode(text[static_cast<std::size_t>(pos - 1)]);
        if (code < 32 || code > 71) return Refuse(static_cast<std::int16_t>(kDetailLength + pos));
        v.chars[static_cast<std::size_t>(pos - kFirstCharPos)] = code;
    }
    v.d23 = static_cast<std::uint8_t>(text[22] - '0');
    if (v.d23 > kMaxD23) return Refuse(kDetailLength + 23);
    if (text[23] != '1') return Refuse(kDetailLength + 24);
    if (CheckValue(text[24]) != CheckValueOf(v)) return Refuse(kDetailLength + 25);

    const auto bytes = Pack(v);
    return EepromWriteBytes(eep::HeadId, bytes);
}

Result TPHeadID::Read(std::string& text) {
    std::array<std::uint8_t, eep::HeadIdLength> b{};
    if (const Result r = EepromReadBytes(eep::HeadId, b); r != rc::Ok) return r;
    HeadIdValues v;
    for (int i = 0; i < 4; ++i) v.pairs[static_cast<std::size_t>(i)] = b[static_cast<std::size_t>(i)];
    for (int i = 0; i < 6; ++i) v.chars[static_cast<std::size_t>(i)] = b[static_cast<std::size_t>(5 + i)];
    for (int i = 7; i < 13; ++i) v.chars[static_cast<std::size_t>(i)] = b[static_cast<std::size_t>(12 + i - 7)];
    v.chars[6] = b[18];
    v.d23 = b[19];
    v.d1 = b[20];
    for (std::uint8_t pair : v.pairs)
        if (pair > kMaxPair) return Refuse(kDetailReadInvalid);
    for (std::uint8_t code : v.chars)
        if (code < 32 || code > 71) return Refuse(kDetailReadInvalid);
    if (v.d23 > kMaxD23 || v.d1 > kMaxD1) return Refuse(kDetailReadInvalid);

    text.clear();
    text.push_back(static_cast<char>('0' + v.d1));
    for (std::uint8_t pair : v.pairs) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", pair);
        text += hex;
    }
    for (std::uint8_t code : v.chars) text.push_back(CodeCharacter(code));
    text.push_back(static_cast<char>('0' + v.d23));
    text.push_back('1');
    text.push_back(CheckCharacter(CheckValueOf(v)));
    return rc::Ok;
}

void TPHeadID::HeadIDChosen(FeatureFrame& frame) { frame.FocusField("HeadIDInputEdit"); }

void TPHeadID::HeadIDInputOKBtnClick(FeatureFrame& frame) {
    if (!eepfeature::BeginLenient(frame, "Writing now...")) return;
    const std::string text = frame.Text("HeadIDInputEdit");
    if (const Result r = Write(text); r != rc::Ok) {
        frame.ReportErrorCode(r);
        frame.FocusField("HeadIDInputEdit");
        return;
    }
    frame.SetOperationState(mode::DoneNoWait, "The head ID write function has completed.");
    frame.SetAdjustedCell("HeadIDPnl", text.substr(0, 13) + " " + text.substr(13));
}

void TPHeadID::HeadIDReadBtnClick(FeatureFrame& frame) {
    if (!eepfeature::BeginLenient(frame, "Reading now...")) return;
    std::string text;
    if (const Result r = Read(text); r != rc::Ok) {
        frame.ReportErrorCode(r);
        return;
    }
    frame.SetOperationState(mode::DoneNoWait, "Head ID = ");
    frame.SetOperationState(mode::Append, text);
}

void TPHeadID::HeadCheckPrintShowBtnClick(FeatureFrame& frame) {
    if (frame.HideAllPanels(0)) frame.ShowPanel("HeadCheckPrintPnl");
}

void TPHeadID::HeadIDInputShowBtnClick(FeatureFrame& frame) {
    if (frame.HideAllPanels(0)) frame.ShowPanel("HeadIDInputPnl");
}

void TPHeadID::HeadCheckPrintBtnClick(FeatureFrame& frame) {
    if (!headCheckPattern_) {
        frame.SetOperationState(mode::Error, "The head check pattern print is not available in this program.");
        return;
    }
    Result r = frame.SetOperationState(mode::Busy, "Printing now...");
    if (r == rc::Ok) r = headCheckPattern_();
    if (r == rc::Ok) {
        frame.SetOperationState(mode::Done, "The head angular pattern print has completed.");
        return;
    }
    frame.ReportErrorCode(r);
}

TPHeadID& HeadID() {
    static TPHeadID headId;
    return headId;
}

}  // namespace svc
