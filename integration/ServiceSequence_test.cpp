// The service sequences as the program runs them, through the real channel
// library, against the printer with its print engine: the CR drive readings
// a test chooses drive the dispersion arithmetic, and the speed-up shortens
// the cleaning cycles.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "link/OutsideLibraries.h"
#include "service/VexFactory.h"
#include "vprinter/Control.h"
#include "vprinter/DirectTransport.h"
#include "vprinter/EngineState.h"
#include "vprinter/Printer.h"
#include "vprinter/engine/PrintEngine.h"

namespace vp {
namespace {

constexpr std::uint16_t kOk = 1;

class ServiceSequence : public ::testing::Test {
protected:
    void SetUp() override {
        printer.SetEngine(&engine);
        PortCloseByOsSw();
        std::uint16_t r = PortOpenByOsSw(1028);
        if (r == kOk) r = D4Negotiation();
        ASSERT_EQ(r, kOk);
    }
    void TearDown() override {
        D4Termination();
        PortCloseByOsSw();
        printer.SetEngine(nullptr);
        std::filesystem::remove_all(dir);
    }
    std::uint8_t State() {
        std::uint8_t record[52] = {};
        EXPECT_EQ(InquireStatus(record), kOk);
        return record[0];
    }
    // The program's wait: poll once a (virtual) second until ready.
    void WaitReady() {
        for (int i = 0; i < 600 && State() != 4; ++i) printer.Advance(1000);
        ASSERT_EQ(State(), 4);
    }
    std::uint16_t Reading() {
        std::uint8_t lo = 0, hi = 0;
        EXPECT_EQ(D4ReadEeprom(0x6C, &lo), kOk);
        EXPECT_EQ(D4ReadEeprom(0x6D, &hi), kOk);
        return static_cast<std::uint16_t>(hi << 8 | lo);
    }
    // The dispersion measurement steps as the program sends them; the value
    // it would store at 0xAC.
    int MeasuredValue() {
        auto& f = svc::Factory();
        EXPECT_EQ(f.LeaveHome(), kOk);
        EXPECT_EQ(f.MoveCarriage(20, 97, 0), kOk);
        WaitReady();
        std::uint16_t a = 0, b = 0;
        for (int mode : {4, 3}) {
            for (int i = 0; i < 3; ++i) {
                EXPECT_EQ(f.MeasureCRDrive(static_cast<std::uint8_t>(mode), 0, 1097), kOk);
                WaitReady();
                (mode == 4 ? a : b) += Reading();
                EXPECT_EQ(f.MoveCarriage(1, 97, 0), kOk);
                WaitReady();
            }
        }
        const int d = (static_cast<int>(a) - static_cast<int>(b) + 711) / 3;
        int v = d * 32 / 10 + 75;
        if (d > 50) v = 235;
        if (d < -70) v = -149;
        return v / 2;
    }

    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("vp-service-test-" + std::to_string(::getpid()));
    Printer printer{Printer::Options{}, vp::Eeprom::Factory(1)};
    InProcessPorts ports{printer};
    PrintEngine engine{printer, EngineOptions{PageSetup{}, dir.string(), MechanismTimes{}}};
    ControlCommands control{printer};
};

TEST_F(ServiceSequence, ConfiguredCrReadingsReachEveryBranchOfTheDispersion) {
    // Equal sums: d = 237, clamped high. A - B = -921: d = -70, not clamped
    // low; -924: d = -71, clamped. A - B = -711: d = 0.
    struct Case {
        const char* readings;
        int stored;
    } cases[] = {{"1500 1500 1500 1500 1500 1500", 117},
                 {"1000 1000 1000 1307 1307 1307", -74},
                 {"1000 1000 1000 1308 1308 1308", -74},
                 {"1000 1000 1000 1237 1237 1237", 37},
                 {"1000 1000 1000 1238 1238 1238", 36}};
    for (const Case& c : cases) {
        ASSERT_EQ(control.Execute(std::string("cr readings ") + c.readings).rfind("OK", 0), 0u);
        EXPECT_EQ(MeasuredValue(), c.stored) << c.readings;
        ASSERT_EQ(svc::Factory().CarriageHome(), kOk);
        WaitReady();
    }
    // Off: the mechanism's own reading (about 1500 in mode 4) is back.
    EXPECT_EQ(control.Execute("cr readings off"), "OK cr readings off");
    ASSERT_EQ(svc::Factory().LeaveHome(), kOk);
    ASSERT_EQ(svc::Factory().MoveCarriage(20, 97, 0), kOk);
    WaitReady();
    ASSERT_EQ(svc::Factory().MeasureCRDrive(4, 0, 1097), kOk);
    WaitReady();
    EXPECT_NEAR(Reading(), 1500, 3);
}

TEST_F(ServiceSequence, SpeedUpShortensTheCleaningCycle) {
    ASSERT_EQ(svc::Factory().StartCleaning(3), kOk);
    printer.Advance(59000);
    EXPECT_EQ(State(), 7);  // a head cleaning takes 60 s
    printer.Advance(2000);
    EXPECT_EQ(State(), 4);

    EXPECT_EQ(control.Execute("speedup 30"), "OK speedup 30");
    ASSERT_EQ(svc::Factory().StartCleaning(12), kOk);
    printer.Advance(2000);
    EXPECT_EQ(State(), 7);  // 90 s of ink charge are 3 s now
    printer.Advance(1100);
    EXPECT_EQ(State(), 4);
    EXPECT_EQ(control.Execute("speedup 0"), "ERR usage: speedup N (1-1000)");
}

std::string Field(const std::string& line, const std::string& key) {
    const std::size_t at = line.find(" " + key + "=");
    if (at == std::string::npos) return "(none)";
    const std::size_t start = at + key.size() + 2;
    return line.substr(start, line.find(' ', start) - start);
}

// The PG adjustment's points, as the state line names them.
TEST_F(ServiceSequence, TheStateLineShowsTheCarriageAtEachPgPositionAndWhatChanged) {
    control.AddStateFields([this] { return EngineStateFields(engine); });
    EXPECT_EQ(Field(control.Execute("state"), "carriage_at"), "home");
    ASSERT_EQ(svc::Factory().LeaveHome(), kOk);
    WaitReady();
    const std::pair<int, const char*> points[] = {
        {630, "pg1"}, {2580, "pg2"}, {1020, "pg3"}, {2180, "pg4"}, {1580, "center"}};
    for (const auto& [position, name] : points) {
        ASSERT_EQ(svc::Factory().MoveCarriage(16, static_cast<std::int16_t>(position), 0), kOk);
        WaitReady();
        const std::string line = control.Execute("state");
        EXPECT_EQ(Field(line, "carriage"), std::to_string(position));
        EXPECT_EQ(Field(line, "carriage_at"), name);
    }
    ASSERT_EQ(svc::Factory().CarriageHome(), kOk);
    WaitReady();
    ASSERT_EQ(D4WriteEeprom(0x21, 0x9C), kOk);
    const std::string line = control.Execute("state");
    EXPECT_EQ(Field(line, "carriage_at"), "home");
    EXPECT_EQ(Field(line, "changed"), "21");
    EXPECT_EQ(Field(line, "eeprom").size(), 512u);
    EXPECT_EQ(Field(line, "eeprom").substr(0x21 * 2, 2), "9C");
    EXPECT_EQ(Field(line, "state"), "4");
    EXPECT_EQ(Field(line, "power_led"), "on");
    EXPECT_EQ(Field(line, "ink"), "black:92,cyan:71,magenta:64,yellow:88,lightcyan:55,lightmagenta:47,gray:80");
    EXPECT_EQ(Field(line, "page"), "-");
    EXPECT_EQ(Field(line, "bid"), "3,-2,1,0,5,-1,2,-4");
    EXPECT_EQ(FieldValue("a b%c"), "a%20b%25c");
}

}  // namespace
}  // namespace vp
