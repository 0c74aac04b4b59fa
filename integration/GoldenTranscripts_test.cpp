// The golden transcripts are kept readable: each send split into the job
// commands the printer reads in it, every byte still there. The bytes of a
// readable transcript come back exactly, each golden file is the readable
// form of its own bytes, and both readers of the files (the printer's and the
// adjustment tests') take the same bytes from them.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "adjust/CheckAdjustTesting.h"
#include "vprinter/Transcript.h"
#include "vprinter/engine/CaptureDecoder.h"

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Readable form and back: the same bytes, and what the readable form says.
std::string RoundTrip(const std::string& plain) {
    const std::string readable = vp::ReadableTranscript(plain);
    const vp::Transcript back = vp::RawTranscript(readable);
    EXPECT_TRUE(back.Ok()) << back.error << "\n" << readable;
    EXPECT_EQ(back.text, plain) << readable;
    std::string error;
    EXPECT_EQ(svc::testing::PlainTranscript(readable, error), plain) << error << "\n" << readable;
    return readable;
}

TEST(ReadableTranscript, JobCommandsEachOnALineWithTheirBytes) {
    const std::string plain =
        "status\n"
        "eeprom_read 60\n"
        "data 14 1B 40 1B 28 47 01 00 01 41 42 43 0D 0A 0C\n"
        "eeprom_write 6A 06\n";
    const std::string readable = RoundTrip(plain);
    EXPECT_TRUE(Has(readable, "status\neeprom_read 60\ndata 14\n")) << readable;
    EXPECT_TRUE(Has(readable, "\n  1B 40 ")) << readable;
    EXPECT_TRUE(Has(readable, "ESC @ reset")) << readable;
    EXPECT_TRUE(Has(readable, "\n  1B 28 47 01 00 01 ")) << readable;
    EXPECT_TRUE(Has(readable, "graphics mode 1")) << readable;
    EXPECT_TRUE(Has(readable, "\n  41 42 43 ")) << readable;
    EXPECT_TRUE(Has(readable, "text \"ABC\"")) << readable;
    EXPECT_TRUE(Has(readable, "FF eject page")) << readable;
    EXPECT_TRUE(Has(readable, "\neeprom_write 6A 06\n")) << readable;
}

TEST(ReadableTranscript, CommandsCutBetweenSendsRasterAndLongRunsKeepEveryByte) {
    // ESC ( G cut after its third byte; a raw raster block of two lines; a
    // text run longer than one line of hex.
    std::string plain = "data 3 1B 28 47\ndata 3 01 00 01\n";
    plain += "data 13 1B 69 00 00 02 02 00 02 00 AA 00 FF 00\n";
    plain += "data 40";
    for (int i = 0; i < 40; ++i) plain += " 61";
    plain += "\ndata 0\n";
    const std::string readable = RoundTrip(plain);
    EXPECT_TRUE(Has(readable, "continues in the next send")) << readable;
    EXPECT_TRUE(Has(readable, "(completes the command above)")) << readable;
    EXPECT_TRUE(Has(readable, "raster line 0")) << readable;
    EXPECT_TRUE(Has(readable, "raster line 1")) << readable;
    EXPECT_TRUE(Has(readable, "\ndata 0\n")) << readable;
    // 40 bytes of text take three lines of hex: 16, 16 and 8.
    EXPECT_TRUE(Has(readable, "\n  61 61 61 61 61 61 61 61\n")) << readable;
}

TEST(ReadableTranscript, BytesTheDecoderRefusesAndRefusedSendsStayAsHex) {
    const std::string plain =
        "refused data 2 1B 40\n"
        "data 6 1B 40 1B FE 41 42\n"
        "data 2 0D 0A\n"
        "data x 1B\n"
        "something else\n";
    const std::string readable = RoundTrip(plain);
    EXPECT_TRUE(Has(readable, "refused data 2\n  1B 40 ")) << readable;
    EXPECT_TRUE(Has(readable, "refused, not decoded")) << readable;
    EXPECT_TRUE(Has(readable, "ERROR")) << readable;
    EXPECT_TRUE(Has(readable, "undecoded")) << readable;
    // Lines it does not know are kept as they are.
    EXPECT_TRUE(Has(readable, "\ndata x 1B\nsomething else\n")) << readable;
}

TEST(RawTranscript, PlainTranscriptsStayAsTheyAreAndBrokenReadableOnesAreReported) {
    const std::string plain = "status\ndata 2 1B 40\neeprom_write 01 02\n";
    EXPECT_EQ(vp::RawTranscript(plain).text, plain);

    const std::string shortHex = "status\ndata 3\n  1B 40                                            ESC @ reset\n";
    const vp::Transcript a = vp::RawTranscript(shortHex);
    EXPECT_FALSE(a.Ok());
    EXPECT_TRUE(Has(a.error, "line 2")) << a.error;
    EXPECT_TRUE(Has(a.error, "2 bytes")) << a.error;
    std::string error;
    EXPECT_EQ(svc::testing::PlainTranscript(shortHex, error), "");
    EXPECT_TRUE(Has(error, "2 bytes")) << error;

    const std::string notHex = "data 2\n  1B ZZ                                            ?\n";
    EXPECT_FALSE(vp::RawTranscript(notHex).Ok());
    error.clear();
    EXPECT_EQ(svc::testing::PlainTranscript(notHex, error), "");
    EXPECT_FALSE(error.empty());

    // A golden file compared through its bytes: a readable one with other
    // bytes differs, the same bytes match.
    const fs::path dir = fs::temp_directory_path() / ("svc_golden_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "g.txt") << vp::ReadableTranscript(plain);
    EXPECT_EQ(vp::CompareWithGolden(dir.string(), "g.txt", plain), "");
    EXPECT_NE(vp::CompareWithGolden(dir.string(), "g.txt", "status\ndata 2 1B 41\neeprom_write 01 02\n"), "");
    fs::remove_all(dir);
}

// Every golden file of the tree is the readable form of its own bytes
// (SVC_UPDATE_GOLDEN=1 rewrites them so), and both readers agree on them.
TEST(GoldenFiles, AreReadableAndHoldTheSameBytesForEveryReader) {
    const bool update = [] {
        const char* u = std::getenv("SVC_UPDATE_GOLDEN");
        return u && std::string(u) == "1";
    }();
    int files = 0;
    for (const char* folder : {"adjust/golden", "eeprom/golden", "integration/golden", "vprinter/golden"}) {
        const fs::path dir = fs::path(SVC_SOURCE_DIR) / folder;
        ASSERT_TRUE(fs::is_directory(dir)) << dir;
        for (const auto& entry : fs::directory_iterator(dir)) {
            if (entry.path().extension() != ".txt") continue;
            ++files;
            const std::string text = ReadFile(entry.path());
            const vp::Transcript raw = vp::RawTranscript(text);
            ASSERT_TRUE(raw.Ok()) << entry.path() << ": " << raw.error;
            std::string error;
            EXPECT_EQ(svc::testing::PlainTranscript(text, error), raw.text) << entry.path() << ": " << error;
            const std::string readable = vp::ReadableTranscript(raw.text);
            ASSERT_EQ(vp::RawTranscript(readable).text, raw.text) << entry.path();
            if (update) {
                if (readable != text) std::ofstream(entry.path(), std::ios::binary | std::ios::trunc) << readable;
                continue;
            }
            EXPECT_TRUE(readable == text)
                << entry.path() << " is not in the readable form of its bytes (tools/update-goldens.sh)";
        }
    }
    EXPECT_GT(files, 20);
}

}  // namespace
