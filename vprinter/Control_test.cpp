#include "vprinter/Control.h"

#include <gtest/gtest.h>

#include "vprinter/Printer.h"

namespace vp {
namespace {

class ControlTest : public ::testing::Test {
protected:
    Printer printer{Printer::Options{}, Eeprom::Factory(1)};
    ControlCommands control{printer};
};

TEST_F(ControlTest, SwitchesPowerAndEachFaultOnAndOff) {
    EXPECT_EQ(control.Execute("power off"), "OK power off");
    EXPECT_FALSE(printer.PoweredOn());
    EXPECT_EQ(control.Execute("power on"), "OK power on");
    EXPECT_TRUE(printer.PoweredOn());

    EXPECT_EQ(control.Execute("busy on"), "OK busy on");
    EXPECT_EQ(printer.State(), kStateBusy);
    EXPECT_EQ(control.Execute("busy off"), "OK busy off");

    EXPECT_EQ(control.Execute("error 6"), "OK error 6");
    EXPECT_EQ(printer.State(), kStateError);
    EXPECT_EQ(printer.ErrorCode(), 6);
    EXPECT_EQ(control.Execute("error clear"), "OK error cleared");
    EXPECT_EQ(printer.State(), kStateReady);

    EXPECT_EQ(control.Execute("hold uncharged"), "OK hold 8");
    EXPECT_EQ(printer.State(), kStateBeforeInkCharge);
    EXPECT_EQ(control.Execute("hold cleaning"), "OK hold 7");
    EXPECT_EQ(printer.State(), kStateCleaning);
    EXPECT_EQ(control.Execute("hold off"), "OK hold off");

    EXPECT_EQ(control.Execute("refuse 7"), "OK refuse 7");
    EXPECT_EQ(printer.PendingRefusal(), 7);
    EXPECT_EQ(control.Execute("drop 12"), "OK drop 12");
    EXPECT_EQ(printer.PacketsBeforeDrop(), 12u);
    EXPECT_EQ(control.Execute("clear"), "OK faults cleared");
    EXPECT_FALSE(printer.PendingRefusal());
    EXPECT_FALSE(printer.PacketsBeforeDrop());
}

TEST_F(ControlTest, SetsInkLevelsAndConditionsByColourName) {
    EXPECT_EQ(control.Execute("ink black 40"), "OK ink black 40");
    EXPECT_EQ(printer.InkLevel(kBlack), 40);
    EXPECT_EQ(control.Execute("ink light cyan missing"), "OK ink light cyan missing");
    EXPECT_EQ(printer.InkCode(kLightCyan), 0x4E41);
    EXPECT_EQ(control.Execute("ink light-magenta RE"), "OK ink light-magenta RE");
    EXPECT_EQ(printer.InkCode(kLightMagenta), 0x5245);
    EXPECT_EQ(control.Execute("ink all 100"), "OK ink all 100");
    for (int ink = 0; ink < kInkCount; ++ink) EXPECT_EQ(printer.InkCode(ink), 0x3634) << "new cartridges";
}

TEST_F(ControlTest, RefusesMalformedCommandsAndChangesNothing) {
    const std::string before = printer.Summary();
    for (const char* bad :
         {"", "   ", "power", "power maybe", "error 256", "error -1", "error 6x", "refuse 0", "drop x", "ink black 101",
          "ink purple 10", "ink black", "speed fast", "hold 300", "status now", "fly away"}) {
        EXPECT_EQ(control.Execute(bad).rfind("ERR ", 0), 0u) << bad;
    }
    EXPECT_EQ(printer.Summary(), before);
    EXPECT_EQ(control.Execute("paper"), "ERR this printer has no print engine for paper");
}

TEST_F(ControlTest, StatusAndHelpAnswerOnOneLine) {
    control.Execute("error 4");
    control.Execute("ink cyan unreadable");
    const std::string status = control.Execute("status");
    EXPECT_EQ(status.find('\n'), std::string::npos);
    EXPECT_NE(status.find("state 0 (error); error 4"), std::string::npos) << status;
    EXPECT_NE(status.find("cyan unreadable"), std::string::npos) << status;
    const std::string help = control.Execute("help");
    EXPECT_EQ(help.find('\n'), std::string::npos);
    EXPECT_NE(help.find("drop N|off"), std::string::npos) << help;
}

TEST_F(ControlTest, ExtensionsSeeCommandsFirst) {
    std::vector<std::string> seen;
    control.AddExtension(
        [&seen](const std::vector<std::string>& words) -> std::optional<std::string> {
            seen = words;
            if (words[0] == "fault") return "OK fault " + words[1];
            return std::nullopt;
        },
        "fault KIND   an engine fault");
    EXPECT_EQ(control.Execute("fault jam"), "OK fault jam");
    EXPECT_EQ(control.Execute("busy on"), "OK busy on");
    EXPECT_EQ(seen, (std::vector<std::string>{"busy", "on"}));
    EXPECT_NE(control.HelpText().find("fault KIND"), std::string::npos);
}

}  // namespace
}  // namespace vp

