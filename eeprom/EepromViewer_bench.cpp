// The EEPROM viewer's full read (00 to FF, 256 cells, the window included)
// beside 256 bare D4ReadEeprom calls, both against the same in-process
// virtual printer through the real port-switch and channel libraries.
// Runs on Qt's offscreen platform unless another one is chosen.
#include "chanlink/testing/RatioReporter.h"
#include "link/Host.h"
#include "link/OutsideLibraries.h"
#include "ui/ProgramWindows.h"
#include "ui/RadioGroup.h"
#include "ui/VexFormAdjust.h"
#include "ui/VexFormBoot.h"
#include "vprinter/DirectTransport.h"
#include "vprinter/Printer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QRadioButton>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

namespace {

// Waits advance the printer's clock; no message box is expected.
class PrinterClockHost : public svc::Host {
public:
    explicit PrinterClockHost(vp::Printer& printer) : printer_(printer) {}
    void Sleep(int ms) override { printer_.Advance(static_cast<std::uint64_t>(ms > 0 ? ms : 0)); }
    void RepaintMainWindow() override {}
    svc::BoxAnswer MessageBox(svc::BoxOwner, const std::string&, const std::string&, svc::BoxIcon,
                              svc::BoxButtons) override {
        return svc::BoxAnswer::Ok;
    }

private:
    vp::Printer& printer_;
};

// A connected main window with the EEPROM viewer picked and the range 00 to FF typed.
struct Bench {
    Bench()
        : printer(vp::Printer::Options{}, vp::Eeprom::Factory(1)), ports(printer), host(printer) {
        svc::SetHost(&host);
        svc::ui::CreateProgramObjects();
        windows = std::make_unique<svc::ui::ProgramWindows>();
        auto& boot = windows->Boot();
        boot.show();
        boot.findChild<QComboBox*>("ModelNameCombo")->setCurrentIndex(0);
        boot.findChild<QComboBox*>("PortSelectCombo")->setCurrentIndex(0);
        boot.OKBtnClick();
        auto& w = windows->Adjust();
        w.RadioGroupOf(svc::Group::Appendix)->Item(0)->click();
        w.SetText("EepromCheckBeginEdit", "00");
        w.SetText("EepromCheckEndEdit", "FF");
        readOk = w.findChild<QAbstractButton*>("EepromCheckOKBtn");
    }
    ~Bench() {
        windows->Adjust().DisableTimerTimer();
        windows->Adjust().close();
        windows.reset();
        svc::SetHost(nullptr);
    }
    vp::Printer printer;
    vp::InProcessPorts ports;
    PrinterClockHost host;
    std::unique_ptr<svc::ui::ProgramWindows> windows;
    QAbstractButton* readOk = nullptr;
};

Bench* bench = nullptr;

void BM_ViewerFullRead(benchmark::State& state) {
    svc::ui::TFormAdjust& w = bench->windows->Adjust();
    for (auto _ : state) {
        w.DisableTimerTimer();  // the window is usable again, as 100 ms after the last read
        bench->readOk->click();
        QApplication::processEvents();
    }
    if (w.CellText("EepromStrGrid", 16, 16).size() != 2) state.SkipWithError("the grid was not filled");
}
BENCHMARK(BM_ViewerFullRead)->Unit(benchmark::kMillisecond);

// The window's part alone: 256 cells written and repainted one by one.
void BM_GridCellUpdates(benchmark::State& state) {
    svc::ui::TFormAdjust& w = bench->windows->Adjust();
    int round = 0;
    for (auto _ : state) {
        const std::string text = ++round % 2 ? "AB" : "CD";
        for (int r = 1; r <= 16; ++r)
            for (int c = 1; c <= 16; ++c) w.SetCellText("EepromStrGrid", c, r, text);
    }
}
BENCHMARK(BM_GridCellUpdates)->Unit(benchmark::kMillisecond);

void BM_BareEepromReads(benchmark::State& state) {
    for (auto _ : state) {
        for (int a = 0; a < 256; ++a) {
            std::uint8_t value = 0;
            if (D4ReadEeprom(static_cast<std::uint8_t>(a), &value) != 1) state.SkipWithError("read failed");
            benchmark::DoNotOptimize(value);
        }
    }
}
BENCHMARK(BM_BareEepromReads)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    Bench b;
    bench = &b;
    d4::testing::RatioReporter reporter("EEPROM viewer");
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.Ratio("256 cells, window included", "BM_ViewerFullRead", "BM_BareEepromReads", false, "<= 2x");
    bench = nullptr;
    benchmark::Shutdown();
    return 0;
}
