// CR motor drive dispersion against the recording fake: which parts lead to
// which path, the measurement sequence packet by packet, and the arithmetic.
#include "service/VexHeatProtect.h"

#include "link/testing/FakeOutside.h"
#include "service/ValueFrame.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace svc {
namespace {

using fake::Fake;
using fake::Fn;
using fake::ScriptedHost;
using Bytes = std::vector<std::uint8_t>;

Bytes Packet(std::uint8_t code, std::uint8_t complement, std::uint8_t rotated, const Bytes& params) {
    Bytes p{0x1B, 0x7C,       0x00,   static_cast<std::uint8_t>(5 + params.size()), 0x00, 0x06, 0x16,
            code, complement, rotated};
    for (std::uint8_t b : params) p.push_back(b);
    return p;
}
Bytes Move(std::uint8_t mode, std::int16_t pos) {
    return Packet(0xC4, 0x3B, 0x62,
                  {mode, static_cast<std::uint8_t>(pos & 0xFF), static_cast<std::uint8_t>((pos >> 8) & 0xFF), 0});
}
Bytes Measure(std::uint8_t mode) { return Packet(0xCF, 0x30, 0xE7, {mode, 0, 0x49, 0x04}); }

class HeatProtectTest : public ::testing::Test {
protected:
    void SetUp() override {
        Fake().Reset();
        Fake().Eeprom()[0xAC] = 0x11;
    }
    void Check(std::initializer_list<const char*> boxes) {
        for (const char* b : boxes) frame.SetChecked(b, true);
    }
    // The printer leaves the next reading at 0x6C-0x6D after each measurement drive.
    void Readings(std::vector<std::uint16_t> values) {
        readings.assign(values.begin(), values.end());
        Fake().OnCall([this](const fake::Call& c) {
            if (c.fn == Fn::SendDataChannel && c.bytes.size() > 7 && c.bytes[7] == 0xCF && !readings.empty()) {
                Fake().Eeprom()[0x6C] = static_cast<std::uint8_t>(readings.front() & 0xFF);
                Fake().Eeprom()[0x6D] = static_cast<std::uint8_t>(readings.front() >> 8);
                readings.pop_front();
            }
        });
    }

