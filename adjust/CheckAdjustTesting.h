// Shared pieces of the check-pattern and adjustment tests: a fixed EEPROM
// image, transcripts of what reached the recording fake, and golden files.
#pragma once

#include "link/testing/FakeOutside.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace svc::testing {

inline std::string Hex(const std::vector<std::uint8_t>& bytes, std::size_t from = 0, std::size_t count = SIZE_MAX) {
    std::string out;
    char buf[4];
    for (std::size_t i = from; i < bytes.size() && i - from < count; ++i) {
        std::snprintf(buf, sizeof buf, i == from ? "%02X" : " %02X", bytes[i]);
        out += buf;
    }
    return out;
}

// One line per outside call that reaches the printer: "data N HH ..",
// "eeprom_read AA", "eeprom_write AA VV", "status". Refused sends are marked.
inline std::string Transcript(const std::vector<fake::Call>& calls) {
    std::ostringstream t;
    char buf[32];
    for (const fake::Call& c : calls) {
        switch (c.fn) {
            case fake::Fn::SendDataChannel:
                t << (c.result == 1 ? "data " : "refused data ") << c.bytes.size();
                if (!c.bytes.empty()) t << ' ' << Hex(c.bytes);
                t << '\n';
                break;
            case fake::Fn::D4ReadEeprom:
                std::snprintf(buf, sizeof buf, "eeprom_read %02X\n", static_cast<unsigned>(c.a));
                t << buf;
                break;
            case fake::Fn::D4WriteEeprom:
                std::snprintf(buf, sizeof buf, "eeprom_write %02X %02X\n", static_cast<unsigned>(c.a),
                              static_cast<unsigned>(c.b));
                t << buf;
                break;
            case fake::Fn::InquireStatus:
                t << "status\n";
                break;
            default:
                break;
        }
    }
    return t.str();
}

// The plain transcript of a golden file. A golden file is kept readable
// (tools/update-goldens.sh): each "data N" line is followed by item lines,
// indented by two spaces, whose first 47 columns hold the hex of the bytes
// and whose rest says what the printer reads in them. The bytes are what
// counts: they are gathered back into "data N HH ...". Other lines, and data
// lines in the plain form, stay as they are. Empty when the hex is malformed
// or does not add up to N bytes, with the reason in `error`.
inline std::string PlainTranscript(const std::string& golden, std::string& error) {
    std::istringstream in(golden);
    std::string out, line;
    bool have = static_cast<bool>(std::getline(in, line));
    while (have) {
        const std::size_t space = line.rfind("data ", 0) == 0 ? 4 : line.rfind("refused data ", 0) == 0 ? 12 : 0;
        const std::string count = space ? line.substr(space + 1) : std::string();
        if (count.empty() || count.find_first_not_of("0123456789") != std::string::npos) {
            out += line + '\n';
            have = static_cast<bool>(std::getline(in, line));
            continue;
        }
        const std::string head = line.substr(0, space + 1);  // "data " or "refused data "
        std::string hex;
        std::size_t bytes = 0;
        while ((have = static_cast<bool>(std::getline(in, line))) && line.rfind("  ", 0) == 0) {
            std::istringstream column(line.substr(2, 47));
            for (std::string b; column >> b; ++bytes) {
                if (b.size() != 2 || !std::isxdigit(static_cast<unsigned char>(b[0])) ||
                    !std::isxdigit(static_cast<unsigned char>(b[1]))) {
                    error = "\"" + line + "\" holds no hex";
                    return {};
                }
                hex += ' ' + b;
            }
        }
        if (std::to_string(bytes) != count) {
            error = head + count + " is followed by " + std::to_string(bytes) + " bytes";
            return {};
        }
        out += head + count + hex + '\n';
    }
    return out;
}

