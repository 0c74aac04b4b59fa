#include "vprinter/engine/PrintEngine.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QColor>
#include <QImage>

#include <algorithm>
#include <filesystem>

#include "link/VexRaster.h"
#include "link/VexRemoteComm.h"
#include "service/VexFactory.h"
#include "integration/testing/EngineTesting.h"

namespace vp {
namespace {

using Bytes = std::vector<std::uint8_t>;
using vp::testing::Drive;
using vp::testing::FakeMachine;
using vp::testing::Wire;

// A solid block: `lines` lines of `bytes` bytes of `value`, at 360 dpi across and 180 down.
void SolidBlock(svc::TPRaster& s, std::uint8_t color, int bytes, int lines, std::uint8_t value = 0xFF) {
    svc::SendRasterResolution(s, 104, 1, 2, 1);
    svc::SendRasterHeader(s, color, 1, 2, static_cast<std::uint16_t>(bytes), static_cast<std::uint16_t>(lines));
    for (int i = 0; i < lines; ++i) svc::RepeatSendLong(s, bytes, value);
}

class PrintEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("vengine-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
               std::to_string(::getpid()));
        std::filesystem::remove_all(dir);
        options.pagesDir = dir.string();
        // These tests place dots from the sheet's very edge.
        options.firstDotNominal = 0;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    PrintEngine& Engine() {
        if (!engine) engine = std::make_unique<PrintEngine>(machine, options);
        return *engine;
    }
    QImage PrintPage(const std::function<void()>& compose) {
        const Bytes job = Wire(compose);
        EXPECT_EQ(Drive(Engine(), job), job.size()) << Engine().RefusalReason();
        EXPECT_FALSE(Engine().PageFiles().empty());
        return Engine().PageFiles().empty() ? QImage() : QImage(QString::fromStdString(Engine().PageFiles().back()));
    }

