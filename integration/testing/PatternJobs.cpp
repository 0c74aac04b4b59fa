#include "integration/testing/PatternJobs.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>
#include <cstring>
#include <string>

#include "link/VexRaster.h"
#include "link/VexRemoteComm.h"
#include "service/VexFactory.h"

namespace vp::testing {

namespace {

svc::TPRaster& S() { return svc::JobStream(); }

void Text(const std::string& text, bool nul) {
    S().Append(reinterpret_cast<const std::uint8_t*>(text.data()), static_cast<std::int32_t>(text.size()));
    if (nul) {
        const std::uint8_t zero = 0;
        S().Append(&zero, 1);
    }
}

// The noise of the PF pattern: any uniform pick among five bytes serves; a
// fixed generator keeps the tests repeatable.
std::uint8_t Noise() {
    static std::uint32_t state = 12345;
    static constexpr std::uint8_t kBytes[5] = {0xF7, 0xBD, 0xEF, 0x7B, 0xDE};
    state = state * 1103515245u + 12345u;
    return kBytes[(state >> 16) % 5];
}

void NoiseLine(int bytes) {
    for (int i = 0; i < bytes; ++i) svc::RepeatSend(S(), 1, Noise());
}

// A value field of the Bi-D pattern: four spaces and a zero, overwritten by the number and its zero.
void ValueField(int value) {
    char field[5] = {' ', ' ', ' ', ' ', 0};
    char digits[8];
    const int n = std::snprintf(digits, sizeof digits, "%d", value);
    std::memcpy(field, digits, static_cast<std::size_t>(std::min(n + 1, 5)));
    S().Append(reinterpret_cast<const std::uint8_t*>(field), 5);
}

void TickLine(int count, std::uint8_t tick) {
    for (int i = 0; i < count; ++i) {
        svc::RepeatSend(S(), 1, tick);
        svc::RepeatSend(S(), 9, 0x00);
    }
}

// One raster line as runs: zeros in long runs, every other byte alone.
void RowRuns(const std::vector<std::uint8_t>& row) {
    for (std::size_t i = 0; i < row.size();) {
        if (row[i] != 0) {
            svc::RepeatSend(S(), 1, row[i++]);
            continue;
        }
        std::size_t j = i;
        while (j < row.size() && row[j] == 0) ++j;
        svc::RepeatSendLong(S(), static_cast<std::int32_t>(j - i), 0x00);
        i = j;
    }
}

}  // namespace

void ComposeBidPattern(int dotKind, int black, int color) {
    const bool vsd4 = dotKind == 13;
    const int pitch = vsd4 ? 2 : 4;
    const int bpp = vsd4 ? 1 : 2;
    const int passes = vsd4 ? 4 : 2;
    const std::uint8_t tick = vsd4 ? 0x40 : 0xC0;
    const auto k = static_cast<std::uint8_t>(dotKind);
    const char* label = dotKind == 10   ? "Variable1 DOT"
                        : dotKind == 11 ? "Variable2 DOT"
                        : dotKind == 12 ? "Variable2' DOT"
                                        : "Variable4 DOT";
    Text(label, true);
    svc::SendLineFeeds(S(), 1);
    auto header = [&](std::uint8_t direction, std::uint8_t colorMode) {
        svc::SendJobHeader(S(), 10, direction, k, colorMode);
        if (vsd4) svc::SendUnitExtended(S());
        svc::SendRasterResolution(S(), 160, 5, 8, static_cast<std::uint8_t>(pitch));
    };
    auto emptyLine = [] {
        for (int r = 0; r < 6; ++r) svc::RepeatSend(S(), 120, 0x00);
    };
    auto blackTicks = [&] {
        svc::RepeatSend(S(), 100, 0x00);
        TickLine(24, tick);
        for (int r = 0; r < 4; ++r) svc::RepeatSend(S(), 95, 0x00);
    };
    auto colorTicks = [&] {
        for (int r = 0; r < 4; ++r) svc::RepeatSend(S(), 95, 0x00);
        TickLine(24, tick);
        svc::RepeatSend(S(), 100, 0x00);
    };
    auto block = [&](std::uint8_t colour, bool ticksAbove, const std::function<void()>& ticks) {
        svc::SendRasterHeader(S(), colour, 1, static_cast<std::uint8_t>(bpp), 720, 96);
        for (int line = 0; line < 96; ++line) ((line < 48) == ticksAbove ? ticks : std::function<void()>(emptyLine))();
    };
    for (const int offset : kBidTrialOffsets) {
        const int b = black + offset;
        const int c = color + offset;
        S().Flush();
        svc::Factory().SetBidValue(1, k, b);
        svc::Factory().SetBidValue(0, k, c);
        Text("            data = ", true);
        ValueField(b);
        Text("            ", true);
        Text("            data = ", true);
        ValueField(c);
        svc::SendLineFeeds(S(), 1);
        for (int p = 0; p < passes; ++p) {
            header(1, 0);
            block(svc::ink::Black, true, blackTicks);
            header(3, 0);
            block(svc::ink::Black, false, blackTicks);
            svc::SendVerticalMove(S(), 1);
        }
        for (int p = 0; p < passes; ++p) {
            header(1, 1);
            block(svc::ink::Magenta, true, colorTicks);
            header(3, 1);
            block(svc::ink::Cyan, false, colorTicks);
            svc::SendVerticalMove(S(), 1);
        }
        svc::SendUnit(S(), 10);
        svc::SendVerticalMove(S(), 195);
        svc::SendInitialize(S());
        S().Flush();
    }
    svc::SendLineFeeds(S(), 1);
    S().Flush();
    svc::Factory().SetBidValue(1, k, black);
    svc::Factory().SetBidValue(0, k, color);
}

namespace {

// One PF joint: block A (its lines 64-95 noise, in two passes half a line
// apart), then block B right below it, shifted right, as kPfUpperLeft and
// kPfLowerLeft say.
void PfBlockPair() {
    for (int pass = 0; pass < 2; ++pass) {
        svc::SendJobHeader(S(), 10, 1, 10, 1);
        svc::SendHorizontalMove(S(), 720);
        svc::SendRasterResolution(S(), 104, 1, 2, 1);
        svc::SendRasterHeader(S(), svc::ink::Cyan, 1, 2, 120, 96);
        for (int line = 0; line < 96; ++line) {
            if (line < 64)
                svc::RepeatSend(S(), 120, 0x00);
            else
                NoiseLine(120);
        }
        if (pass == 0) svc::SendVerticalMove(S(), 1);
    }
    svc::SendVerticalMove(S(), 191);
    for (int pass = 0; pass < 2; ++pass) {
        svc::SendJobHeader(S(), 10, 1, 10, 1);
        svc::SendHorizontalMove(S(), 864);
        svc::SendRasterResolution(S(), 104, 1, 2, 1);
        svc::SendRasterHeader(S(), svc::ink::Cyan, 1, 2, 120, 32);
        for (int line = 0; line < 32; ++line) NoiseLine(120);
        svc::SendVerticalMove(S(), 1);
    }
}

}  // namespace

void ComposePfPattern() {
    Text("         PF Adjust\r", true);
    S().Flush();
    for (int v = -4; v <= 4; ++v) {
        svc::Factory().SetPFValue(static_cast<std::int8_t>(v));
        svc::Factory().ApplySettings();
        PfBlockPair();
        svc::SendInitialize(S());
        Text(std::string(15, ' '), false);
        char value[4] = {0, 0, 0, 0};
        std::snprintf(value, sizeof value, "%d", v);
        S().Append(reinterpret_cast<const std::uint8_t*>(value), 4);
        Text("\r", false);
        svc::SendInitialize(S());
        S().Flush();
    }
}

void ComposePfCheckPattern() {
    Text("PF Adjust", true);
    Text("\r", false);
    PfBlockPair();
    svc::SendInitialize(S());
    svc::SendLineFeeds(S(), 2);
    S().Flush();
}

void ComposeFirstDotPattern() {
    svc::SendJobHeader(S(), 10, 1, 10, 1);
    svc::SendRasterResolution(S(), 160, 5, 8, 4);
    svc::SendRasterHeader(S(), svc::ink::Black, 1, 2, 1, 96);
    svc::RepeatSend(S(), 96, 0xC0);
    svc::SendInitialize(S());
    svc::SendEndOfJob(S());
}

void ComposeHeadAngularPattern() {
    Text("Head Angular(Gray-Light Magenta)", true);
    svc::SendLineFeeds(S(), 1);
    svc::SendJobHeader(S(), 10, 1, 10, 1);
    svc::SendRasterResolution(S(), 104, 1, 2, 1);
    svc::SendRasterHeader(S(), svc::ink::Gray, 1, 2, 1143, 96);
    for (int line = 0; line < 96; ++line) {
        if (line % 4 == 0) {
            for (int r = 0; r < 10; ++r) {
                svc::RepeatSend(S(), 72, 0xFF);
                svc::RepeatSend(S(), 36, 0x00);
            }
            svc::RepeatSend(S(), 63, 0xFF);
        } else {
            for (int r = 0; r < 9; ++r) svc::RepeatSend(S(), 127, 0x00);
        }
    }
    svc::SendLineReturn(S());
    svc::SendRasterHeader(S(), svc::ink::LightMagenta, 1, 2, 1143, 96);
    for (int line = 0; line < 96; ++line) {
        if (line % 4 == 2) {
            svc::RepeatSend(S(), 54, 0x00);
            for (int r = 0; r < 10; ++r) {
                svc::RepeatSend(S(), 72, 0xFF);
                svc::RepeatSend(S(), 36, 0x00);
            }
            svc::RepeatSend(S(), 9, 0xFF);
        } else {
            for (int r = 0; r < 9; ++r) svc::RepeatSend(S(), 127, 0x00);
        }
    }
    svc::SendVerticalMove(S(), 195);
    svc::SendInitialize(S());
    S().Flush();
}

void ComposeInclinedCarriagePattern() {
    static const char kLabel[] = "Inclined Carridge\r\n";
    S().Append(reinterpret_cast<const std::uint8_t*>(kLabel), static_cast<std::int32_t>(sizeof kLabel));
    svc::SendJobHeader(S(), 10, 1, 10, 1);
    for (int row = 0; row < 3; ++row) {
        for (int pass = 0; pass < 2; ++pass) {
            static constexpr bool kMotifs[2][2][6] = {
                {{true, false, true, false, false, false}, {false, false, false, true, false, true}},
                {{false, true, false, false, false, false}, {false, false, false, false, true, false}}};
            const bool* motif = kMotifs[row == 1 ? 1 : 0][pass];
            svc::SendRasterResolution(S(), 104, 1, 2, 1);
            svc::SendRasterHeader(S(), svc::ink::Black, 1, 2, 1142, 96);
            for (int line = 0; line < 96; ++line)
                for (int m = 0; m < 3; ++m) {
                    if (m > 0)
                        for (const int gap : {125, 125, 125, 124}) svc::RepeatSend(S(), gap, 0x00);
                    for (int r = 0; r < 6; ++r) svc::RepeatSend(S(), 8, motif[r] ? 0xCC : 0x00);
                }
            svc::SendLineReturn(S());
            svc::SendVerticalMove(S(), 0);
            svc::SendDirection(S(), 0);
        }
        svc::SendVerticalMove(S(), 96);
    }
    svc::SendVerticalMove(S(), 110);
    svc::SendInitialize(S());
    S().Flush();
}

void ComposePixelShiftPattern() {
    static constexpr std::uint8_t kLines[6] = {svc::ink::Cyan,      svc::ink::Magenta,      svc::ink::Yellow,
                                               svc::ink::LightCyan, svc::ink::LightMagenta, svc::ink::Gray};
    // Dots of 1/1440 inch across: a candidate's tick is one 2-bit dot.
    static constexpr int kDotsPerCandidate = kShiftCandidatePitch / 10;
    static constexpr int kFirstDot = kShiftFirstCandidate / 10;
    static constexpr int kBytes = (kFirstDot + 11 * kDotsPerCandidate) / 4 + 2;
    for (const std::uint8_t colour : kLines) {
        svc::SendLineFeeds(S(), 1);
        for (int part = 0; part < 2; ++part) {
            svc::SendJobHeader(S(), 10, 1, 10, 1);
            svc::SendRasterResolution(S(), 160, 5, 8, 1);
            svc::SendRasterHeader(S(), part == 0 ? svc::ink::Black : colour, 1, 2, kBytes, 24);
            for (int line = 0; line < 24; ++line) {
                std::vector<std::uint8_t> row(kBytes, 0);
                for (int c = -5; c <= 5; ++c) {
                    const int dot = kFirstDot + (c + 5) * kDotsPerCandidate - (part == 0 ? 0 : c);
                    row[static_cast<std::size_t>(dot / 4)] |= static_cast<std::uint8_t>(0xC0 >> (2 * (dot % 4)));
                }
                RowRuns(row);
            }
            svc::SendVerticalMove(S(), 48);  // 24 lines of 1/180 inch: the colour's ticks right below
        }
        svc::SendVerticalMove(S(), 24);
    }
    svc::SendEndOfJob(S());
}

void ComposeCutPattern() {
    // The pattern cuts at value 0 for itself.
    svc::RemoteComm().EnterRemoteMode();
    const std::uint8_t dd[9] = {'D', 'D', 0x05, 0x00, 0x00, 0x10, 0x00, 0x00, 0x02};
    S().Append(dd, 9);
    svc::RemoteComm().ExitRemoteMode();
    // The marks: entry k's tick is centred 72 - (72 - 8k) = 8k units of
    // 1/360 inch above the form feed's position, which is where value
    // 72 - 8k cuts; 16 units long. Top to bottom: entry 17 (value -64) to 1.
    svc::SendJobHeader(S(), 10, 1, 10, 1);
    svc::SendLineFeeds(S(), 3);
    svc::SendVerticalMove(S(), 200);
    const int bytes = (kCutMarkLeft + 17 * kCutMarkPitch) / 160 + 1;
    for (int entry = 17; entry >= 1; --entry) {
        svc::SendJobHeader(S(), 10, 1, 10, 1);
        svc::SendRasterResolution(S(), 104, 1, 2, 1);  // 1/360 across, 1/180 down
        svc::SendRasterHeader(S(), svc::ink::Black, 1, 2, static_cast<std::uint16_t>(bytes), 8);
        const int dot = (kCutMarkLeft + (17 - entry) * kCutMarkPitch) / 40;
        for (int line = 0; line < 8; ++line) {
            if (dot / 4 > 0) svc::RepeatSendLong(S(), dot / 4, 0x00);
            svc::RepeatSend(S(), 1, 0xFF);
            if (bytes - dot / 4 - 1 > 0) svc::RepeatSendLong(S(), bytes - dot / 4 - 1, 0x00);
        }
        svc::SendVerticalMove(S(), 8);  // the next mark's tick starts 8 units further down
    }
    // Entry 1's tick began 8 units above here; 8 more put its centre 8 units,
    // and entry k's centre 8k units, above the form feed.
    svc::SendVerticalMove(S(), 8);
    svc::SendEndOfJob(S());
}

void ComposePwPrint() {
    auto& factory = svc::Factory();
    auto frame = [] {
        svc::SendJobHeader(S(), 10, 0, 10, 0);
        for (int pass = 0; pass < 2; ++pass) {
            svc::SendRasterResolution(S(), 104, 1, 2, 1);
            svc::SendRasterHeader(S(), svc::ink::Black, 1, 2, 720, 96);
            for (int j = 0; j < 96; ++j) {
                if (j < 31 || j > 64 || j % 2 == 0) {
                    svc::RepeatSendLong(S(), 720, 0x00);
                    continue;
                }
                const int k = (j - 31) / 2;
                if (k > 0) svc::RepeatSendLong(S(), 42 * k, 0x00);
                svc::RepeatSendLong(S(), 40, 0xFF);
                svc::RepeatSendLong(S(), 680 - 42 * k, 0x00);
            }
        }
        svc::SendInitialize(S());
        S().Flush();
    };
    auto line = [](int p, bool advance) {
        svc::SendJobHeader(S(), 10, 0, 10, 0);
        svc::SendRasterResolution(S(), 104, 1, 2, 1);
        svc::SendRasterHeader(S(), svc::ink::Black, 1, 2, 33, 96);
        for (int j = 0; j < 96; ++j) {
            if (j < 8 || j > 87) {
                svc::RepeatSendLong(S(), 33, 0x00);
                continue;
            }
            svc::RepeatSendLong(S(), p + 12, 0x00);
            svc::RepeatSendLong(S(), 1, 0x03);
            svc::RepeatSendLong(S(), 20 - p, 0x00);
        }
        if (advance) svc::SendVerticalMove(S(), 81);
        svc::SendInitialize(S());
        S().Flush();
    };
    svc::RemoteComm().SendSNBlock();
    factory.CommandD1(0);
    svc::SendLineFeeds(S(), 1);
    S().Flush();
    factory.CommandC5(24, 1, 2100);
    factory.CommandC5(24, 0, 250);
    factory.MoveCarriage(4, 660, 0);
    factory.CommandF1(0, 1000, 599, 0);
    frame();
    svc::SendLineFeeds(S(), 3);
    Text("-16       -12      -8        -4        0        4         8        12       16", true);
    svc::SendLineFeeds(S(), 1);
    S().Flush();
    for (int r = 0; r <= 16; ++r) {
        factory.MoveCarriage(4, 59, 0);
        factory.CommandF2(1);
        line(r + 1, false);
        factory.MoveCarriage(4, 2300, 0);
        factory.CommandF2(0);
        line(r + 1, true);
        if (r % 2 == 0) {
            const int value = -8 + 2 * r;
            char label[80];
            const std::string v = std::to_string(value);
            std::snprintf(label, sizeof label, "%5d", value);
            std::string text = label;
            text += std::string(78 - 5 - v.size() - 1, ' ') + v + "\r";
            Text(text, false);
            S().Flush();
        }
        static constexpr std::uint8_t kRowEnd[23] = {0x1B, 0x40, 0x1B, 0x28, 0x47, 0x01, 0x00, 0x01,
                                                     0x1B, 0x28, 0x55, 0x01, 0x00, 0x0A, 0x1B, 0x28,
                                                     0x76, 0x02, 0x00, 0x51, 0x00, 0x1B, 0x40};
        S().Append(kRowEnd, 23);
        S().Flush();
    }
    svc::SendLineFeeds(S(), 10);
    Text(" 16        12       8        4         0        -4       -8       -12      -16\r", true);
    S().Flush();
    factory.MoveCarriage(4, 660, 0);
    factory.CommandF1(0, 5000, 33, 1);
    frame();
    factory.CommandD1(255);
    svc::SendEndOfJob(S());
}

}  // namespace vp::testing
