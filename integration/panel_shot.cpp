// vprinter_panel_shot OUT.png: a picture of the panel beside a printer that
// has just printed a page of colour patches from a host, for docs/screenshots.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QThread>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "chanlink/ChannelApi.h"
#include "hostbridge/PortSwitch.h"
#include "link/VexRaster.h"
#include "vprinter/panel/ControlConnection.h"
#include "vprinter/panel/PanelWindow.h"
#include "vprinter/panel/ServedPrinter.h"

namespace {

constexpr std::uint16_t kOk = 1;

// A staircase of one-inch patches, one per ink, as a host would send it.
bool PrintPatches(const std::string& portPath) {
    const std::string map = "LPT1=unix:" + portPath;
    ::setenv("SVCADJUST_PORTMAP", map.c_str(), 1);
    if (PortOpenByOsSw(1028) != kOk || GetDeviceIDByOsSw() != kOk || D4Negotiation() != kOk) return false;
    auto& s = svc::JobStream();
    bool ok = svc::SendJobHeader(s, 10, 1, 10, 2) == kOk && svc::SendVerticalMove(s, 360) == kOk &&
              svc::SendHorizontalMove(s, 540) == kOk && svc::SendRasterResolution(s, 104, 1, 2, 1) == kOk;
    const std::uint8_t inks[] = {svc::ink::Black,     svc::ink::Cyan,         svc::ink::Magenta, svc::ink::Yellow,
                                 svc::ink::LightCyan, svc::ink::LightMagenta, svc::ink::Gray};
    for (std::uint8_t ink : inks) {
        ok = ok && svc::SendRasterHeader(s, ink, 1, 2, 360, 180) == kOk;
        for (int line = 0; ok && line < 180; ++line) ok = svc::RepeatSendLong(s, 360, 0xFF) == kOk;
        ok = ok && svc::SendVerticalMove(s, 240) == kOk && svc::SendHorizontalMove(s, -1080) == kOk;
    }
    ok = ok && svc::SendEndOfJob(s) == kOk;
    std::uint8_t record[52];
    ok = ok && D4WriteEeprom(0x20, 0x00) == kOk && D4WriteEeprom(0x21, 0x00) == kOk && InquireStatus(record) == kOk;
    D4Termination();
    PortCloseByOsSw();
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: vprinter_panel_shot OUT.png\n");
        return 2;
    }
    const std::string dir = QDir::tempPath().toStdString() + "/vp-panel-shot-" + std::to_string(::getpid());
    vp::panel::ServedPrinter printer(dir, 2);
    if (!printer.Ok()) {
        std::fprintf(stderr, "vprinter_panel_shot: %s\n", printer.Error().c_str());
        return 1;
    }
    if (!PrintPatches(printer.PortPath())) {
        std::fprintf(stderr, "vprinter_panel_shot: the page could not be sent\n");
        return 1;
    }
    vp::panel::PanelWindow panel;
    panel.Start(QString::fromStdString(printer.ControlPath()), 100);
    panel.resize(panel.sizeHint());
    panel.show();
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 20000 &&
           !(panel.Fields().value(QStringLiteral("page_serial")) == QLatin1String("1") &&
             panel.findChild<QLabel*>(QStringLiteral("pageLbl"))->text().startsWith(QLatin1String("Page 1"))))
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    // Then a low cartridge and the paper run out, as a technician might find it.
    panel.Connection().Send(QStringLiteral("ink light magenta 7"));
    panel.Connection().Send(QStringLiteral("fault paperout"));
    timer.restart();
    while (timer.elapsed() < 5000 && panel.Fields().value(QStringLiteral("engine_fault")) != QLatin1String("6"))
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    for (int i = 0; i < 10; ++i) QApplication::processEvents(QEventLoop::AllEvents, 50);
    if (!panel.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "vprinter_panel_shot: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
