// The long EEPROM sequences of the features, as the virtual printer saw them
// (one line per library call that reached it), against golden transcripts in
// eeprom/golden/. SVC_UPDATE_GOLDEN=1 rewrites the files instead. The service
// journal records each test as one operation: recording adds no traffic, so
// the transcripts are the same with it.
#include "eeprom/VexDataConversion.h"
#include "eeprom/VexEeprom.h"
#include "eeprom/VexEepromCopy.h"
#include "eeprom/VexHeadId.h"
#include "eeprom/VexMarketSetting.h"
#include "eeprom/VexUsbId.h"
#include "journal/Recorder.h"
#include "journal/SqlStore.h"
#include "link/Connection.h"
#include "link/Host.h"
#include "link/OutsideLibraries.h"
#include "link/VexStatusControl.h"
#include "service/ValueFrame.h"
#include "vprinter/DirectTransport.h"
#include "vprinter/Printer.h"
#include "vprinter/Transcript.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <unistd.h>

namespace svc {
namespace {

class PrinterClockHost : public Host {
public:
    explicit PrinterClockHost(vp::Printer& printer) : printer_(printer) { SetHost(this); }
    ~PrinterClockHost() override { SetHost(nullptr); }
    void Sleep(int ms) override { printer_.Advance(static_cast<std::uint64_t>(ms > 0 ? ms : 0)); }
    void RepaintMainWindow() override {}
    BoxAnswer MessageBox(BoxOwner, const std::string&, const std::string&, BoxIcon, BoxButtons) override {
        return BoxAnswer::Ok;
    }

private:
    vp::Printer& printer_;
};

// A virtual printer of the model, connected on LPT1, every byte different and the signatures in place.
class Golden : public ::testing::Test {
protected:
    void Start(int model) {
        vp::Printer::Options options;
        options.model = model;
        printer = std::make_unique<vp::Printer>(options, vp::Eeprom::Factory(model));
        for (int a = 0; a < 256; ++a)
            printer->WriteEeprom(static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(a * 7 + 3));
        for (const EepWrite& s : kSignatureBytes) printer->WriteEeprom(s.address, s.value);
        ports = std::make_unique<vp::InProcessPorts>(*printer);
        host = std::make_unique<PrinterClockHost>(*printer);
        Status().Clear();
        frame.SetModelCode(model);
        ASSERT_EQ(ConnectPrinter(model, 1028), nullptr);
        recorder = std::make_unique<vp::TranscriptRecorder>(*printer);
        journalPath =
            std::filesystem::temp_directory_path() / ("svc-eepgolden-" + std::to_string(::getpid()) + ".sqlite");
        journal::Journal().Install(journal::OpenSqlite(journalPath.string()), nullptr);
        journal::Journal().BeginSession(model, 1028, "packet protocol");
        journal::Journal().BeginOperation(::testing::UnitTest::GetInstance()->current_test_info()->name(), "");
    }
    void TearDown() override {
        if (journal::Journal().InOperation()) {
            // Every byte the test moved is in the journal.
            EXPECT_GT(journal::Journal().EndOperation(true, frame.MemoLines()), 0);
            EXPECT_EQ(journal::Journal().LastOperation().bytes.size(),
                      printer->counters().eepromReads + printer->counters().eepromWrites);
        }
        journal::Journal().Uninstall();
        for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(journalPath.string() + suffix);
        recorder.reset();
        if (printer) {
            D4Termination();
            PortCloseByOsSw();
        }
        host.reset();
        ports.reset();
        printer.reset();
    }
    void Expect(const char* name) {
        const std::string difference = vp::CompareWithGolden(SVC_EEPROM_GOLDEN_DIR, name, recorder->Text());
        EXPECT_EQ(difference, "");
    }

    std::unique_ptr<vp::Printer> printer;
    std::unique_ptr<vp::InProcessPorts> ports;
    std::unique_ptr<PrinterClockHost> host;
    std::unique_ptr<vp::TranscriptRecorder> recorder;
    ValueFrame frame;
    std::filesystem::path journalPath;
};

TEST_F(Golden, MarketSettingAndCheckOfTheTrnVlkModel) {
    Start(2);
    DefaultSetOKBtnClick(frame);
    DestCheckBtnClick(frame);
    EXPECT_EQ(frame.MemoLines().at(0), "The market destination is TRN/VLK.");
    Expect("market_4200.txt");
}

TEST_F(Golden, HeadIdAndUsbIdWrites) {
    Start(1);
    UsbId().SetClock([] { return LocalDateTime{2001, 12, 31, 23, 45, 50}; });
    frame.SetText("HeadIDInputEdit", "1A0B17F22KLMNPQR34567801P");
    HeadID().HeadIDInputOKBtnClick(frame);
    frame.SetText("USBIDInputEdit", "AB12345678");
    UsbId().USBIDInputOKBtnClick(frame);
    UsbId().SetClock(nullptr);
    EXPECT_EQ(frame.AdjustedCell("UsbIDPnl"), "AB123456781CVNFK30");
    Expect("identity_writes.txt");
}

TEST_F(Golden, BackupThenRestore) {
    const auto folder = std::filesystem::temp_directory_path() / ("svc-eepgolden-" + std::to_string(::getpid()));
    EepromCopy().SetBackupPath((folder / "bkupdata.eep").string());
    Start(1);
    EepromCopy().EepDataCopyBackUpStartPnlClick(frame);
    EepromCopy().EepDataCopyLoadStartPnlClick(frame);
    EXPECT_EQ(frame.MemoLines().at(0), "The EEPROM data copy function has finished properly.");
    EepromCopy().SetBackupPath("");
    std::filesystem::remove_all(folder);
    Expect("backup_restore.txt");
}

TEST_F(Golden, ViewerAndPrinterInformation) {
    Start(1);
    frame.SetText("EepromCheckBeginEdit", "00");
    frame.SetText("EepromCheckEndEdit", "FF");
    DataConversion().EepromCheckOKBtnClick(frame);
    DataConversion().PrinterInfoReadOutOKBtnClick(frame);
    Expect("viewer_printer_info.txt");
}

}  // namespace
}  // namespace svc