// Compares with golden/<name>.txt beside the tests, byte for byte;
// SVC_UPDATE_GOLDEN=1 rewrites it (in the plain form: tools/update-goldens.sh
// makes it readable again).
inline void ExpectGolden(const std::string& name, const std::string& transcript) {
    const std::string path = std::string(SVC_ADJUST_GOLDEN_DIR) + "/" + name + ".txt";
    if (const char* update = std::getenv("SVC_UPDATE_GOLDEN"); update && std::string(update) == "1") {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << transcript;
        return;
    }
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in.is_open()) << "no golden file " << path << " (run with SVC_UPDATE_GOLDEN=1 to write it)";
    std::stringstream expected;
    expected << in.rdbuf();
    std::string error;
    const std::string want = PlainTranscript(expected.str(), error);
    ASSERT_TRUE(error.empty()) << path << ": " << error;
    if (want == transcript) return;
    // Point at the first line that differs rather than printing megabytes.
    std::size_t line = 1, i = 0;
    while (i < want.size() && i < transcript.size() && want[i] == transcript[i]) {
        if (want[i] == '\n') ++line;
        ++i;
    }
    auto lineAt = [](const std::string& s, std::size_t at) {
        const std::size_t begin = s.rfind('\n', at == 0 ? 0 : at - 1);
        const std::size_t from = begin == std::string::npos ? 0 : begin + 1;
        return s.substr(from, std::min<std::size_t>(s.find('\n', from) - from, 200));
    };
    ADD_FAILURE() << name << ": transcript differs from " << path << " at line " << line
                  << " of its plain form (one line per call)\n  golden: " << lineAt(want, i)
                  << "\n  now:    " << lineAt(transcript, i);
}

// The 21 head ID bytes of a 25-character text (no checks: test data only).
inline std::array<std::uint8_t, 21> PackHeadId(const std::string& id) {
    static const std::string set = "ABCDEFGHJKLMNPQRSTUVWXYZ0123456789%*+-$:";
    auto hex = [](char hi, char lo) { return static_cast<std::uint8_t>(std::stoi(std::string{hi, lo}, nullptr, 16)); };
    auto code = [&](char c) { return static_cast<std::uint8_t>(32 + set.find(c)); };
    std::array<std::uint8_t, 21> b{};
    for (int i = 0; i < 4; ++i) b[i] = hex(id[1 + 2 * i], id[2 + 2 * i]);
    for (int i = 0; i < 6; ++i) b[5 + i] = code(id[9 + i]);    // c10..c15
    for (int i = 0; i < 6; ++i) b[12 + i] = code(id[16 + i]);  // c17..c22
    b[18] = code(id[15]);                                      // c16
    b[19] = static_cast<std::uint8_t>(id[22] - '0');
    b[20] = static_cast<std::uint8_t>(id[0] - '0');
    return b;
}

inline constexpr const char* kHeadIdText = "13A7F12B4KR7M2PX9A4CHT11Y";
inline constexpr const char* kUsbIdText = "4100A1234536EAPA10";

// A printer after final inspection: head ID, USB ID, counters, Bi-D, PF and destination values.
inline void LoadFixedEeprom() {
    auto& e = fake::Fake().Eeprom();
    e[0x20] = 0x26;  // waste-ink counter 1830
    e[0x21] = 0x07;
    const auto head = PackHeadId(kHeadIdText);
    for (std::size_t i = 0; i < head.size(); ++i) e[0x82 + i] = head[i];
    const std::string usb = kUsbIdText;
    for (std::size_t i = 0; i < usb.size(); ++i) e[0xC2 + i] = static_cast<std::uint8_t>(usb[i]);
    const std::uint8_t bid[8] = {0x03, 0xFE, 0x00, 0x05, 0xFB, 0x01, 0x02, 0xFF};  // 0x60..0x67
    for (int i = 0; i < 8; ++i) e[0x60 + i] = bid[i];
    e[0x77] = 0xFE;  // PF -2
    e[0xB9] = 0x7C;
    e[0xBA] = 0x81;
    e[0xE0] = 0x00;
}

}  // namespace svc::testing
