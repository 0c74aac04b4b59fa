#include "link/VexRaster.h"

#include "link/ErrorDetails.h"
#include "link/VexStatusControl.h"
#include "link/testing/FakeOutside.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <numeric>

namespace svc {
namespace {

using fake::Fake;
using fake::Fn;
using Bytes = std::vector<std::uint8_t>;

const char* const kPaperPrompt =
    "Paper not loaded correctly.\nReload the paper and press the Paper button on the printer.\n"
    "Then click the [OK] button on the screen.";

Bytes Pattern(int n, int seed = 0) {
    Bytes b(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) b[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>((i * 7 + seed) & 0xFF);
    return b;
}

std::vector<std::size_t> SendSizes() {
    std::vector<std::size_t> sizes;
    for (const auto& s : Fake().Sends()) sizes.push_back(s.size());
    return sizes;
}

class JobStreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        Fake().Reset();
        Status().Clear();
    }
    fake::ScriptedHost host;
    TPRaster stream;
};

TEST_F(JobStreamTest, SendsInBlocksOfExactlyOneThousand) {
    const Bytes data = Pattern(999);
    EXPECT_EQ(stream.Append(data.data(), 999), rc::Ok);
    EXPECT_TRUE(Fake().Sends().empty());
    EXPECT_EQ(stream.Count(), 999);
    EXPECT_EQ(stream.Flush(), rc::Ok);
    EXPECT_EQ(Fake().Sends(), std::vector<Bytes>{data});
    EXPECT_EQ(stream.Count(), 0);

    Fake().ClearCalls();
    const Bytes block = Pattern(1000, 3);
    EXPECT_EQ(stream.Append(block.data(), 1000), rc::Ok);
    EXPECT_EQ(Fake().Sends(), std::vector<Bytes>{block});
    EXPECT_EQ(stream.Count(), 0);
    EXPECT_THAT(Bytes(stream.Buffer(), stream.Buffer() + TPRaster::kCapacity), ::testing::Each(0));
    // A flush of an empty stream still goes out, as a send of nothing.
    EXPECT_EQ(stream.Flush(), rc::Ok);
    EXPECT_EQ(SendSizes(), (std::vector<std::size_t>{1000, 0}));
}

TEST_F(JobStreamTest, KeepsByteOrderAcrossBlockBoundaries) {
    const Bytes all = Pattern(2500, 11);
    for (int at = 0; at < 2500; at += 700) ASSERT_EQ(stream.Append(all.data() + at, std::min(700, 2500 - at)), rc::Ok);
    ASSERT_EQ(stream.Flush(), rc::Ok);
    EXPECT_EQ(SendSizes(), (std::vector<std::size_t>{1000, 1000, 500}));
    EXPECT_EQ(Fake().AcceptedBytes(), all);
}

TEST_F(JobStreamTest, BusyPrinterGetsTheSameBlockAgainEvery500Ms) {
    Fake().RefuseSends(2);
    Fake().SetStatus(fake::MakeStatus(state::Busy));
    const Bytes block = Pattern(1000);
    EXPECT_EQ(stream.Append(block.data(), 1000), rc::Ok);

    EXPECT_EQ(Fake().Sends(), (std::vector<Bytes>{block, block, block}));
    EXPECT_EQ(Fake().CallCount(Fn::InquireStatus), 2);
    EXPECT_EQ(host.Sleeps(), (std::vector<int>{500, 500}));
    EXPECT_TRUE(host.Boxes().empty());
    // Each pause lies between the status read and the next send.
    const auto& calls = Fake().Calls();
    for (const auto& pause : host.Pauses()) {
        ASSERT_LT(pause.callsBefore, calls.size());
        EXPECT_EQ(calls[pause.callsBefore - 1].fn, Fn::InquireStatus);
        EXPECT_EQ(calls[pause.callsBefore].fn, Fn::SendDataChannel);
    }
    EXPECT_EQ(stream.Count(), 0);
}

TEST_F(JobStreamTest, PromptsForPaperBeforeEveryRetryWhilePaperIsOut) {
    Fake().RefuseSends(3);
    Fake().QueueStatus({fake::MakeStatus(state::Error, kPaperOutError), fake::MakeStatus(state::Error, kPaperOutError),
                        fake::MakeStatus(state::Busy)});
    const Bytes data = Pattern(10);
    ASSERT_EQ(stream.Append(data.data(), 10), rc::Ok);
    EXPECT_EQ(stream.Flush(), rc::Ok);

    ASSERT_EQ(host.Boxes().size(), 2u);
    for (const auto& box : host.Boxes()) {
        EXPECT_EQ(box.owner, BoxOwner::MainWindow);
        EXPECT_EQ(box.text, kPaperPrompt);
        EXPECT_EQ(box.caption, "Error");
        EXPECT_EQ(box.icon, BoxIcon::Error);
        EXPECT_EQ(box.buttons, BoxButtons::Ok);
    }
    EXPECT_LT(host.Boxes()[0].callsBefore, host.Pauses()[0].callsBefore + 1);
    EXPECT_EQ(host.Sleeps(), (std::vector<int>{500, 500, 500}));
    EXPECT_EQ(Fake().Sends().size(), 4u);
}

TEST_F(JobStreamTest, RefusalsThatAreNotBusyEndTheSendAndKeepTheBytes) {
    const Bytes data = Pattern(20);
    ASSERT_EQ(stream.Append(data.data(), 20), rc::Ok);

    Fake().RefuseSends(1, 52);
    EXPECT_EQ(stream.Flush(), rc::Channel);
    EXPECT_EQ(Fake().CallCount(Fn::InquireStatus), 0);

    Fake().SetStatus(fake::MakeStatus(state::Error, 4));
    Fake().RefuseSends(1);
    EXPECT_EQ(stream.Flush(), rc::PrinterError);
    EXPECT_TRUE(host.Boxes().empty());

    Fake().RefuseSends(1);
    Fake().SetResultOnCall(Fn::InquireStatus, 2, 0x1000);
    EXPECT_EQ(stream.Flush(), 0x1000);

    Fake().SetResultOnCall(Fn::SendDataChannel, 4, 0x3000);
    EXPECT_EQ(stream.Flush(), 0x3000);

    EXPECT_TRUE(host.Sleeps().empty());
    EXPECT_EQ(stream.Count(), 20);
    EXPECT_EQ(Bytes(stream.Buffer(), stream.Buffer() + 20), data);
}

TEST_F(JobStreamTest, FailedSendGoesOutAheadOfTheNextBytes) {
    Fake().SetResultOnCall(Fn::SendDataChannel, 1, 0x3000);
    const Bytes first = Pattern(995);
    const Bytes second = Pattern(10, 5);
    ASSERT_EQ(stream.Append(first.data(), 995), rc::Ok);
    // The block fills at the fifth byte; its send fails and the other five are not taken.
    EXPECT_EQ(stream.Append(second.data(), 10), 0x3000);
    EXPECT_EQ(stream.Count(), 1000);

    // The next byte joins the waiting block, which then goes out as 1001 bytes.
    const Bytes third = Pattern(3, 9);
    EXPECT_EQ(stream.Append(third.data(), 3), rc::Ok);
    Bytes expected = first;
    expected.insert(expected.end(), second.begin(), second.begin() + 5);
    expected.push_back(third[0]);
    EXPECT_EQ(Fake().AcceptedBytes(), expected);
    EXPECT_EQ(stream.Count(), 2);
}

TEST_F(JobStreamTest, NeverWritesPastItsBufferWhileSendsKeepFailing) {
    Fake().SetResult(Fn::SendDataChannel, 0x3000);
    const Bytes block = Pattern(1000);
    EXPECT_EQ(stream.Append(block.data(), 1000), 0x3000);
    for (int i = 0; i < 24; ++i) {
        const std::uint8_t b = static_cast<std::uint8_t>(0xA0 + i);
        EXPECT_EQ(stream.Append(&b, 1), 0x3000);
    }
    EXPECT_EQ(stream.Count(), TPRaster::kCapacity);

    // Full: the byte is refused with the send's code and nothing moves.
    const std::uint8_t extra = 0xEE;
    Fake().ClearCalls();
    EXPECT_EQ(stream.Append(&extra, 1), 0x3000);
    EXPECT_EQ(stream.Count(), TPRaster::kCapacity);
    EXPECT_EQ(SendSizes(), std::vector<std::size_t>{1024});

    // Once the printer takes data again, the full buffer leaves first.
    Fake().SetResult(Fn::SendDataChannel, rc::Ok);
    Fake().ClearCalls();
    EXPECT_EQ(stream.Append(&extra, 1), rc::Ok);
    ASSERT_EQ(SendSizes(), std::vector<std::size_t>{1024});
    EXPECT_EQ(Fake().Sends()[0].back(), 0xA0 + 23);
    EXPECT_EQ(stream.Count(), 1);
    EXPECT_EQ(stream.Buffer()[0], extra);
}

using JobStreamDeathTest = JobStreamTest;

TEST_F(JobStreamDeathTest, AppendOfMoreThanOneBlockEndsTheProgramWithAnError) {
    const Bytes data(1001, 0);
    EXPECT_EXIT(stream.Append(data.data(), 1001), ::testing::ExitedWithCode(EXIT_FAILURE), "at most 1000");

    // A count so large that adding it to the bytes already held would
    // overflow must meet the same check, not slip past it into a copy.
    ASSERT_EQ(stream.Append(data.data(), 1), rc::Ok);
    EXPECT_EXIT(stream.Append(data.data(), std::numeric_limits<int>::max()), ::testing::ExitedWithCode(EXIT_FAILURE),
                "at most 1000");
}

class PrintFileTest : public JobStreamTest {
protected:
    void SetUp() override {
        JobStreamTest::SetUp();
        dir_ =
            std::filesystem::temp_directory_path() / ("svc_printfile_" + std::to_string(::getpid()) + "_" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // A print job's bytes: a reset, then the pattern.
    static Bytes Job(int n, int seed = 0) {
        Bytes b = Pattern(n, seed);
        const Bytes reset{0x1B, 0x40};
        std::copy_n(reset.begin(), std::min<std::size_t>(b.size(), reset.size()), b.begin());
        return b;
    }
    std::string Write(const Bytes& content) {
        const auto path = dir_ / "job.prn";
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
        return path.string();
    }
    std::filesystem::path dir_;
};

TEST_F(PrintFileTest, SendsTheFileInChunksOfOneThousand) {
    const struct {
        int size;
        std::vector<std::size_t> chunks;
    } cases[] = {{0, {}}, {1000, {1000}}, {2500, {1000, 1000, 500}}, {2, {2}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        Fake().Reset();
        const Bytes content = Job(c.size, c.size);
        EXPECT_EQ(stream.SendPrintFile(Write(content)), rc::Ok);
        EXPECT_EQ(SendSizes(), c.chunks);
        EXPECT_EQ(Fake().AcceptedBytes(), content);
    }
    // The job stream's own buffer is not involved.
    EXPECT_EQ(stream.Count(), 0);
}

TEST_F(PrintFileTest, UnreadableFileSendsNothing) {
    EXPECT_EQ(stream.SendPrintFile((dir_ / "missing.prn").string()), rc::FileOpen);
    EXPECT_EQ(stream.SendPrintFile(dir_.string()), rc::FileOpen);
    EXPECT_TRUE(Fake().Calls().empty());
}

// Only the opening bytes are looked at: a job opens with a reset or, like
// the cut position pattern, with remote mode. A file that does not is no
// print job; it is refused with nothing sent, rather than sent and reported
// as a completed print.
TEST_F(PrintFileTest, AFileThatIsNoPrintJobIsRefusedWithNothingSent) {
    const Bytes remote{0x1B, 0x28, 0x52, 0x08, 0x00, 0x00, 'R', 'E', 'M', 'O', 'T', 'E', '1'};
    EXPECT_EQ(stream.SendPrintFile(Write(remote)), rc::Ok);
    EXPECT_EQ(Fake().AcceptedBytes(), remote);

    const std::string text = "clip.prn: copy the file from the service CD\n";
    const Bytes notAJob[] = {Bytes(text.begin(), text.end()), Bytes{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A},
                             Bytes{0x1B}, Bytes{0x40, 0x1B}, Pattern(2500)};
    for (const Bytes& content : notAJob) {
        SCOPED_TRACE(content.size());
        Fake().Reset();
        EepromCopyErrorDetail = 0;
        EXPECT_EQ(stream.SendPrintFile(Write(content)), rc::EepromCopy);
        EXPECT_EQ(EepromCopyErrorDetail, 3) << "\"Cannot read data from file.\"";
        EXPECT_TRUE(Fake().Calls().empty());
    }
}

TEST_F(PrintFileTest, AFifoUnderTheNameIsRefusedAtOnce) {
    const auto fifo = dir_ / "clip.prn";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(stream.SendPrintFile(fifo.string()), rc::FileOpen);
    EXPECT_TRUE(Fake().Calls().empty());
}

TEST_F(PrintFileTest, BusyPrinterGetsTheChunkAgainAtOnce) {
    const Bytes content = Job(1500);
    Fake().RefuseSends(1);
    Fake().SetStatus(fake::MakeStatus(state::Error, kPaperOutError));
    Fake().SetResultOnCall(Fn::SendDataChannel, 3, 0x2000);  // second chunk: refused, not busy
    Fake().SetChannelErrorDetail(9);
    EXPECT_EQ(stream.SendPrintFile(Write(content)), rc::Channel);

    EXPECT_EQ(SendSizes(), (std::vector<std::size_t>{1000, 1000, 500}));
    EXPECT_TRUE(host.Sleeps().empty());
    EXPECT_EQ(host.Repaints(), 1);
    ASSERT_EQ(host.Boxes().size(), 1u);
    EXPECT_EQ(host.Boxes()[0].text, kPaperPrompt);
    EXPECT_EQ(host.Boxes()[0].caption, "Error");
}

}  // namespace
}  // namespace svc
