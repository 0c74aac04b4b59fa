#include "integration/testing/Twin.h"

#include "chanlink/Capture.h"
#include "chanlink/CaptureControl.h"
#include "cli/CliFrame.h"
#include "cli/Session.h"
#include "cli/testing/Streams.h"
#include "link/Features.h"
#include "link/Host.h"
#include "link/OutsideLibraries.h"
#include "link/VexStatusControl.h"
#include "ui/GuiHost.h"
#include "ui/ProgramWindows.h"
#include "ui/RadioGroup.h"
#include "ui/VexFormAdjust.h"
#include "ui/VexFormBoot.h"
#include "vprinter/DirectTransport.h"
#include "vprinter/Eeprom.h"
#include "vprinter/Printer.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace svc::twin {

namespace {

class PrinterClockHost : public Host {
public:
    PrinterClockHost(vp::Printer& printer, const Setup& setup) : printer_(printer), setup_(setup) { SetHost(this); }
    ~PrinterClockHost() override { SetHost(nullptr); }
    PrinterClockHost(const PrinterClockHost&) = delete;
    PrinterClockHost& operator=(const PrinterClockHost&) = delete;
    void Sleep(int ms) override { printer_.Advance(static_cast<std::uint64_t>(ms > 0 ? ms : 0)); }
    void RepaintMainWindow() override {}
    BoxAnswer MessageBox(BoxOwner, const std::string& text, const std::string& caption, BoxIcon,
                         BoxButtons buttons) override {
        boxes.push_back(caption + "|" + text);
        if (setup_.onBox) setup_.onBox(printer_, caption, text);
        return buttons == BoxButtons::YesNo ? BoxAnswer::Yes : BoxAnswer::Ok;
    }
    std::vector<std::string> boxes;

private:
    vp::Printer& printer_;
    const Setup& setup_;
};

// One run's printer, ports, host and capture file.
class Bench {
public:
    explicit Bench(const Setup& setup) : setup_(setup) {
        vp::Printer::Options options;
        options.model = setup.model;
        printer_ = std::make_unique<vp::Printer>(options, vp::Eeprom::Factory(setup.model));
        if (setup.prepare) setup.prepare(*printer_);
        ports_ = std::make_unique<vp::InProcessPorts>(*printer_);
        host_ = std::make_unique<PrinterClockHost>(*printer_, setup_);
        Status().Clear();
        path_ = (std::filesystem::temp_directory_path() /
                 ("svc-twin-" + std::to_string(::getpid()) + "-" + std::to_string(++serial_) + ".cap"))
                    .string();
        if (!ChanlinkCaptureStart(path_.c_str())) throw std::runtime_error("cannot capture to " + path_);
    }
    ~Bench() {
        ChanlinkCaptureStop();
        PortCloseByOsSw();
        std::filesystem::remove(path_);
    }
    Bench(const Bench&) = delete;
    Bench& operator=(const Bench&) = delete;

    Run Finish(Run run) {
        ChanlinkCaptureStop();
        if (setup_.inspect) setup_.inspect(*printer_);
        d4::CaptureReader reader;
        if (!reader.Open(path_)) throw std::runtime_error("cannot read the capture: " + reader.Error());
        for (d4::CaptureRecord record; reader.Next(record);)
            if (record.direction == d4::Direction::HostToPrinter) run.packets.push_back(std::move(record.bytes));
        run.boxes = host_->boxes;
        return run;
    }

private:
    static inline int serial_ = 0;
    const Setup& setup_;
    std::unique_ptr<vp::Printer> printer_;
    std::unique_ptr<vp::InProcessPorts> ports_;
    std::unique_ptr<PrinterClockHost> host_;
    std::string path_;
};

using cli::testing::ReadAll;

}  // namespace

Run RunCli(const Setup& setup, const std::vector<std::string>& operations) {
    Bench bench(setup);
    const ModelInfo* model = FindModel(setup.model);
    std::vector<std::string> words = {"--model", std::string(model ? model->word : "4100"), "--port", "LPT1", "--yes"};
    words.insert(words.end(), operations.begin(), operations.end());
    std::istringstream noInput;
    cli::CommandLine line;
    if (const std::string error = cli::ParseCommandLine(words, noInput, line); !error.empty())
        throw std::runtime_error("usage: " + error);
    std::FILE* out = std::tmpfile();
    cli::CliFrame frame(out, out);
    Run run;
    run.status = cli::RunSession(line, frame);
    run.memo = ReadAll(out);
    std::fclose(out);
    return bench.Finish(std::move(run));
}

Run RunGui(const Setup& setup, const std::function<void(ui::TFormAdjust&)>& drive) {
    Bench bench(setup);
    ui::ProgramWindows windows;
    windows.Boot().show();
    windows.Boot().findChild<QComboBox*>("ModelNameCombo")->setCurrentIndex(setup.model == 2 ? 1 : 0);
    windows.Boot().findChild<QComboBox*>("PortSelectCombo")->setCurrentIndex(0);
    windows.Boot().OKBtnClick();
    ui::TFormAdjust& adjust = windows.Adjust();
    if (!adjust.isVisible()) throw std::runtime_error("the window did not connect");
    drive(adjust);
    Run run;
    run.memo = adjust.Memo()->toPlainText().toStdString();
    // An operation may have closed the window itself (the DOA refurbishment).
    if (adjust.isVisible()) {
        adjust.DisableTimerTimer();
        adjust.close();
    }
    ui::ShowNormalCursor();
    return bench.Finish(std::move(run));
}

void Pick(ui::TFormAdjust& window, Group group, int item) {
    window.DisableTimerTimer();
    // As the technician does: the item becomes the selected one, then the group's click runs.
    if (QAbstractButton* button = window.RadioGroupOf(group)->Item(item)) button->click();
}

void Type(ui::TFormAdjust& window, const char* objectName, const std::string& text) {
    window.SetText(objectName, text);
}

void Click(ui::TFormAdjust& window, const char* objectName) {
    window.DisableTimerTimer();
    auto* button = window.findChild<QAbstractButton*>(objectName);
    if (!button) throw std::runtime_error(std::string("no button ") + objectName);
    button->click();
}

std::string Describe(const Packets& packets) {
    std::ostringstream s;
    for (const auto& p : packets) {
        for (std::size_t i = 0; i < p.size(); ++i) {
            char hex[4];
            std::snprintf(hex, sizeof hex, i ? " %02X" : "%02X", p[i]);
            s << hex;
        }
        s << '\n';
    }
    return s.str();
}

}  // namespace svc::twin
