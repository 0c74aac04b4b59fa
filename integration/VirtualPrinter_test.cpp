// The windows against the virtual printer in the same process, through the
// real port switch and channel libraries: what the technician would see with
// a printer on the cable.
#include "link/Host.h"
#include "link/OutsideLibraries.h"
#include "link/VexStatusControl.h"
#include "ui/GuiHost.h"
#include "ui/ProgramWindows.h"
#include "ui/VexFormAdjust.h"
#include "ui/VexFormBoot.h"
#include "ui/VexFormQuit.h"
#include "vprinter/DirectTransport.h"
#include "vprinter/Printer.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>

#include <memory>

using namespace svc;
using namespace svc::ui;

namespace {

// Sleeps move the printer's clock instead of the wall clock; boxes are
// recorded and answered with OK.
class PrinterClockHost : public Host {
public:
    explicit PrinterClockHost(vp::Printer& printer) : printer_(printer) { SetHost(this); }
    ~PrinterClockHost() override { SetHost(nullptr); }
    void Sleep(int ms) override {
        sleeps.push_back(ms);
        if (onSleep) onSleep(static_cast<int>(sleeps.size()));
        printer_.Advance(static_cast<std::uint64_t>(ms));
    }
    void RepaintMainWindow() override {}
    BoxAnswer MessageBox(BoxOwner, const std::string& text, const std::string& caption, BoxIcon, BoxButtons) override {
        boxes.push_back(caption + "|" + text);
        return BoxAnswer::Ok;
    }
    std::vector<int> sleeps;
    std::vector<std::string> boxes;
    std::function<void(int)> onSleep;

private:
    vp::Printer& printer_;
};

}  // namespace

class VirtualPrinterTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<vp::Printer> printer_;
    std::unique_ptr<vp::InProcessPorts> ports_;
    std::unique_ptr<PrinterClockHost> host_;
    std::unique_ptr<ProgramWindows> windows_;

    TFormAdjust& Adjust() { return windows_->Adjust(); }
    QString MemoText() { return Adjust().Memo()->toPlainText(); }
    void PressOk(int model, int port) {
        windows_->Boot().findChild<QComboBox*>("ModelNameCombo")->setCurrentIndex(model);
        windows_->Boot().findChild<QComboBox*>("PortSelectCombo")->setCurrentIndex(port);
        windows_->Boot().OKBtnClick();
    }

private slots:
    void init() {
        vp::Printer::Options options;
        options.model = 2;
        printer_ = std::make_unique<vp::Printer>(options, vp::Eeprom::Factory(2));
        ports_ = std::make_unique<vp::InProcessPorts>(*printer_);
        host_ = std::make_unique<PrinterClockHost>(*printer_);
        Status().Clear();
        windows_ = std::make_unique<ProgramWindows>();
        windows_->Boot().show();
    }
    void cleanup() {
        if (windows_ && windows_->Adjust().isVisible()) windows_->Adjust().close();
        windows_.reset();
        host_.reset();
        // A port a failed attempt left open holds a transport to this printer.
        PortCloseByOsSw();
        ports_.reset();
        printer_.reset();
        ShowNormalCursor();
    }

    void connectsAndReportsTheInks() {
        const int levels[vp::kInkCount] = {100, 75, 50, 25, 10, 5, 0};
        for (int ink = 0; ink < vp::kInkCount; ++ink) printer_->SetInkLevel(ink, levels[ink]);
        PressOk(1, 5);
        QVERIFY(host_->boxes.empty());
        QVERIFY(Adjust().isVisible());
        QCOMPARE(windows_->Boot().PortCode(), std::uint16_t(1027));
        QCOMPARE(Adjust().ModelName()->text(), QString("Corvid Lumen 4200"));
        QCOMPARE(MemoText(), QString("Printer is ready.\n"
                                     "Ink remaining amount;\n"
                                     " Black: 100%, Gray: 0%, Cyan: 75%, Magenta: 50%\n"
                                     " Yellow: 25%, Light Cyan: 10%, Light Magenta: 5%"));
    }

    void switchedOffPrinterGivesTheCableBox() {
        printer_->SetPower(false);
        PressOk(0, 0);
        QCOMPARE(host_->boxes.size(), std::size_t(1));
        QVERIFY(QString::fromStdString(host_->boxes[0]).startsWith("Error!|Communication error occurred."));
        QVERIFY(windows_->Boot().isVisible());
        QVERIFY(!Adjust().isVisible());
        // Switched on again, the next OK connects.
        printer_->SetPower(true);
        windows_->Boot().OKBtnClick();
        QVERIFY(Adjust().isVisible());
    }

    void printerErrorIsReportedOnConnection() {
        printer_->InjectError(4);
        PressOk(0, 0);
        QCOMPARE(MemoText(), QString("Paper jam error.\nClear the error and click the [Get Status] button."));
        printer_->ClearError();
        Adjust().GetStatusBtnClick();
        QVERIFY(MemoText().startsWith("Printer is ready."));
    }

    void paperFeedReachesThePrinter() {
        PressOk(0, 0);
        const std::size_t before = printer_->counters().dataAccepted;
        Adjust().SetCarriageAtHome(0);
        Adjust().HeadAngularPaperFeedBtnClick();
        QCOMPARE(printer_->counters().dataAccepted - before, std::uint64_t(10));
        QCOMPARE(Adjust().CarriageAtHome(), std::uint8_t(1));
        printer_->Advance(1000);
        const auto& data = printer_->ReceivedData();
        QVERIFY(data.size() >= 10);
        const std::vector<std::uint8_t> tail(data.end() - 10, data.end());
        QCOMPARE(tail, (std::vector<std::uint8_t>{0x0D, 0x0A, 0x0D, 0x0A, 0x0D, 0x0A, 0x0D, 0x0A, 0x0D, 0x0A}));
    }

    void busyPrinterIsWaitedForWithMessages() {
        PressOk(0, 0);
        printer_->SetStuckBusy(true);
        QStringList seen;
        host_->onSleep = [&](int n) {
            seen << MemoText();
            if (n == 3) printer_->SetStuckBusy(false);
        };
        QCOMPARE(Adjust().SetOperationState(3, "Printing now..."), Result(1));
        QCOMPARE(host_->sleeps, (std::vector<int>{1000, 1000, 1000}));
        QCOMPARE(seen.first(), QString("Printer is busy.\nPlease wait.."));
        QCOMPARE(MemoText(), QString("Printing now..."));
        QVERIFY(!Adjust().isEnabled());
        QVERIFY(HourglassShown());
        QCOMPARE(Adjust().SetOperationState(2, "Done."), Result(1));
        QCOMPARE(MemoText(), QString("Done."));
    }

    void closeEndsTheChannelAndThePort() {
        PressOk(0, 0);
        const auto connections = printer_->counters().connections;
        Adjust().close();
        QVERIFY(windows_->Quit().isVisible());
        // A second connection starts from scratch on the same printer.
        windows_->Quit().ContinueBtnClick();
        PressOk(0, 0);
        QVERIFY(Adjust().isVisible());
        QVERIFY(printer_->counters().connections > connections);
        QVERIFY(MemoText().startsWith("Printer is ready."));
    }
};

QTEST_MAIN(VirtualPrinterTest)
#include "VirtualPrinter_test.moc"