namespace vp {
namespace {

TEST(BoardReplace, OnlyWithThePowerOffAndTheEepromBecomesANewBoards) {
    Printer printer{Printer::Options{}, Eeprom::Factory(2)};
    ControlCommands control{printer};
    printer.ClearEepromChanged();
    EXPECT_EQ(control.Execute("board replace"),
              "ERR the power is on: a main board is replaced only with the printer off (power off first)");
    EXPECT_EQ(printer.eeprom(), Eeprom::Factory(2));
    EXPECT_FALSE(printer.EepromChanged());
    EXPECT_EQ(control.Execute("board"), "ERR usage: board replace");
    EXPECT_EQ(control.Execute("board swap"), "ERR usage: board replace");

    control.Execute("power off");
    EXPECT_EQ(control.Execute("board replace"), "OK board replaced: the EEPROM holds only the block signatures");
    EXPECT_EQ(printer.eeprom(), Eeprom::NewBoard());
    EXPECT_TRUE(printer.EepromChanged());
    EXPECT_EQ(printer.BoardReplacements(), 1u);
    control.Execute("power on");
    EXPECT_EQ(printer.DeviceId().find("MDL:Corvid Lumen 4100;") != std::string::npos, true);  // still the same printer
}

}  // namespace
}  // namespace vp

namespace vp {
namespace {

TEST(Counters, ACartridgePutInCountsAReplacementCleaningOncePerCommand) {
    Printer printer{Printer::Options{}, Eeprom::Factory(1)};
    ControlCommands control{printer};
    const std::uint16_t before = printer.eeprom().Get16(0x38);
    EXPECT_EQ(control.Execute("ink all 100"), "OK ink all 100");  // fuller cartridges in every slot
    EXPECT_EQ(printer.eeprom().Get16(0x38), before + 1);
    control.Execute("ink cyan 50");  // less ink than before: only the level is set
    EXPECT_EQ(printer.eeprom().Get16(0x38), before + 1);
    control.Execute("ink cyan missing");
    control.Execute("ink cyan 10");  // a cartridge where there was none
    EXPECT_EQ(printer.eeprom().Get16(0x38), before + 2);
    EXPECT_EQ(printer.InkLevel(1), 10);
}

TEST(Counters, StopAtTheirLargestValue) {
    Eeprom e = Eeprom::Factory(1);
    e.Set16(0x38, 0xFFFE);
    e.Set32(0x78, 0xFFFFFFF0u);
    Printer printer{Printer::Options{}, e};
    printer.AddToCounter(0x38, 2, 5);
    printer.AddToCounter(0x78, 4, 0x10);
    printer.AddToCounter(0x3A, 1, 300);
    EXPECT_EQ(printer.eeprom().Get16(0x38), 0xFFFF);
    EXPECT_EQ(printer.eeprom().Get32(0x78), 0xFFFFFFFFu);
    EXPECT_EQ(printer.eeprom().Get(0x3A), 0xFF);
    EXPECT_EQ(printer.eeprom().Get(0x3B), e.Get(0x3B));  // the next byte is not touched
}

}  // namespace
}  // namespace vp

namespace vp {
namespace {

TEST(CrReadings, ReplaceTheMechanismsReadingInOrderAndStartOver) {
    Printer printer{Printer::Options{}, Eeprom::Factory(1)};
    ControlCommands control{printer};
    EXPECT_EQ(control.Execute("cr readings 1500 70000"),
              "ERR usage: cr readings V [V ...]|off (V 0-65535, at most 64)");
    EXPECT_EQ(control.Execute("cr readings"), "ERR usage: cr readings V [V ...]|off (V 0-65535, at most 64)");
    EXPECT_EQ(control.Execute("cr readings 258 513"), "OK cr readings 258 513");
    Machine& m = printer;
    for (std::uint16_t expected : {258, 513, 258}) {
        m.WriteEeprom(0x6C, 0xEE);  // what the mechanism measured
        m.WriteEeprom(0x6D, 0xEE);
        EXPECT_EQ(printer.eeprom().Get16(0x6C), expected);
    }
    EXPECT_EQ(ParseCrReadings("1,2,3"), (std::vector<std::uint16_t>{1, 2, 3}));
    EXPECT_FALSE(ParseCrReadings("1,,3"));
    EXPECT_FALSE(ParseCrReadings(""));
}

}  // namespace
}  // namespace vp

namespace vp {
namespace {

TEST(StateLine, LightsFaultsAndExtensionFields) {
    Printer printer{Printer::Options{}, Eeprom::Factory(1)};
    ControlCommands control{printer};
    control.AddStateFields([] { return std::string(" extra=1"); });
    std::string line = control.Execute("state");
    EXPECT_EQ(line.rfind("OK model=4100 power=on power_led=on error_led=off state=4 error=0 buffer=0/16384", 0), 0u)
        << line;
    EXPECT_NE(line.find(" faults=- "), std::string::npos);
    EXPECT_NE(line.find(" changed=-"), std::string::npos);
    EXPECT_EQ(line.substr(line.size() - 8), " extra=1");
    control.Execute("error 6");
    control.Execute("busy on");
    control.Execute("ink gray missing");
    line = control.Execute("state");
    EXPECT_NE(line.find(" error_led=on state=0 error=6 "), std::string::npos) << line;
    EXPECT_NE(line.find(" faults=busy,error:6 "), std::string::npos) << line;
    EXPECT_NE(line.find(",gray:NA "), std::string::npos) << line;
    control.Execute("power off");
    EXPECT_NE(control.Execute("state").find(" power=off power_led=off error_led=off "), std::string::npos);
    EXPECT_EQ(control.Execute("state now"), "ERR unknown command 'state now' (try help)");
}

}  // namespace
}  // namespace vp
