// Transcripts read from captures: what the host's library calls were, through
// the real channel library against an in-process printer, and from captures
// made by hand for the cases a well-behaved host never produces.
#include "vprinter/Transcript.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "chanlink/Capture.h"
#include "chanlink/Messages.h"
#include "chanlink/Packet.h"
#include "chanlink/ChannelApi.h"
#include "hostbridge/PortSwitch.h"
#include "vprinter/DirectTransport.h"
#include "vprinter/Printer.h"

namespace vp {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes Packet(std::uint8_t socket, const Bytes& payload) {
    return d4::EncodePacket(socket, socket, 0, payload.data(), payload.size());
}

// A capture held in memory, written record by record.
struct CaptureBytes {
    Bytes bytes{std::begin(d4::kCaptureMagic), std::end(d4::kCaptureMagic)};
    void Add(int direction, const Bytes& packet) {
        for (int i = 0; i < 8; ++i) bytes.push_back(0);
        bytes.push_back(static_cast<std::uint8_t>(direction));
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(packet.size() >> (8 * i)));
        bytes.insert(bytes.end(), packet.begin(), packet.end());
    }
};

class InProcessTranscript : public ::testing::Test {
protected:
    void SetUp() override {
        PortCloseByOsSw();
        ASSERT_EQ(PortOpenByOsSw(1028), 1);
        ASSERT_EQ(D4Negotiation(), 1);
    }
    void TearDown() override {
        D4Termination();
        PortCloseByOsSw();
    }
    Printer printer{Printer::Options{}, Eeprom::Factory(1)};
    InProcessPorts ports{printer};
};

TEST_F(InProcessTranscript, OneLinePerCallAndNothingOfTheChannel) {
    TranscriptRecorder recorder(printer);
    const Bytes small{0x1B, 0x40, 0x0A};
    std::uint8_t value = 0;
    std::uint8_t record[52];
    ASSERT_EQ(SendDataChannel(small.data(), 3), 1);
    ASSERT_EQ(SendDataChannel(small.data(), 0), 1);  // sends nothing at all
    ASSERT_EQ(D4ReadEeprom(0xE0, &value), 1);
    ASSERT_EQ(D4WriteEeprom(0x6e, 0xab), 1);
    ASSERT_EQ(InquireStatus(record), 1);
    // A send longer than one packet is still one call; the next short one is another.
    Bytes big(2500);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i);
    ASSERT_EQ(SendDataChannel(big.data(), static_cast<std::uint32_t>(big.size())), 1);
    ASSERT_EQ(SendDataChannel(small.data(), 2), 1);
    D4Termination();

    const std::string text = recorder.Text();
    std::string expectedBig = "data 2500";
    for (std::size_t i = 0; i < big.size(); ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X", big[i]);
        expectedBig += std::string(" ") + hex;
    }
    EXPECT_EQ(text,
              "data 3 1B 40 0A\n"
              "eeprom_read E0\n"
              "eeprom_write 6E AB\n"
              "status\n" +
                  expectedBig + "\ndata 2 1B 40\n");
}

TEST_F(InProcessTranscript, ARefusedSendShowsOnceItGoesThrough) {
    TranscriptRecorder recorder(printer);
    const Bytes block{0x01, 0x02};
    printer.RefuseNextBlock(0x33);
    // Credit granted at negotiation lets the first block through; spend it all.
    std::uint16_t r = 1;
    int sent = 0;
    while (r == 1 && sent < 5000) {
        r = SendDataChannel(block.data(), 2);
        if (r == 1) ++sent;
    }
    ASSERT_NE(r, 1);
    ASSERT_EQ(SendDataChannel(block.data(), 2), 1);
    std::string expected;
    for (int i = 0; i <= sent; ++i) expected += "data 2 01 02\n";
    EXPECT_EQ(recorder.Text(), expected);
}

// How a feature test keeps its transcript: a file under golden/, rewritten
// with SVC_UPDATE_GOLDEN=1 when the conversation is meant to change.
TEST_F(InProcessTranscript, MatchesItsGoldenFile) {
    TranscriptRecorder recorder(printer);
    std::uint8_t value = 0;
    for (std::uint8_t a : {0x20, 0x21}) ASSERT_EQ(D4ReadEeprom(a, &value), 1);
    ASSERT_EQ(D4WriteEeprom(0x20, 0x00), 1);
    ASSERT_EQ(D4WriteEeprom(0x21, 0x00), 1);
    const std::uint8_t eject[] = {0x0C};
    ASSERT_EQ(SendDataChannel(eject, 1), 1);
    const std::string diff = CompareWithGolden(VPRINTER_GOLDEN_DIR, "transcript_example.txt", recorder.Text());
    EXPECT_EQ(diff, "");
}