    ValueFrame frame;
    ScriptedHost host;
    std::deque<std::uint16_t> readings;
};

TEST_F(HeatProtectTest, WithoutAReplacedPartNothingIsSent) {
    Check({kReplaceCRMainShaft, kReplaceCRSubShaft});
    HeatProtect().CRHeatProtectOffsetOKBtnClick(frame);
    EXPECT_TRUE(Fake().Calls().empty());
    EXPECT_TRUE(host.Boxes().empty());
    EXPECT_EQ(host.Sleeps(), (std::vector<int>{100}));
    EXPECT_EQ(frame.Memo(),
              "It's not necessary to execute this function in case when you've not replaced 1.main "
              "board, 2.PS board, and 3.CR motor with new one.");
    EXPECT_EQ(frame.MemoColour(), TextColour::Black);
    EXPECT_TRUE(frame.WindowEnabled());
}

TEST_F(HeatProtectTest, OneShaftWritesTheStandardValue) {
    Check({kReplaceCRMotor, kReplaceCRSubShaft});
    HeatProtect().CRHeatProtectOffsetOKBtnClick(frame);
    ASSERT_EQ(host.Boxes().size(), 1u);
    EXPECT_EQ(host.Boxes()[0].text,
              "Once you select OK button, a value for the CR motor drive dispersion will automatically be registered.");
    EXPECT_EQ(host.Boxes()[0].caption, "Confirm");
    EXPECT_EQ(host.Boxes()[0].icon, BoxIcon::Question);
    EXPECT_EQ(host.Boxes()[0].buttons, BoxButtons::OkCancel);
    EXPECT_TRUE(Fake().FactorySends().empty());
    EXPECT_EQ(Fake().EepromWrites(), (std::vector<std::pair<std::uint8_t, std::uint8_t>>{{0xAC, 0x42}}));
    EXPECT_EQ(frame.Memo(), "A value for the CR motor drive dispersion has successfully registered.");
}

TEST_F(HeatProtectTest, CancelLeavesEverythingAsItWas) {
    for (bool bothShafts : {false, true}) {
        Fake().ClearCalls();
        ValueFrame f;
        f.SetChecked(kReplaceMainBoard, true);
        f.SetChecked(kReplaceCRMainShaft, true);
        f.SetChecked(kReplaceCRSubShaft, bothShafts);
        host.QueueAnswers({BoxAnswer::Cancel});
        HeatProtect().CRHeatProtectOffsetOKBtnClick(f);
        EXPECT_TRUE(Fake().Calls().empty());
        EXPECT_TRUE(f.WindowEnabled());
        EXPECT_FALSE(f.Hourglass());
        EXPECT_EQ(f.Memo(), "");
    }
}

TEST_F(HeatProtectTest, BothShaftsRunTheMeasurementSequence) {
    Check({kReplacePSBoard, kReplaceCRMainShaft, kReplaceCRSubShaft});
    // A − B = −921: d = −70, v = −149, stored −74.
    Readings({1000, 1000, 1000, 1307, 1307, 1307});
    std::vector<std::string> memoWhileRunning;
    Fake().QueueStatus({fake::MakeStatus(4), fake::MakeStatus(2), fake::MakeStatus(4)});
    host.OnSleep([&](int) { memoWhileRunning.push_back(frame.Memo()); });

    HeatProtect().CRHeatProtectOffsetOKBtnClick(frame);

    ASSERT_EQ(host.Boxes().size(), 1u);
    EXPECT_EQ(host.Boxes()[0].text,
              "Once you select OK button, the CR motor drive dispersion measurement sequence will be run.");
    std::vector<Bytes> expected{Move(20, -6), Packet(0xC5, 0x3A, 0xE2, {24, 0, 0xFA, 0x00}), Move(20, 97)};
    for (int i = 0; i < 5; ++i) {
        expected.push_back(Move(1, 1097));
        expected.push_back(Move(1, 97));
    }
    for (std::uint8_t m : {4, 3})
        for (int i = 0; i < 3; ++i) {
            expected.push_back(Measure(m));
            expected.push_back(Move(1, 97));
        }
    expected.push_back(Packet(0x50, 0xAF, 0x28, {}));
    expected.push_back(Packet(0x81, 0x7E, 0xC0, {}));
    EXPECT_EQ(Fake().FactorySends(), expected);
    // Six readings, low byte first, then the one write.
    std::vector<std::uint32_t> reads;
    for (const auto& c : Fake().CallsTo(Fn::D4ReadEeprom)) reads.push_back(c.a);
    EXPECT_EQ(reads,
              (std::vector<std::uint32_t>{0x6C, 0x6D, 0x6C, 0x6D, 0x6C, 0x6D, 0x6C, 0x6D, 0x6C, 0x6D, 0x6C, 0x6D}));
    EXPECT_EQ(Fake().EepromWrites(), (std::vector<std::pair<std::uint8_t, std::uint8_t>>{{0xAC, 0xB6}}));
    // The one busy printer (after the warm-up runs) waited a second, quietly.
    EXPECT_EQ(host.Sleeps(), (std::vector<int>{1000}));
    EXPECT_EQ(memoWhileRunning,
              (std::vector<std::string>{"Now, CR motor drive dispersion measurement sequence is running."}));
    EXPECT_EQ(frame.Memo(), "A value for the CR motor drive dispersion has successfully registered.");
    EXPECT_EQ(frame.Flag(WindowFlag::CarriageAtHome), 1);
}

// Readings that overflow a 16-bit sum on one side only: 3 × 22000 = 66000
// against 3 × 21000 = 63000. A − B = 3000 is far beyond the clamp (117); a
// sum that wrapped at 65536 would have given A − B = −62536 and stored −74
// as a successfully registered value.
TEST_F(HeatProtectTest, LargeReadingsAreSummedWithoutWrapping) {
    Check({kReplaceMainBoard, kReplaceCRMainShaft, kReplaceCRSubShaft});
    Readings({22000, 22000, 22000, 21000, 21000, 21000});
    HeatProtect().CRHeatProtectOffsetOKBtnClick(frame);
    EXPECT_EQ(Fake().EepromWrites(), (std::vector<std::pair<std::uint8_t, std::uint8_t>>{{0xAC, 0x75}}));
    // Both sums past 65536 give the same result as before.
    Fake().Reset();
    ValueFrame f;
    f.SetChecked(kReplaceMainBoard, true);
    f.SetChecked(kReplaceCRMainShaft, true);
    f.SetChecked(kReplaceCRSubShaft, true);
    Readings({30000, 30000, 30000, 30000, 30000, 30000});
    HeatProtect().CRHeatProtectOffsetOKBtnClick(f);
    EXPECT_EQ(Fake().EepromWrites(), (std::vector<std::pair<std::uint8_t, std::uint8_t>>{{0xAC, 0x75}}));
}

TEST(Dispersion, ValuesAtTheLimitsOfTheFormula) {
    EXPECT_EQ(DispersionFromSums(4500, 4500), 117);    // d = 237, v clamped to 235
    EXPECT_EQ(DispersionFromSums(1000, 1921), -74);    // d = -70, v = -149
    EXPECT_EQ(DispersionFromSums(1000, 1924), -74);    // d = -71, clamped
    EXPECT_EQ(DispersionFromSums(1000, 1711), 37);     // d = 0, v = 75
    EXPECT_EQ(DispersionFromSums(1000, 1714), 36);     // d = -1, v = 72 (-32 / 10 truncates)
    EXPECT_EQ(DispersionFromSums(1000, 1561), 117);    // d = 50, v = 235 unclamped
    EXPECT_EQ(DispersionFromSums(66000, 63000), 117);  // one sum above 16 bits
    EXPECT_EQ(DispersionFromSums(0, 196605), -74);     // the largest readings on one side only
    EXPECT_EQ(DispersionFromSums(196605, 0), 117);
}

TEST_F(HeatProtectTest, FailuresStopBeforeTheWrite) {
    {
        SCOPED_TRACE("a reading cannot be read");
        Check({kReplaceMainBoard, kReplaceCRMainShaft, kReplaceCRSubShaft});
        Fake().FailEepromAccess(3, 0x2000);
        HeatProtect().CRHeatProtectOffsetOKBtnClick(frame);
        EXPECT_EQ(Fake().Eeprom()[0xAC], 0x11);
        EXPECT_EQ(frame.MemoLines()[0], "Communication error occurred.");
        EXPECT_EQ(frame.ErrorReports(), 1);
        // Stopped right after the failing read: the second drive was the last command.
        const auto packets = Fake().FactorySends();
        EXPECT_EQ(packets.back(), Measure(4));
        EXPECT_EQ(frame.Flag(WindowFlag::CarriageAtHome), 1);  // the sequence does not keep the flag
    }
    {
        SCOPED_TRACE("the printer shows an error during a drive");
        Fake().Reset();
        Fake().Eeprom()[0xAC] = 0x11;
        ValueFrame f;
        f.SetChecked(kReplaceCRMotor, true);
        f.SetChecked(kReplaceCRMainShaft, true);
        f.SetChecked(kReplaceCRSubShaft, true);
        Fake().QueueStatus({fake::MakeStatus(4), fake::MakeStatus(4), fake::MakeStatus(0, 3)});
        HeatProtect().CRHeatProtectOffsetOKBtnClick(f);
        EXPECT_EQ(Fake().Eeprom()[0xAC], 0x11);
        EXPECT_EQ(f.MemoLines()[0], "Release lever position error.");
        EXPECT_TRUE(Fake().CallsTo(Fn::D4ReadEeprom).empty());
    }
    {
        SCOPED_TRACE("the standard value cannot be written");
        Fake().Reset();
        ValueFrame f;
        f.SetChecked(kReplaceMainBoard, true);
        Fake().FailEepromAccess(1, 0x2000);
        HeatProtect().CRHeatProtectOffsetOKBtnClick(f);
        EXPECT_EQ(f.MemoLines()[0], "Communication error occurred.");
        EXPECT_NE(f.Memo(), "A value for the CR motor drive dispersion has successfully registered.");
    }
}

TEST_F(HeatProtectTest, PickingThePanelClearsTheFiveBoxes) {
    for (const char* b : kReplacedPartBoxes) frame.SetChecked(b, true);
    TPHeatProtect::ClearReplacedParts(frame);
    for (const char* b : kReplacedPartBoxes) EXPECT_FALSE(frame.Checked(b)) << b;
}

}  // namespace
}  // namespace svc
