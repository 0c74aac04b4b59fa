// Factory and remote commands, buttons and counters, driven through the
// engine with packets composed by the program's own factory object.
#include <gtest/gtest.h>

#include "link/VexRaster.h"
#include "link/VexRemoteComm.h"
#include "service/VexFactory.h"
#include "vprinter/engine/PrintEngine.h"
#include "integration/testing/EngineTesting.h"

namespace vp {
namespace {

using Bytes = std::vector<std::uint8_t>;
using vp::testing::Drive;
using vp::testing::FakeMachine;
using vp::testing::Wire;

class MechanismTest : public ::testing::Test {
protected:
    // Sends what `compose` sends and lets the engine take all of it.
    void Send(const std::function<void()>& compose) {
        const Bytes bytes = Wire(compose);
        ASSERT_EQ(Drive(engine, bytes), bytes.size()) << engine.RefusalReason();
    }
    // Lets time pass until the engine is ready again (at most `limitMs`).
    std::uint64_t UntilReady(std::uint64_t limitMs = 600000) {
        std::uint64_t waited = 0;
        while (engine.Status().state != 4 && waited < limitMs) {
            engine.Advance(100);
            waited += 100;
        }
        return waited;
    }
    int Position() const { return engine.Mech().CarriagePosition(); }

    FakeMachine machine;
    PrintEngine engine{machine};
    svc::TPFactory& f = svc::Factory();
};

TEST_F(MechanismTest, CarriageLeavesHomeOnlyAfterThePrologue) {
    Send([&] { f.MoveCarriage(16, 630, 0); });
    EXPECT_EQ(Position(), 0);
    EXPECT_TRUE(machine.Logged("locked at home"));
    EXPECT_EQ(engine.Status().state, 4);

    // The prologue's release without the push into the home end is refused too.
    Send([&] { f.CommandC5(24, 0, 250); });
    EXPECT_TRUE(engine.Mech().CarriageLocked());

    Send([&] {
        f.LeaveHome();
        f.MoveCarriage(16, 630, 0);
    });
    EXPECT_EQ(engine.Status().state, 2);  // still moving: busy, input waits
    const Bytes next = Wire([&] { f.MoveCarriage(16, 2580, 0); });
    EXPECT_EQ(engine.Consume(next.data(), next.size()), 0u);
    UntilReady();
    EXPECT_EQ(Position(), 630);
    ASSERT_EQ(Drive(engine, next), next.size());
    UntilReady();
    EXPECT_EQ(Position(), 2580);

    Send([&] { f.CarriageHome(); });
    UntilReady();
    EXPECT_EQ(Position(), 0);
    EXPECT_TRUE(engine.Mech().CarriageLocked());
    Send([&] { f.MoveCarriage(16, 1020, 0); });
    EXPECT_EQ(Position(), 0);
}

TEST_F(MechanismTest, CleaningAndInkChargeRunInTheCleaningStateAndUseInk) {
    Send([&] { f.StartCleaning(3); });
    EXPECT_EQ(engine.Status().state, 7);
    engine.Advance(59000);
    EXPECT_EQ(engine.Status().state, 7);
    engine.Advance(1000);
    EXPECT_EQ(engine.Status().state, 4);
    EXPECT_EQ(machine.inks, (std::array<int, 7>{96, 96, 96, 96, 96, 96, 96}));
    EXPECT_EQ(machine.Word(0x2E), 1u);   // CL1
    EXPECT_EQ(machine.Word(0x20), 40u);  // waste ink

    Send([&] { f.StartCleaning(12); });
    EXPECT_EQ(engine.Status().state, 7);
    EXPECT_EQ(UntilReady(), 90000u);
    EXPECT_EQ(machine.inks[0], 82);
    EXPECT_EQ(machine.Word(0x32), 1u);
    EXPECT_EQ(machine.Word(0x20), 180u);
    // Neither is a CL2, a timer cleaning or the first charge of a new printer.
    EXPECT_EQ(machine.Word(0x30), 0u);
    EXPECT_EQ(machine.Word(0x34), 0u);
    EXPECT_EQ(machine.eeprom[0x3A], 0u);

    // Not enough ink for another charge: refused, ink out.
    machine.inks[3] = 10;
    Send([&] { f.StartCleaning(12); });
    EXPECT_EQ(engine.Status().state, 0);
    EXPECT_EQ(engine.Status().error, 5);
    EXPECT_EQ(machine.inks[0], 82);
}

TEST_F(MechanismTest, CrMeasurementLeavesAPlausibleValuePerMode) {
    Send([&] { f.MeasureCRDrive(4, 0, 1097); });
    EXPECT_TRUE(machine.Logged("locked at home"));

    Send([&] {
        f.LeaveHome();
        f.MoveCarriage(20, 97, 0);
    });
    // The sums the dispersion sequence forms from three drives of each mode.
    unsigned sums[2] = {0, 0};
    for (int mode : {4, 3})
        for (int i = 0; i < 3; ++i) {
            Send([&] { f.MeasureCRDrive(static_cast<std::uint8_t>(mode), 0, 1097); });
            EXPECT_EQ(engine.Status().state, 2);
            UntilReady();
            const unsigned value = machine.Word(0x6C);
            EXPECT_NEAR(static_cast<int>(value), mode == 4 ? 1500 : 1737, 3);
            sums[mode == 4 ? 0 : 1] += value;
            Send([&] { f.MoveCarriage(1, 97, 0); });
        }
    const int d = (static_cast<int>(sums[0]) - static_cast<int>(sums[1]) + 711) / 3;
    EXPECT_GE(d, -70);
    EXPECT_LE(d, 50);
}

TEST_F(MechanismTest, ExchangeReturnsToReadyOnlyAfterThreeSwitchPresses) {
    Send([&] { f.StartExchangeSequence(); });
    EXPECT_EQ(engine.Status().state, 7);
    engine.Advance(3600000);  // an hour without the technician: still waiting
    EXPECT_EQ(engine.Status().state, 7);
    EXPECT_EQ(Position(), Mechanism::kExchangePosition);

    for (int press = 1; press <= 3; ++press) {
        engine.PressRollPaperSwitch();
        engine.PressRollPaperSwitch();  // a second press while the step runs changes nothing
        engine.Advance(29900);
        EXPECT_EQ(engine.Status().state, 7) << press;
        engine.Advance(100);
        EXPECT_EQ(engine.Mech().ExchangeStepsDone(), press);
        EXPECT_EQ(engine.Status().state, press < 3 ? 7 : 4) << press;
    }
    EXPECT_TRUE(machine.Logged("ignored"));
    EXPECT_EQ(machine.Word(0x36), 1u);
    EXPECT_EQ(Position(), 0);
    EXPECT_EQ(machine.Word(0x6E), 0u);  // the presses were exchange steps, not cuts
}

TEST_F(MechanismTest, BidValuesAreStoredByHeadAndVsd) {
    Send([&] {
        f.SetBidValue(1, 10, 5);    // VSD1 black
        f.SetBidValue(0, 11, -3);   // VSD2 colour
        f.SetBidValue(1, 12, 72);   // VSD2' black
        f.SetBidValue(0, 13, -72);  // VSD4 colour
    });
    EXPECT_EQ(machine.eeprom[0x60], 5);
    EXPECT_EQ(machine.eeprom[0x65], 0xFD);
    EXPECT_EQ(machine.eeprom[0x62], 72);
    EXPECT_EQ(machine.eeprom[0x67], 0xB8);
    EXPECT_EQ(engine.Mech().Bid(false, 1), -3);
    EXPECT_EQ(engine.Mech().Bid(false, 3), -72);

    // ApplySettings takes values written straight into the EEPROM into use.
    machine.eeprom[0x61] = 0x07;
    EXPECT_EQ(engine.Mech().Bid(true, 1), 0);
    Send([&] { f.ApplySettings(); });
    EXPECT_EQ(engine.Mech().Bid(true, 1), 7);
}

TEST_F(MechanismTest, StartingAfreshTakesTheEepromValuesAndDropsTheTemporaryPf) {
    Send([&] { f.SetPFValue(3); });
    EXPECT_EQ(engine.Mech().Pf(), 3);
    machine.eeprom[0x77] = 0xFE;  // -2, written by the host without ApplySettings
    machine.eeprom[0x61] = 0x07;
    machine.eeprom[0x68] = 0xFB;
    engine.Reset();  // power on, or the port's INIT line
    EXPECT_EQ(engine.Mech().Pf(), -2);
    EXPECT_EQ(engine.Mech().Bid(true, 1), 7);
    EXPECT_EQ(engine.Mech().FirstDot(), -5);
}

TEST_F(MechanismTest, RemoteCutPositionIsSavedOnlyBySv) {
    const Bytes ddOnly = {0x1B, 0x28, 0x52, 0x08, 0x00, 0x00, 'R',  'E',  'M',  'O',  'T',  'E',  '1',
                          'D',  'D',  0x05, 0x00, 0x00, 0x10, 0x00, 0x08, 0x02, 0x1B, 0x00, 0x00, 0x00};
    ASSERT_EQ(Drive(engine, ddOnly), ddOnly.size());
    EXPECT_EQ(engine.Mech().CutPosition(), std::optional<std::int8_t>(8));
    EXPECT_EQ(machine.eeprom[0x70], 0);
    svc::TPRemoteComm remote(svc::JobStream());
    Send([&] { remote.SetCutPosition(-64); });
    EXPECT_EQ(machine.eeprom[0x70], 0xC0);
    Send([&] { remote.SendSNBlock(); });
    EXPECT_TRUE(machine.Logged("sensor settings block taken"));
    EXPECT_EQ(engine.Status().state, 4);
}

TEST_F(MechanismTest, RollPaperSwitchCutsAndCountersStopAtTheirLimit) {
    engine.PressRollPaperSwitch();
    EXPECT_EQ(machine.Word(0x6E), 1u);
    machine.eeprom[0x20] = 0xF0;
    machine.eeprom[0x21] = 0xFF;
    Send([&] { f.StartCleaning(3); });
    EXPECT_EQ(machine.Word(0x20), 0xFFFFu);
}

}  // namespace
}  // namespace vp