    FakeMachine machine;
    EngineOptions options;
    std::filesystem::path dir;
    std::unique_ptr<PrintEngine> engine;
};

bool White(const QImage& image, int x, int y) { return image.pixel(x, y) == qRgb(255, 255, 255); }

TEST_F(PrintEngineTest, DotsLandWhereTheJobPutThem) {
    const QImage page = PrintPage([] {
        auto& s = svc::JobStream();
        svc::SendJobHeader(s, 10, 1, 10, 1);
        svc::SendVerticalMove(s, 360);           // 1 inch down
        svc::SendHorizontalMove(s, 360);         // 1 inch across
        SolidBlock(s, svc::ink::Black, 90, 18);  // 1 inch wide (360 dots), 0.1 inch high
        svc::SendEndOfJob(s);
    });
    ASSERT_EQ(page.size(), QSize(2332, 3423));  // A3+ at 180 dpi
    EXPECT_EQ(QColor(page.pixel(180, 180)), QColor(20, 20, 20));
    EXPECT_EQ(QColor(page.pixel(359, 197)), QColor(20, 20, 20));
    EXPECT_TRUE(White(page, 179, 190));
    EXPECT_TRUE(White(page, 360, 190));
    EXPECT_TRUE(White(page, 200, 179));
    EXPECT_TRUE(White(page, 200, 198));
}

TEST_F(PrintEngineTest, InksCompositeAndDotValuesShade) {
    const QImage page = PrintPage([] {
        auto& s = svc::JobStream();
        svc::SendJobHeader(s, 10, 1, 10, 1);
        SolidBlock(s, svc::ink::Cyan, 90, 18);
        svc::SendLineReturn(s);  // back to the left edge, same band
        SolidBlock(s, svc::ink::Yellow, 45, 18);
        svc::SendVerticalMove(s, 72);
        svc::SendInitialize(s);
        svc::SendJobHeader(s, 10, 1, 10, 1);
        SolidBlock(s, svc::ink::Black, 90, 18, 0x55);  // smallest dots only
        svc::SendEndOfJob(s);
    });
    EXPECT_EQ(QColor(page.pixel(100, 5)), QColor(0, 160, 230));  // cyan alone
    EXPECT_EQ(QColor(page.pixel(50, 5)), QColor(0, 144, 0));     // cyan over yellow
    const QColor light(page.pixel(50, 45));
    EXPECT_GT(light.red(), 100);  // a third of full black
    EXPECT_LT(light.red(), 255);
}

TEST_F(PrintEngineTest, BlocksFollowEachOtherAndUnitsScaleMoves) {
    options.page.previewDpi = 360;
    const QImage page = PrintPage([] {
        auto& s = svc::JobStream();
        svc::SendJobHeader(s, 10, 1, 10, 1);
        SolidBlock(s, svc::ink::Magenta, 10, 4);  // 40 dots: x 0..39
        SolidBlock(s, svc::ink::Cyan, 10, 4);     // follows at x 40..79
        svc::SendUnitExtended(s);
        svc::SendHorizontalMove(s, 2880);  // one inch in 1/2880
        svc::SendVerticalMove(s, 1440);    // one inch in 1/1440
        svc::SendRasterResolution(s, 160, 5, 8, 4);
        svc::SendRasterHeader(s, svc::ink::Black, 1, 1, 1, 1);
        svc::RepeatSend(s, 1, 0x80);  // one dot
        svc::SendEndOfJob(s);
    });
    EXPECT_EQ(QColor(page.pixel(39, 0)), QColor(230, 0, 126));
    EXPECT_EQ(QColor(page.pixel(40, 0)), QColor(0, 160, 230));
    EXPECT_TRUE(White(page, 80, 0));
    // The dot: 80 + 360 across (after the two blocks), 360 down.
    // It is 1/360 inch wide and 1/180 inch high: two preview rows.
    EXPECT_FALSE(White(page, 440, 360));
    EXPECT_FALSE(White(page, 440, 361));
    EXPECT_TRUE(White(page, 441, 360));
    EXPECT_TRUE(White(page, 440, 362));
}

// Without a font text is marked as it always was, and the engine says why once.
TEST_F(PrintEngineTest, TextIsMarkedCellByCellWithoutAFont) {
    options.fonts = {(dir / "no-such-font.ttf").string()};
    const QImage page = PrintPage([] {
        const std::uint8_t label[] = {'A', ' ', 'B', 0, 'C'};
        svc::JobStream().Append(label, 5);
        svc::SendEndOfJob(svc::JobStream());
    });
    // Cells of 1/10 inch (18 pixels); the mark sits in the middle third of the 1/6 inch line.
    EXPECT_FALSE(White(page, 9, 15));
    EXPECT_TRUE(White(page, 27, 15));
    EXPECT_FALSE(White(page, 45, 15));
    EXPECT_FALSE(White(page, 63, 15));
    EXPECT_TRUE(White(page, 9, 2));
    EXPECT_EQ(QColor(page.pixel(9, 15)), QColor(114, 114, 114));  // 60 % black
    EXPECT_EQ(std::count_if(machine.log.begin(), machine.log.end(),
                            [](const std::string& line) { return line.find("no font") != std::string::npos; }),
              1);
    EXPECT_TRUE(machine.Logged("no-such-font.ttf"));
}

TEST_F(PrintEngineTest, NozzleCheckIsDrawnByThePrinter) {
    svc::TPRemoteComm remote(svc::JobStream());
    const QImage page = PrintPage([&] {
        remote.PrintNozzleCheck();
        svc::SendEndOfJob(svc::JobStream());
    });
    // Below the heading line: the first nozzle dash of the black column and of the cyan column (third).
    const QColor black(page.pixel(5, 30));
    EXPECT_LT(black.red(), 100);
    EXPECT_EQ(black.red(), black.blue());
    const QColor cyan(page.pixel(2 * 180 + 5, 30));
    EXPECT_LT(cyan.red(), 100);
    EXPECT_GT(cyan.blue(), 200);
    EXPECT_TRUE(White(page, 5, 32));  // between two nozzles
}

TEST_F(PrintEngineTest, EjectCountsPagesAndPassesAndAnEmptyFeedEjectsNothing) {
    const Bytes job = Wire([] {
        auto& s = svc::JobStream();
        svc::SendJobHeader(s, 10, 1, 10, 1);
        SolidBlock(s, svc::ink::Black, 4, 2);
        SolidBlock(s, svc::ink::Gray, 4, 2);
        svc::SendEndOfJob(s);
        svc::SendEndOfJob(s);  // nothing on the sheet: no second page
    });
    EXPECT_EQ(Drive(Engine(), job), job.size());
    EXPECT_EQ(Engine().PagesEjected(), 1);
    EXPECT_EQ(machine.Long(0x78), 1u);
    EXPECT_EQ(machine.Long(0x7C), 2u);
    EXPECT_TRUE(std::filesystem::exists(dir / "page-0001.png"));
    EXPECT_FALSE(std::filesystem::exists(dir / "page-0002.png"));
}

TEST_F(PrintEngineTest, BidValuesShiftTheReturnPass) {
    options.page = PageSetup{60, 60, 1440};
    options.pagesDir.clear();
    std::vector<int> leftEdges;
    Engine().SetPageHook([&](int, const PageRenderer& page) {
        for (int py : {0, 16}) {  // one line of each pass
            int x = 0;
            while (x < page.PreviewWidth() && page.Coverage(kBlack, x, py) == 0) ++x;
            leftEdges.push_back(x);
        }
    });
    auto block = [](svc::TPRaster& s, int direction) {
        svc::SendJobHeader(s, 10, static_cast<std::uint8_t>(direction), 10, 0);
        svc::SendHorizontalMove(s, 360);
        svc::SendRasterResolution(s, 160, 5, 8, 4);
        svc::SendRasterHeader(s, svc::ink::Black, 1, 2, 1, 1);
        svc::RepeatSend(s, 1, 0xC0);
    };
    const Bytes job = Wire([&] {
        svc::Factory().SetBidValue(1, 10, 8);  // VSD1 black: 8/1440 inch
        auto& s = svc::JobStream();
        block(s, 1);
        svc::SendVerticalMove(s, 4);  // next 1/180 inch line
        block(s, 3);
        svc::SendEndOfJob(s);
    });
    EXPECT_EQ(Drive(Engine(), job), job.size()) << Engine().RefusalReason();
    EXPECT_EQ(machine.eeprom[0x60], 8);
    EXPECT_EQ(leftEdges, (std::vector<int>{1440, 1432}));
}

TEST_F(PrintEngineTest, PfAndFirstDotValuesMoveThePrint) {
    machine.eeprom[0x77] = 0xFE;  // PF -2
    machine.eeprom[0x68] = 10;    // first dot 10/1440 inch to the right
    const Bytes apply = Wire([] { svc::Factory().ApplySettings(); });
    const Bytes feed = Wire([] { svc::SendVerticalMove(svc::JobStream(), 720); });  // 2 inches
    Drive(Engine(), apply);
    Drive(Engine(), feed);
    EXPECT_EQ(Engine().Y(), 28800 - 288);  // 1 % less feed
    // A temporary PF value wins over the stored one, also through ApplySettings.
    Drive(Engine(), Wire([] {
              svc::Factory().SetPFValue(4);
              svc::Factory().ApplySettings();
          }));
    Drive(Engine(), feed);
    EXPECT_EQ(Engine().Y(), 28800 - 288 + 28800 + 576);
    EXPECT_EQ(Engine().Mech().FirstDot(), 10);
}

TEST_F(PrintEngineTest, MalformedJobsStopThePrinterWithError1) {
    struct Case {
        const char* name;
        Bytes job;
        const char* reason;
    };
    const Bytes header = Wire([] { svc::SendJobHeader(svc::JobStream(), 10, 1, 10, 0); });
    Bytes colourInMono = header;
    const Bytes block = Wire([] { SolidBlock(svc::JobStream(), svc::ink::Cyan, 1, 1); });
    colourInMono.insert(colourInMono.end(), block.begin(), block.end());
    const Bytes noGraphics = {0x1B, 0x40, 0x1B, 0x28, 0x44, 0x04, 0x00, 0x68, 0x01, 0x02, 0x01,
                              0x1B, 0x69, 0x00, 0x01, 0x02, 0x01, 0x00, 0x01, 0x00, 0x00, 0xFF};
    const Bytes noResolution = {0x1B, 0x40, 0x1B, 0x28, 0x47, 0x01, 0x00, 0x01, 0x1B, 0x69,
                                0x00, 0x01, 0x02, 0x01, 0x00, 0x01, 0x00, 0x00, 0xFF};
    Bytes overshoot = header;
    for (std::uint8_t b : {0x1B, 0x28, 0x44, 0x04, 0x00, 0x68, 0x01, 0x02, 0x01,  // resolution
                           0x1B, 0x69, 0x00, 0x01, 0x02, 0x02, 0x00, 0x01, 0x00, 0xFE, 0xFF, 0x1B, 0x40})
        overshoot.push_back(b);
    const Case cases[] = {
        {"overshoot", overshoot, "overshoots"},
        {"unknown", {'A', 0x1B, 0x5A, 0x1B, 0x40}, "unknown sequence"},
        {"factory complement", {0x1B, 0x7C, 0x00, 0x05, 0x00, 0x06, 0x16, 0x81, 0x7F, 0xC0, 0x1B, 0x40}, "complement"},
        {"colour in monochrome", colourInMono, "monochrome"},
        {"outside graphics mode", noGraphics, "graphics mode"},
        {"no resolution", noResolution, "resolution"},
        {"left of the paper", {0x1B, 0x5C, 0xFF, 0xFF, 0x1B, 0x40}, "left of the paper"},
    };
    for (const Case& c : cases) {
        FakeMachine m;
        PrintEngine e(m);
        const std::size_t taken = e.Consume(c.job.data(), c.job.size());
        EXPECT_LT(taken, c.job.size()) << c.name;
        EXPECT_EQ(e.Status().state, 0) << c.name;
        EXPECT_EQ(e.Status().error, printer_error::kBadData) << c.name;
        EXPECT_NE(e.RefusalReason().find(c.reason), std::string::npos) << c.name << ": " << e.RefusalReason();
        EXPECT_TRUE(m.Logged("job refused")) << c.name;
        EXPECT_EQ(e.Consume(c.job.data(), c.job.size()), 0u) << c.name;  // stopped until reset
        e.Reset();
        EXPECT_EQ(e.Status().state, 4) << c.name;
    }
}

TEST_F(PrintEngineTest, PaperOutShowsError6UntilThePaperButton) {
    const Bytes job = Wire([] {
        svc::SendJobHeader(svc::JobStream(), 10, 1, 10, 1);
        SolidBlock(svc::JobStream(), svc::ink::Black, 4, 2);
    });
    Engine().InjectFault(Fault::PaperOut);
    EXPECT_EQ(Engine().Status().state, 0);
    EXPECT_EQ(Engine().Status().error, 6);
    Engine().Advance(60000);
    EXPECT_EQ(Engine().Consume(job.data(), job.size()), 0u);
    EXPECT_EQ(Engine().Status().error, 6);
    Engine().PressPaperButton();
    EXPECT_EQ(Engine().Status().state, 4);
    EXPECT_EQ(Engine().Consume(job.data(), job.size()), job.size());
    EXPECT_EQ(Engine().PagesEjected(), 0);  // the button cleared the fault; it did not feed the sheet out
}

TEST_F(PrintEngineTest, FaultsReportTheirCodesAndClear) {
    const std::pair<Fault, int> faults[] = {
        {Fault::PaperJam, 4}, {Fault::InkOut, 5}, {Fault::CoverOpen, 2}, {Fault::Lever, 3}};
    for (const auto& [fault, code] : faults) {
        Engine().InjectFault(fault);
        EXPECT_EQ(Engine().Status().state, 0);
        EXPECT_EQ(Engine().Status().error, code);
        const std::uint8_t reset[] = {0x1B, 0x40};
        EXPECT_EQ(Engine().Consume(reset, 2), 0u);
        Engine().ClearFaults();
        EXPECT_EQ(Engine().Status().state, 4);
    }
    // Printing that empties a cartridge stops with ink out; clearing puts in a new one.
    machine.inks[kBlack] = 1;
    const Bytes job = Wire([] {
        svc::SendJobHeader(svc::JobStream(), 10, 1, 10, 1);
        for (int i = 0; i < 40; ++i) SolidBlock(svc::JobStream(), svc::ink::Black, 1000, 100);
    });
    Drive(Engine(), job, 100, 1000);
    EXPECT_EQ(Engine().Status().error, 5);
    EXPECT_EQ(machine.inks[kBlack], 0);
    Engine().ClearFaults();
    EXPECT_EQ(machine.inks[kBlack], 100);
}

TEST_F(PrintEngineTest, ResetDropsThePageInProgress) {
    const Bytes job = Wire([] {
        svc::SendJobHeader(svc::JobStream(), 10, 1, 10, 1);
        SolidBlock(svc::JobStream(), svc::ink::Black, 4, 2);
    });
    Drive(Engine(), job);
    EXPECT_TRUE(Engine().Page().Inked());
    Engine().Reset();
    EXPECT_FALSE(Engine().Page().Inked());
    const Bytes ff = {0x0C};
    Drive(Engine(), ff);
    EXPECT_EQ(Engine().PagesEjected(), 0);
}

}  // namespace
}  // namespace vp
