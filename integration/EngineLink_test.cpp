// The whole road: the program's job stream and factory object, the real port
// switch and channel library, the virtual printer's core, and this engine.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>

#include <filesystem>

#include "link/OutsideLibraries.h"
#include "link/VexRaster.h"
#include "service/VexFactory.h"
#include "vprinter/DirectTransport.h"
#include "vprinter/Printer.h"
#include "vprinter/engine/PrintEngine.h"

namespace vp {
namespace {

constexpr std::uint16_t kOk = 1;

class EngineLink : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::remove_all(dir);
        printer.SetEngine(&engine);
        PortCloseByOsSw();
        std::uint16_t r = PortOpenByOsSw(1028);
        if (r == kOk) r = GetDeviceIDByOsSw();
        if (r == kOk) r = D4Negotiation();
        ASSERT_EQ(r, kOk);
    }
    void TearDown() override {
        D4Termination();
        PortCloseByOsSw();
        printer.SetEngine(nullptr);
        std::filesystem::remove_all(dir);
    }
    std::uint8_t State(std::uint8_t* error = nullptr) {
        std::uint8_t record[52] = {};
        EXPECT_EQ(InquireStatus(record), kOk);
        if (error) *error = record[1];
        return record[0];
    }
    std::uint8_t Eeprom(std::uint8_t address) {
        std::uint8_t value = 0;
        EXPECT_EQ(D4ReadEeprom(address, &value), kOk);
        return value;
    }

    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("vengine-link-test-" + std::to_string(::getpid()));
    Printer printer{Printer::Options{}, vp::Eeprom::Factory(1)};
    InProcessPorts ports{printer};
    PrintEngine engine{printer, EngineOptions{PageSetup{}, dir.string(), MechanismTimes{}}};
};

TEST_F(EngineLink, AJobFromTheProgramComesOutAsAPage) {
    const std::uint8_t pagesBefore = Eeprom(0x78);
    // The first dot belongs 1/20 inch in; the factory image carries a first dot
    // position (steps of 1/2880 inch to the right) and a pixel shift for
    // magenta, line B (1/1440 inch to the left).
    const int left = 14400 + (kFirstDotNominal + static_cast<std::int8_t>(Eeprom(0x68))) * 5 -
                     static_cast<std::int8_t>(Eeprom(0x98)) * 10;
    auto& s = svc::JobStream();
    ASSERT_EQ(svc::SendJobHeader(s, 10, 1, 10, 1), kOk);
    ASSERT_EQ(svc::SendVerticalMove(s, 360), kOk);
    ASSERT_EQ(svc::SendHorizontalMove(s, 360), kOk);
    ASSERT_EQ(svc::SendRasterResolution(s, 104, 1, 2, 1), kOk);
    ASSERT_EQ(svc::SendRasterHeader(s, svc::ink::Magenta, 1, 2, 90, 18), kOk);
    for (int line = 0; line < 18; ++line) ASSERT_EQ(svc::RepeatSendLong(s, 90, 0xFF), kOk);
    ASSERT_EQ(svc::SendEndOfJob(s), kOk);
    printer.Advance(5000);

    ASSERT_EQ(engine.PagesEjected(), 1) << engine.RefusalReason();
    const QImage page(QString::fromStdString((dir / "page-0001.png").string()));
    EXPECT_EQ(page.pixel(200, 190), qRgb(230, 0, 126));
    EXPECT_EQ(page.pixel(left / 80 - 1, 190), qRgb(255, 255, 255));
    EXPECT_NE(page.pixel(left / 80, 190), qRgb(255, 255, 255));
    EXPECT_EQ(page.pixel((left + 14400 - 1) / 80 + 1, 190), qRgb(255, 255, 255));
    EXPECT_EQ(Eeprom(0x78), pagesBefore + 1);
    EXPECT_EQ(State(), 4);
}

TEST_F(EngineLink, CleaningAndPaperOutShowInTheStatusRecord) {
    ASSERT_EQ(svc::Factory().StartCleaning(3), kOk);
    printer.Advance(1000);
    EXPECT_EQ(State(), 7);
    printer.Advance(60000);
    EXPECT_EQ(State(), 4);

    engine.InjectFault(Fault::PaperOut);
    std::uint8_t error = 0;
    EXPECT_EQ(State(&error), 0);
    EXPECT_EQ(error, 6);
    printer.PressPaperButton();
    EXPECT_EQ(State(), 4);
}

}  // namespace
}  // namespace vp
