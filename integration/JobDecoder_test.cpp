#include "vprinter/engine/JobDecoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/VexRaster.h"
#include "link/VexRemoteComm.h"
#include "service/VexFactory.h"
#include "integration/testing/EngineTesting.h"

namespace vp {
namespace {

using Bytes = std::vector<std::uint8_t>;
using vp::testing::Wire;

// Writes every event as one short line, raster lines with their bytes in hex.
class Recorder : public JobVisitor {
public:
    std::vector<std::string> events;
    std::vector<Bytes> lines;
    std::string error;

    void OnReset() override { Add("reset"); }
    void OnGraphicsMode(int m) override { Add("graphics " + std::to_string(m)); }
    void OnUnit(const UnitSetting& u) override {
        Add("unit " + std::to_string(u.page) + "," + std::to_string(u.vertical) + "," + std::to_string(u.horizontal) +
            "/" + std::to_string(u.base));
    }
    void OnDirection(int m) override { Add("direction " + std::to_string(m)); }
    void OnDotSize(std::uint8_t s) override { Add("dot " + std::to_string(s)); }
    void OnColorMode(int m) override { Add("colour " + std::to_string(m)); }
    void OnVerticalMove(int a) override { Add("v " + std::to_string(a)); }
    void OnHorizontalMove(int a) override { Add("h " + std::to_string(a)); }
    void OnResolution(const RasterResolution& r) override {
        Add("res " + std::to_string(r.base) + " " + std::to_string(r.vertical) + " " + std::to_string(r.horizontal));
    }
    void OnRasterBegin(const RasterHeader& h) override {
        Add(std::string("raster ") + ColorName(h.color) + " " + std::to_string(h.bitsPerPixel) + " " +
            std::to_string(h.bytesPerLine) + "x" + std::to_string(h.lines));
    }
    void OnRasterLine(int, const std::uint8_t* data, std::size_t n) override { lines.emplace_back(data, data + n); }
    void OnRasterEnd() override { Add("end " + std::to_string(lines.size())); }
    void OnLineReturn() override { Add("ESC <"); }
    void OnCarriageReturn() override { Add("CR"); }
    void OnLineFeed() override { Add("LF"); }
    void OnFormFeed() override { Add("FF"); }
    void OnText(std::uint8_t b) override {
        if (!events.empty() && events.back().rfind("text ", 0) == 0)
            events.back() += static_cast<char>(b);
        else
            Add(std::string("text ") + static_cast<char>(b));
    }
    void OnRemoteEnter() override { Add("remote"); }
    void OnRemoteExit() override { Add("exit"); }
    void OnRemoteCommand(const RemoteCommand& c) override {
        std::string text = std::string("rc ") + c.name;
        for (auto b : c.params) text += " " + std::to_string(b);
        Add(text);
    }
    void OnFactory(const FactoryPacket& p) override {
        std::string text = "factory " + std::to_string(p.code);
        for (auto b : p.params) text += " " + std::to_string(b);
        Add(text);
    }
    void OnError(const std::string& reason) override { error = reason; }

private:
    void Add(std::string e) { events.push_back(std::move(e)); }
};

Recorder Decode(const Bytes& bytes, std::size_t chunk = 0, bool finish = true) {
    Recorder r;
    JobDecoder d;
    if (chunk == 0) chunk = bytes.size() == 0 ? 1 : bytes.size();
    for (std::size_t at = 0; at < bytes.size(); at += chunk)
        d.Feed(bytes.data() + at, std::min(chunk, bytes.size() - at), r);
    if (finish) d.Finish(r);
    return r;
}

Bytes JobWithEverything() {
    return Wire([] {
        auto& s = svc::JobStream();
        svc::SendJobHeader(s, 10, 1, 10, 1);
        svc::SendUnitExtended(s);
        svc::SendHorizontalMove(s, 3040);
        svc::SendRasterResolution(s, 104, 1, 2, 1);
        svc::SendRasterHeader(s, svc::ink::LightMagenta, 1, 2, 250, 2);
        for (int line = 0; line < 2; ++line) {
            svc::RepeatSendLong(s, 241, 0xFF);
            svc::RepeatSend(s, 1, 0xC0);
            svc::RepeatSend(s, 8, 0x00);
        }
        svc::SendLineReturn(s);
        svc::SendVerticalMove(s, 720);
        const std::uint8_t label[] = {'H', 'i', 0};
        s.Append(label, 3);
        svc::SendLineFeeds(s, 1);
        svc::SendEndOfJob(s);
    });
}

TEST(JobDecoder, ReadsEveryPrimitiveOfTheProgram) {
    const Recorder r = Decode(JobWithEverything());
    EXPECT_EQ(r.error, "");
    const std::vector<std::string> expected = {"reset",
                                               "graphics 1",
                                               "unit 10,10,10/3600",
                                               "direction 1",
                                               "dot 18",
                                               "colour 2",
                                               "unit 8,2,1/2880",
                                               "h 3040",
                                               "res 360 2 1",
                                               "raster light magenta 2 250x2",
                                               "end 2",
                                               "ESC <",
                                               "CR",
                                               "v 720",
                                               "text Hi",
                                               "CR",
                                               "LF",
                                               "FF"};
    EXPECT_EQ(r.events, expected);
    ASSERT_EQ(r.lines.size(), 2u);
    for (const Bytes& line : r.lines) {
        ASSERT_EQ(line.size(), 250u);
        EXPECT_EQ(std::count(line.begin(), line.begin() + 241, 0xFF), 241);
        EXPECT_EQ(line[241], 0xC0);
        EXPECT_EQ(std::count(line.begin() + 242, line.end(), 0x00), 8);
    }
}

TEST(JobDecoder, ChunkingDoesNotChangeWhatIsRead) {
    const Bytes job = JobWithEverything();
    const Recorder whole = Decode(job);
    for (std::size_t chunk : {1u, 2u, 7u, 999u}) {
        const Recorder parts = Decode(job, chunk);
        EXPECT_EQ(parts.events, whole.events) << "chunk " << chunk;
        EXPECT_EQ(parts.lines, whole.lines) << "chunk " << chunk;
    }
}

// Pauses once it has seen a given number of events (each text byte counts).
class PausingRecorder : public Recorder {
public:
    explicit PausingRecorder(std::size_t limit) : limit_(limit) {}
    void OnText(std::uint8_t b) override {
        ++texts_;
        Recorder::OnText(b);
    }
    bool Paused() const override { return events.size() + lines.size() + texts_ >= limit_; }
    void Release() { limit_ = static_cast<std::size_t>(-1); }

private:
    std::size_t limit_;
    std::size_t texts_ = 0;
};

// Runs of text and NUL bytes are taken together, yet a pause stops the
// decoder on the very byte it would stop on when fed one byte at a time.
TEST(JobDecoder, PausesOnTheSameByteWhetherFedWholeOrByteByByte) {
    Bytes job = {'A', 'B', 0, 0, 0, 'C', 'D', 0x0D, 0x0A, 0, 'E'};
    job.insert(job.end(), 21, 0x00);  // longer than the eight bytes skipped at once
    job.push_back('F');
    const Bytes rest = JobWithEverything();
    job.insert(job.end(), rest.begin(), rest.end());
    const Recorder full = Decode(job);
    ASSERT_EQ(full.error, "");
    for (std::size_t limit = 0; limit < 40; ++limit) {
        PausingRecorder single(limit);
        JobDecoder one;
        std::size_t expected = 0;
        while (expected < job.size()) {
            expected += one.Feed(&job[expected], 1, single);
            if (single.Paused()) break;
        }
        PausingRecorder whole(limit);
        JobDecoder d;
        const std::size_t taken = d.Feed(job.data(), job.size(), whole);
        EXPECT_EQ(taken, expected) << "limit " << limit;
        EXPECT_EQ(d.Offset(), taken) << "limit " << limit;
        EXPECT_EQ(whole.events, single.events) << "limit " << limit;
        // Released, the rest reads as if it had never paused.
        whole.Release();
        std::size_t at = taken;
        while (at < job.size()) at += d.Feed(job.data() + at, job.size() - at, whole);
        d.Finish(whole);
        EXPECT_EQ(whole.events, full.events) << "limit " << limit;
        EXPECT_EQ(whole.lines, full.lines) << "limit " << limit;
        EXPECT_EQ(whole.error, "") << "limit " << limit;
    }
}

TEST(JobDecoder, ReadsLiteralRunsAndUncompressedBlocks) {
    // A literal run of three bytes (counter 2) beside a repeat; then the same line raw.
    const Bytes job = {0x1B, 0x69, 0x00, 0x01, 0x02, 0x05, 0x00, 0x01, 0x00, 0x02, 0x11, 0x22, 0x33, 0xFF, 0x44,
                       0x1B, 0x69, 0x04, 0x00, 0x01, 0x05, 0x00, 0x01, 0x00, 0x11, 0x22, 0x33, 0x44, 0x44};
    const Recorder r = Decode(job);
    EXPECT_EQ(r.error, "");
    ASSERT_EQ(r.lines.size(), 2u);
    EXPECT_EQ(r.lines[0], (Bytes{0x11, 0x22, 0x33, 0x44, 0x44}));
    EXPECT_EQ(r.lines[1], r.lines[0]);
}

// The first dot pattern draws 96 one-byte lines with one run; a run may fill
// the rest of a line and go on into the next ones, but not past the block.
TEST(JobDecoder, RepeatedRunsGoOnIntoTheNextLinesOfTheBlock) {
    Bytes job = {0x1B, 0x69, 0x00, 0x01, 0x02, 0x01, 0x00, 0x60, 0x00, 0xA1, 0xC0};  // 96 x 0xC0 over 96 lines of 1
    const Bytes twoByThree = {0x1B, 0x69, 0x00, 0x01, 0x02, 0x02, 0x00, 0x03, 0x00, 0x00, 0x11, 0xFD, 0x22, 0x00, 0x33};
    job.insert(job.end(), twoByThree.begin(), twoByThree.end());  // 11, then 4 x 22 across lines, then 33
    const Recorder r = Decode(job);
    EXPECT_EQ(r.error, "");
    ASSERT_EQ(r.lines.size(), 99u);
    for (int i = 0; i < 96; ++i) EXPECT_EQ(r.lines[static_cast<std::size_t>(i)], Bytes{0xC0}) << i;
    EXPECT_EQ(r.lines[96], (Bytes{0x11, 0x22}));
    EXPECT_EQ(r.lines[97], (Bytes{0x22, 0x22}));
    EXPECT_EQ(r.lines[98], (Bytes{0x22, 0x33}));
    const Recorder past = Decode({0x1B, 0x69, 0x00, 0x01, 0x02, 0x01, 0x00, 0x60, 0x00, 0xA0, 0xC0});  // 97 for 96
    EXPECT_NE(past.error.find("overshoots the block's last"), std::string::npos) << past.error;
}

TEST(JobDecoder, ReadsRemoteModeFramesOfTheProgram) {
    svc::TPRemoteComm remote(svc::JobStream());
    const Recorder r = Decode(Wire([&] {
        remote.PrintNozzleCheck();
        remote.SetCutPosition(-64);
        remote.SendSNBlock();
    }));
    EXPECT_EQ(r.error, "");
    ASSERT_GE(r.events.size(), 12u);
    EXPECT_EQ(r.events[0], "text Nozzle check pattern");
    const std::vector<std::string> middle = {"CR", "LF", "remote", "rc NC 0 0",          "exit",  "CR",   "LF",
                                             "CR", "LF", "remote", "rc DD 0 16 0 192 2", "rc SV", "exit", "remote"};
    EXPECT_EQ(std::vector<std::string>(r.events.begin() + 1, r.events.begin() + 15), middle);
    EXPECT_EQ(r.events[15].substr(0, 9), "rc SN 0 4");
    EXPECT_EQ(r.events.back(), "exit");
}

TEST(JobDecoder, ReadsEveryFactoryCommandOfTheProgram) {
    const Recorder r = Decode(Wire([] {
        auto& f = svc::Factory();
        f.SetBidValue(0, 11, -3);
        f.SetPFValue(-4);
        f.ApplySettings();
        f.CarriageHome();
        f.StartExchangeSequence();
        f.StartCleaning(12);
        f.LeaveHome();
        f.MeasureCRDrive(4, 0, 1097);
        f.CommandD1(255);
        f.CommandF1(0, 5000, 33, 1);
        f.CommandF2(1);
    }));
    EXPECT_EQ(r.error, "");
    const std::vector<std::string> expected = {"factory 0 2 2 253 255",
                                               "factory 4 252",
                                               "factory 80",
                                               "factory 129",
                                               "factory 130 0 0 166 12 1 0 0 166 12 5 0 0 166 12 5 255 8",
                                               "factory 132 12",
                                               "factory 196 20 250 255 0",
                                               "factory 197 24 0 250 0",
                                               "factory 207 4 0 73 4",
                                               "factory 209 255",
                                               "factory 241 0 136 19 33 0 1",
                                               "factory 242 0"};
    EXPECT_EQ(r.events, expected);
}

struct Malformed {
    const char* name;
    Bytes bytes;
    const char* reason;  // part of the logged reason
};

class JobDecoderRefuses : public ::testing::TestWithParam<Malformed> {};

TEST_P(JobDecoderRefuses, StopsWithAReason) {
    const Malformed& m = GetParam();
    Recorder r;
    JobDecoder d;
    d.Feed(m.bytes.data(), m.bytes.size(), r);
    d.Finish(r);
    EXPECT_TRUE(d.Failed());
    EXPECT_NE(r.error.find(m.reason), std::string::npos) << r.error;
    // A failed decoder reads nothing more until it is reset.
    const std::uint8_t reset[] = {0x1B, 0x40};
    EXPECT_EQ(d.Feed(reset, 2, r), 0u);
    d.Reset();
    EXPECT_EQ(d.Feed(reset, 2, r), 2u);
    EXPECT_FALSE(d.Failed());
}

const Bytes kFactoryHome = {0x1B, 0x7C, 0x00, 0x05, 0x00, 0x06, 0x16, 0x81, 0x7E, 0xC0};

Bytes With(Bytes bytes, std::size_t at, std::uint8_t value) {
    bytes[at] = value;
    return bytes;
}

Bytes SnFrameWithChecksum(std::uint8_t low) {
    Bytes frame = Wire([] { svc::TPRemoteComm(svc::JobStream()).SendSNBlock(); });
    frame[frame.size() - 6] = low;  // the checksum's low byte sits before the exit sequence
    return frame;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, JobDecoderRefuses,
    ::testing::Values(
        Malformed{
            "RunOvershootsLine", {0x1B, 0x69, 0x00, 0x01, 0x02, 0x02, 0x00, 0x01, 0x00, 0xFE, 0xFF}, "overshoots"},
        Malformed{"LiteralOvershootsLine",
                  {0x1B, 0x69, 0x00, 0x01, 0x02, 0x02, 0x00, 0x01, 0x00, 0x02, 1, 2, 3},
                  "overshoots"},
        Malformed{"BlockLinesDoNotAddUp",
                  {0x1B, 0x69, 0x00, 0x01, 0x02, 0x02, 0x00, 0x03, 0x00, 0xFF, 0xFF},
                  "after 1 of the 3 lines"},
        Malformed{"BlockWithoutLines", {0x1B, 0x69, 0x00, 0x01, 0x02, 0x02, 0x00, 0x00, 0x00}, "without any data"},
        Malformed{"UnknownColour", {0x1B, 0x69, 0x03, 0x01, 0x02, 0x02, 0x00, 0x01, 0x00}, "unknown colour"},
        Malformed{"ThreeBitsPerPixel", {0x1B, 0x69, 0x00, 0x01, 0x03, 0x02, 0x00, 0x01, 0x00}, "3 bits per pixel"},
        Malformed{"UnknownSequence", {0x1B, 0x5A}, "unknown sequence ESC 0x5A"},
        Malformed{"UnknownParenSequence", {0x1B, 0x28, 0x5A, 0x01, 0x00, 0x00}, "unknown sequence ESC ( 0x5A"},
        Malformed{"WrongParameterLength", {0x1B, 0x28, 0x47, 0x02, 0x00, 0x01, 0x01}, "parameter length of 2"},
        Malformed{"UnknownDotSize", {0x1B, 0x28, 0x65, 0x02, 0x00, 0x00, 0x20}, "dot size"},
        Malformed{"PaperBackwards", {0x1B, 0x28, 0x76, 0x02, 0x00, 0xFF, 0xFF}, "back"},
        Malformed{"ControlByteInText", {'A', 0x07}, "control byte 0x07"},
        Malformed{"FactoryHeaderByte2", With(kFactoryHome, 2, 0x01), "byte 2"},
        Malformed{"FactoryHeaderBytes5And6", With(kFactoryHome, 5, 0x07), "bytes 5-6"},
        Malformed{"FactoryComplement", With(kFactoryHome, 8, 0x7F), "complement"},
        Malformed{"FactoryRotatedCode", With(kFactoryHome, 9, 0x40), "rotated"},
        Malformed{
            "FactoryUnknownCode", {0x1B, 0x7C, 0x00, 0x05, 0x00, 0x06, 0x16, 0x99, 0x66, 0xCC}, "unknown factory"},
        Malformed{
            "FactoryWrongLength", {0x1B, 0x7C, 0x00, 0x06, 0x00, 0x06, 0x16, 0x81, 0x7E, 0xC0, 0x00}, "expected 10"},
        Malformed{"FactoryImpossibleLength", {0x1B, 0x7C, 0x00, 0xFF, 0x7F}, "impossible"},
        Malformed{
            "RemoteSignature", {0x1B, 0x28, 0x52, 0x08, 0x00, 0x00, 'R', 'E', 'M', 'O', 'T', 'E', '2'}, "signature"},
        Malformed{"UnknownRemoteCommand",
                  {0x1B, 0x28, 0x52, 0x08, 0x00, 0x00, 'R', 'E', 'M', 'O', 'T', 'E', '1', 'X', 'X', 0, 0},
                  "unknown remote"},
        Malformed{"RemoteWithoutExit", {0x1B, 0x28, 0x52, 0x08, 0x00, 0x00, 'R', 'E', 'M', 'O', 'T', 'E', '1'}, "exit"},
        Malformed{"SnChecksum", SnFrameWithChecksum(0x8F), "checksum"},
        Malformed{"CutShortSequence", {0x1B, 0x28, 0x76, 0x02}, "inside a sequence"}),
    [](const ::testing::TestParamInfo<Malformed>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vp