TEST_F(InProcessTranscript, NothingWhileThePowerIsOff) {
    TranscriptRecorder recorder(printer);
    printer.SetPower(false);
    std::uint8_t value = 0;
    EXPECT_NE(D4ReadEeprom(0x20, &value), 1);
    EXPECT_EQ(recorder.Text(), "");
}

TEST(Transcript, SendsEndAtAShortPacketOrAnotherRequest) {
    CaptureBytes c;
    const Bytes full(1024, 0x11);
    c.Add(0, Packet(2, full));
    c.Add(0, Packet(0, {0x04, 0x02, 0x02, 0x00, 0x10}));  // CreditRequest between runs
    c.Add(1, Packet(0, {0x84, 0x00, 0x02, 0x02, 0x00, 0x10}));
    c.Add(0, Packet(2, {0x22}));
    c.Add(0, Packet(2, full));  // full, then a status request: it ends there
    c.Add(0, Packet(3, {0x20}));
    c.Add(0, Packet(2, {}));  // an empty packet is an empty send
    const Transcript t = TranscriptOf(c.bytes);
    ASSERT_TRUE(t.Ok()) << t.error;
    std::istringstream lines(t.text);
    std::string line;
    std::vector<std::string> got;
    while (std::getline(lines, line)) got.push_back(line.substr(0, line.find(' ', 5)));
    EXPECT_EQ(got, (std::vector<std::string>{"data 1025", "data 1024", "status", "data 0"}));
}

TEST(Transcript, FollowsTheNegotiatedSocketsAndPacketSize) {
    CaptureBytes c;
    c.Add(0, Packet(0, {0x09, 'S', 'V', 'C', '-', 'P', 'R', 'I', 'N', 'T', '-', 'D', 'A', 'T', 'A'}));
    c.Add(1, Packet(0, {0x89, 0x00, 0x05, 'S', 'V', 'C', '-', 'P', 'R', 'I', 'N', 'T', '-', 'D', 'A', 'T', 'A'}));
    c.Add(0, Packet(0, {0x01, 0x05, 0x05, 0x00, 0x10, 0x00, 0x10}));
    c.Add(1, Packet(0, {0x81, 0x00, 0x05, 0x05, 0x00, 0x0A, 0x00, 0x10, 0x00, 0x01}));  // 4 bytes per packet
    c.Add(0, Packet(5, {1, 2, 3, 4}));
    c.Add(0, Packet(5, {5, 6}));
    c.Add(0, Packet(2, {9}));  // no longer the data socket: not a call
    const Transcript t = TranscriptOf(c.bytes);
    EXPECT_EQ(t.text, "data 6 01 02 03 04 05 06\n");
}

TEST(Transcript, BadCapturesSayWhyAndKeepWhatWasRead) {
    EXPECT_FALSE(TranscriptOf(Bytes{1, 2, 3}).Ok());
    EXPECT_FALSE(TranscriptOfFile("/nonexistent/capture").Ok());
    CaptureBytes c;
    c.Add(0, Packet(3, {0x10, 0x20}));
    Bytes cut = Packet(0, {0x00, 0x10});
    cut.resize(5);
    c.Add(0, cut);                // a packet cut short by a reset
    c.Add(0, Packet(3, {0x10}));  // malformed control message
    c.Add(0, Packet(3, {0x11, 0x01, 0x02}));
    c.bytes.resize(c.bytes.size() + 3);  // a truncated record at the end
    const Transcript t = TranscriptOf(c.bytes);
    EXPECT_FALSE(t.Ok());
    EXPECT_EQ(t.text, "eeprom_read 20\neeprom_write 01 02\n");
}

TEST(Golden, ComparesAndRewritesOnRequest) {
    const fs::path dir = fs::temp_directory_path() / ("vp-golden-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    ::unsetenv("SVC_UPDATE_GOLDEN");
    EXPECT_NE(CompareWithGolden(dir.string(), "a.txt", "x\n").find("SVC_UPDATE_GOLDEN=1"), std::string::npos);
    ::setenv("SVC_UPDATE_GOLDEN", "1", 1);
    EXPECT_EQ(CompareWithGolden(dir.string(), "a.txt", "status\ndata 1 00\n"), "");
    ::unsetenv("SVC_UPDATE_GOLDEN");
    EXPECT_EQ(CompareWithGolden(dir.string(), "a.txt", "status\ndata 1 00\n"), "");
    const std::string diff = CompareWithGolden(dir.string(), "a.txt", "status\ndata 1 01\n");
    EXPECT_NE(diff.find("line 2"), std::string::npos) << diff;
    EXPECT_NE(diff.find("data 1 01"), std::string::npos) << diff;
    fs::remove_all(dir);
}

}  // namespace
}  // namespace vp
