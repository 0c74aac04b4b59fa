#include "link/VexRaster.h"

#include "link/testing/FakeOutside.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

namespace svc {
namespace {

using fake::Fake;
using fake::Fn;
using Bytes = std::vector<std::uint8_t>;

class PrimitivesTest : public ::testing::Test {
protected:
    void SetUp() override { Fake().Reset(); }

    // What one primitive appends to an empty stream, checking it succeeded.
    Bytes Appended(const std::function<Result(TPRaster&)>& primitive) {
        TPRaster s;
        EXPECT_EQ(primitive(s), rc::Ok);
        return Bytes(s.Buffer(), s.Buffer() + s.Count());
    }

    // Fills a stream up to `count` bytes so that the next block send happens soon.
    static void Prefill(TPRaster& s, int count) {
        const Bytes filler(static_cast<std::size_t>(count), 0x55);
        ASSERT_EQ(s.Append(filler.data(), count), rc::Ok);
    }

    fake::ScriptedHost host;
};

TEST_F(PrimitivesTest, RunLengthUnits) {
    EXPECT_EQ(Appended([](TPRaster& s) { return RepeatSend(s, 1, 0xAB); }), (Bytes{0x00, 0xAB}));
    EXPECT_EQ(Appended([](TPRaster& s) { return RepeatSend(s, 2, 0xAB); }), (Bytes{0xFF, 0xAB}));
    EXPECT_EQ(Appended([](TPRaster& s) { return RepeatSend(s, 120, 0); }), (Bytes{0x89, 0x00}));
    EXPECT_EQ(Appended([](TPRaster& s) { return RepeatSend(s, 125, 0); }), (Bytes{0x84, 0x00}));
    EXPECT_EQ(Appended([](TPRaster& s) { return RepeatSend(s, 127, 0); }), (Bytes{0x82, 0x00}));
    EXPECT_EQ(Appended([](TPRaster& s) { return RepeatSend(s, 129, 0); }), (Bytes{0x80, 0x00}));

    EXPECT_EQ(Appended([](TPRaster& s) { return RepeatSendLong(s, 380, 0xFF); }),
              (Bytes{0x89, 0xFF, 0x89, 0xFF, 0x89, 0xFF, 0xED, 0xFF}));
    EXPECT_EQ(Appended([](TPRaster& s) { return RepeatSendLong(s, 240, 0x55); }), (Bytes{0x89, 0x55, 0x89, 0x55}));
    EXPECT_EQ(Appended([](TPRaster& s) { return RepeatSendLong(s, 241, 0x55); }),
              (Bytes{0x89, 0x55, 0x89, 0x55, 0x00, 0x55}));
    EXPECT_EQ(Appended([](TPRaster& s) { return RepeatSendLong(s, 0, 0x55); }), Bytes{});
}

TEST_F(PrimitivesTest, LongRunsCrossBlocksLikeSingleUnits) {
    // 700 units of 120 and one of 1: 1402 bytes, the first 1000 as one block.
    TPRaster s;
    Prefill(s, 10);
    ASSERT_EQ(RepeatSendLong(s, 700 * 120 + 1, 0xC0), rc::Ok);
    ASSERT_EQ(s.Flush(), rc::Ok);
    Bytes expected(10, 0x55);
    for (int i = 0; i < 700; ++i) expected.insert(expected.end(), {0x89, 0xC0});
    expected.insert(expected.end(), {0x00, 0xC0});
    EXPECT_EQ(Fake().AcceptedBytes(), expected);
    ASSERT_EQ(Fake().Sends().size(), 2u);
    EXPECT_EQ(Fake().Sends()[0].size(), 1000u);
}

TEST_F(PrimitivesTest, LongRunStopsAtTheFailedSend) {
    TPRaster s;
    Prefill(s, 999);
    Fake().SetResult(Fn::SendDataChannel, 0x3000);
    // The counter byte of the first unit completes the block; nothing after it is taken.
    EXPECT_EQ(RepeatSendLong(s, 500, 0x11), 0x3000);
    EXPECT_EQ(s.Count(), 1000);
    EXPECT_EQ(s.Buffer()[999], 0x89);
    EXPECT_EQ(Fake().Sends().size(), 1u);
}

TEST_F(PrimitivesTest, ControlSequences) {
    EXPECT_EQ(Appended(SendInitialize), (Bytes{0x1B, 0x40}));
    EXPECT_EQ(Appended(SendGraphicsMode), (Bytes{0x1B, 0x28, 0x47, 0x01, 0x00, 0x01}));
    EXPECT_EQ(Appended([](TPRaster& s) { return SendUnit(s, 5); }), (Bytes{0x1B, 0x28, 0x55, 0x01, 0x00, 0x05}));
    EXPECT_EQ(Appended(SendUnitExtended), (Bytes{0x1B, 0x28, 0x55, 0x05, 0x00, 0x08, 0x02, 0x01, 0x40, 0x0B}));
    EXPECT_EQ(Appended([](TPRaster& s) { return SendDirection(s, 3); }), (Bytes{0x1B, 0x55, 0x03}));
    EXPECT_EQ(Appended(SendLineReturn), (Bytes{0x1B, 0x3C, 0x0D}));
    EXPECT_EQ(Appended([](TPRaster& s) { return SendVerticalMove(s, 720); }),
              (Bytes{0x1B, 0x28, 0x76, 0x02, 0x00, 0xD0, 0x02}));
    EXPECT_EQ(Appended([](TPRaster& s) { return SendHorizontalMove(s, 3040); }), (Bytes{0x1B, 0x5C, 0xE0, 0x0B}));
    EXPECT_EQ(Appended([](TPRaster& s) { return SendRasterResolution(s, 160, 5, 4, 2); }),
              (Bytes{0x1B, 0x28, 0x44, 0x04, 0x00, 0xA0, 0x05, 0x04, 0x02}));
    EXPECT_EQ(Appended([](TPRaster& s) { return SendRasterHeader(s, 13, 1, 2, 1143, 96); }),
              (Bytes{0x1B, 0x69, 0x11, 0x01, 0x02, 0x77, 0x04, 0x60, 0x00}));
    EXPECT_EQ(Appended([](TPRaster& s) { return SendLineFeeds(s, 0); }), Bytes{});
    EXPECT_EQ(Appended([](TPRaster& s) { return SendLineFeeds(s, -3); }), Bytes{});
    EXPECT_EQ(Appended([](TPRaster& s) { return SendLineFeeds(s, 2); }), (Bytes{0x0D, 0x0A, 0x0D, 0x0A}));
}

TEST_F(PrimitivesTest, ColourDotAndModeTables) {
    const std::pair<std::uint8_t, std::uint8_t> colours[] = {
        {ink::Black, 0x00}, {ink::Cyan, 0x02},      {ink::Magenta, 0x01},     {ink::Yellow, 0x04},
        {ink::Gray, 0x10},  {ink::LightCyan, 0x12}, {ink::LightMagenta, 0x11}};
    for (const auto& c : colours) {
        const std::uint8_t index = c.first;
        EXPECT_EQ(Appended([index](TPRaster& s) { return SendRasterHeader(s, index, 1, 1, 1, 1); })[2], c.second)
            << int(index);
    }

    const std::pair<std::uint8_t, std::uint8_t> dots[] = {{0, 0x00},  {10, 0x12}, {11, 0x11},
                                                          {12, 0x13}, {13, 0x10}, {14, 0x00}};
    for (const auto& d : dots) {
        const std::uint8_t kind = d.first;
        EXPECT_EQ(Appended([kind](TPRaster& s) { return SendDotSize(s, kind); }),
                  (Bytes{0x1B, 0x28, 0x65, 0x02, 0x00, 0x00, d.second}))
            << int(kind);
    }

    const std::pair<std::uint8_t, std::uint8_t> modes[] = {{0, 0x01}, {1, 0x02}, {5, 0x00}};
    for (const auto& m : modes) {
        const std::uint8_t mode = m.first;
        EXPECT_EQ(Appended([mode](TPRaster& s) { return SendColorMode(s, mode); }),
                  (Bytes{0x1B, 0x28, 0x4B, 0x02, 0x00, 0x00, m.second}))
            << int(mode);
    }
}

TEST_F(PrimitivesTest, JobHeaderIsTheSixCommandsInOrder) {
    EXPECT_EQ(Appended([](TPRaster& s) { return SendJobHeader(s, 10, 1, 10, 1); }),
              (Bytes{0x1B, 0x40, 0x1B, 0x28, 0x47, 0x01, 0x00, 0x01, 0x1B, 0x28, 0x55, 0x01, 0x00, 0x0A, 0x1B, 0x55,
                     0x01, 0x1B, 0x28, 0x65, 0x02, 0x00, 0x00, 0x12, 0x1B, 0x28, 0x4B, 0x02, 0x00, 0x00, 0x02}));
}

TEST_F(PrimitivesTest, CompositesStopAtTheFirstFailure) {
    TPRaster s;
    Prefill(s, 995);
    Fake().SetResult(Fn::SendDataChannel, 0x3000);
    // Reset (2 bytes) fits; the third byte of graphics mode fills the block and its send fails.
    EXPECT_EQ(SendJobHeader(s, 10, 1, 10, 1), 0x3000);
    EXPECT_EQ(s.Count(), 1000);
    EXPECT_EQ(Bytes(s.Buffer() + 995, s.Buffer() + 1000), (Bytes{0x1B, 0x40, 0x1B, 0x28, 0x47}));

    TPRaster t;
    Prefill(t, 997);
    EXPECT_EQ(SendLineFeeds(t, 5), 0x3000);
    EXPECT_EQ(t.Count(), 1000);
}

TEST_F(PrimitivesTest, EndOfJobEjectsThenFlushes) {
    TPRaster s;
    ASSERT_EQ(SendInitialize(s), rc::Ok);
    EXPECT_EQ(SendEndOfJob(s), rc::Ok);
    EXPECT_EQ(Fake().Sends(), std::vector<Bytes>{(Bytes{0x1B, 0x40, 0x0C})});

    // The form feed completing a block whose send fails: no extra flush.
    Fake().Reset();
    TPRaster t;
    Prefill(t, 999);
    Fake().SetResult(Fn::SendDataChannel, 0x3000);
    EXPECT_EQ(SendEndOfJob(t), 0x3000);
    EXPECT_EQ(Fake().Sends().size(), 1u);
}

using PrimitivesDeathTest = PrimitivesTest;

TEST_F(PrimitivesDeathTest, RunsTheCoderCannotExpressEndTheProgram) {
    // The console host shows the box on standard error.
    SetHost(nullptr);
    TPRaster s;
    EXPECT_EXIT(RepeatSend(s, 130, 0), ::testing::ExitedWithCode(EXIT_FAILURE), "RepeatSend\\(\\) error");
    EXPECT_EXIT(RepeatSend(s, 0, 0), ::testing::ExitedWithCode(EXIT_FAILURE), "RepeatSend\\(\\) error");
}

TEST_F(PrimitivesDeathTest, RepeatSendErrorBoxIsAnErrorWithOneOkButton) {
    TPRaster s;
    host.OnMessageBox([](const fake::ScriptedHost::Box& box) {
        // Leave the child process from inside the box so the parent can see what it held.
        const bool ok = box.text == "RepeatSend() error" && box.icon == BoxIcon::Error && box.buttons == BoxButtons::Ok;
        std::_Exit(ok ? 42 : 43);
    });
    EXPECT_EXIT(RepeatSend(s, 200, 1), ::testing::ExitedWithCode(42), "");
}

}  // namespace
}  // namespace svc
