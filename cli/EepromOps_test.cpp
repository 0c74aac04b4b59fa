// The EEPROM and identity operations of svcadjust-cli against the recording fake.
#include "cli/CliFrame.h"
#include "cli/Operations.h"
#include "cli/Session.h"
#include "cli/testing/Streams.h"
#include "eeprom/VexEepromCopy.h"
#include "eeprom/VexUsbId.h"
#include "link/testing/FakeOutside.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <unistd.h>

namespace svc::cli {
namespace {

using fake::Fake;
using fake::Fn;
using Writes = std::vector<std::pair<std::uint8_t, std::uint8_t>>;

using testing::Streams;

class EepromOpsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Fake().Reset();
        UsbId().SetClock([] { return LocalDateTime{2001, 12, 31, 23, 45, 50}; });
    }
    void TearDown() override { UsbId().SetClock(nullptr); }
    // Runs svcadjust-cli with the words after the options; returns the exit status.
    int Run(std::vector<std::string> words, const char* model = "4100", const char* port = "LPT1") {
        words.insert(words.begin(), {"--model", model, "--port", port, "--yes"});
        std::istringstream noInput;
        CommandLine line;
        usage = ParseCommandLine(words, noInput, line);
        if (!usage.empty()) return kExitUsage;
        CliFrame frame(streams.out, streams.err);
        Fake().ClearCalls();
        return RunSession(line, frame);
    }
    std::string Out() { return streams.Out(); }
    std::string Err() { return streams.Err(); }

    fake::ScriptedHost host;
    Streams streams;
    std::string usage;
};

TEST_F(EepromOpsTest, EveryButtonHasItsOperation) {
    for (const char* name :
         {"market-ok", "market-check", "head-id-input", "head-id-read", "head-check-print", "usb-id-input",
          "usb-id-read", "ieee1394-id-input", "ieee1394-id-read", "backup", "restore", "eeprom-view", "eeprom-poke",
          "printer-info", "waste-ink-read", "waste-ink-reset"})
        EXPECT_NE(FindOperation(name), nullptr) << name;
}

TEST_F(EepromOpsTest, HeadIdTypedInLowerCaseIsWrittenAsTheFieldWouldHoldIt) {
    EXPECT_EQ(Run({"head-id-input", "1a0b17f22klmnpqr34567801p", "head-id-read"}), kExitOk);
    EXPECT_EQ(Fake().EepromWrites().size(), 21u);
    const std::string text = Out();
    EXPECT_NE(text.find("The head ID write function has completed.\n"), std::string::npos);
    EXPECT_NE(text.find("Head ID: 1A0B17F22KLMN PQR34567801P\n"), std::string::npos);
    EXPECT_NE(text.find("Head ID = 1A0B17F22KLMNPQR34567801P\n"), std::string::npos);
}

TEST_F(EepromOpsTest, ARefusedHeadIdFailsWithItsMessage) {
    EXPECT_EQ(Run({"head-id-input", "1A0B17F22KLMNPQR34567801Q"}), kExitFailed);
    EXPECT_EQ(Err(), "error: 25th digit is wrong.\n");
    EXPECT_TRUE(Fake().EepromWrites().empty());
}

TEST_F(EepromOpsTest, TextsLongerThanTheFieldAreUsageErrors) {
    EXPECT_EQ(Run({"head-id-input", "1A0B17F22KLMNPQR34567801PX"}), kExitUsage);
    EXPECT_EQ(usage, "head-id-input: at most 25 characters fit the field, not 26");
    EXPECT_EQ(Run({"eeprom-view", "000", "FF"}), kExitUsage);
    EXPECT_EQ(Run({"eeprom-view", "00"}), kExitUsage);
    EXPECT_NE(usage.find("FIRST LAST"), std::string::npos);
    EXPECT_EQ(Run({"usb-id-input", "AB123456789"}), kExitUsage);
    EXPECT_TRUE(Fake().EepromWrites().empty());
}

TEST_F(EepromOpsTest, UsbAndIeee1394IdsFillTheirCells) {
    EXPECT_EQ(Run({"usb-id-input", "ab12345678", "ieee1394-id-input", "00000712ab"}), kExitOk);
    const std::string text = Out();
    EXPECT_NE(text.find("USB ID: AB123456781CVNFK30\n"), std::string::npos) << text;
    EXPECT_NE(text.find("IEEE1394 ID: 00000712AB\n"), std::string::npos) << text;
    EXPECT_EQ(Run({"usb-id-read", "ieee1394-id-read"}), kExitOk);
}

TEST_F(EepromOpsTest, ViewPrintsTheGridAndPokeWritesOneByte) {
    Fake().Eeprom()[0x7F] = 0x11;
    EXPECT_EQ(Run({"eeprom-poke", "7f", "5a", "eeprom-view", "70", "7F"}), kExitOk);
    EXPECT_EQ(Fake().EepromWrites(), (Writes{{0x7F, 0x5A}}));
    const std::string text = Out();
    EXPECT_NE(text.find("   0  1  2  3  4  5  6  7  8  9  A  B  C  D  E  F\n0\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\n7  00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 5A\n8\n"), std::string::npos) << text;
    EXPECT_NE(text.find("The EEPROM data read function has finished properly."), std::string::npos);
}

TEST_F(EepromOpsTest, AWrongRangeFailsWithoutAGrid) {
    EXPECT_EQ(Run({"eeprom-view", "20", "1F"}), kExitFailed);
    EXPECT_EQ(Err(), "error: The input value is wrong.\n");
    EXPECT_EQ(Out().find("0  1  2"), std::string::npos);
}

TEST_F(EepromOpsTest, MarketCheckAfterRestoreFailsUntilOkIsRun) {
    const auto folder = std::filesystem::temp_directory_path() / ("svc-eepops-" + std::to_string(::getpid()));
    EepromCopy().SetBackupPath((folder / "bkupdata.eep").string());
    EXPECT_EQ(Run({"backup", "restore"}), kExitOk);
    EXPECT_EQ(Run({"market-check"}), kExitFailed);
    EXPECT_NE(Err().find("error: The present market destination setting value is wrong."), std::string::npos);
    EXPECT_EQ(Run({"market-ok", "market-check"}), kExitOk);
    EXPECT_NE(Out().find("The market destination is world standard."), std::string::npos);
    EXPECT_EQ(Run({"restore"}), kExitFailed);  // the file went with the first restore
    EepromCopy().SetBackupPath("");
    std::filesystem::remove_all(folder);
}

TEST_F(EepromOpsTest, BackupOverUsbIsRefused) {
    EXPECT_EQ(Run({"backup"}, "4100", "ZQUSB1"), kExitFailed);
    EXPECT_EQ(Err(), "error: This function cannot use by USB cable.\n");
    EXPECT_EQ(Fake().EepromAccessCount(), 0);
}

TEST_F(EepromOpsTest, CountersAndInformation) {
    Fake().Eeprom()[0x20] = 0x40;
    Fake().Eeprom()[0x21] = 0x9C;
    EXPECT_EQ(Run({"waste-ink-read", "waste-ink-reset", "printer-info"}), kExitOk);
    const std::string text = Out();
    EXPECT_NE(text.find("Waste Ink Pad counter value = 40000\n"), std::string::npos);
    EXPECT_NE(text.find("Waste Ink Pad Counter: 0\n"), std::string::npos) << text;
    EXPECT_NE(text.find("    Cut count\t\t= 0\n"), std::string::npos);
}

}  // namespace
}  // namespace svc::cli
