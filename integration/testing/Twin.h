// The window and svcadjust-cli side by side: each run gets a fresh
// in-process virtual printer, connects on LPT1 as the start window does,
// records every packet the host sends (chanlink's capture) and closes the
// main window at the end. A test runs the same operation once through the
// window's buttons and once as a command-line operation and compares what
// reached the wire.
//
//     const twin::Run gui = twin::RunGui(setup, [](ui::TFormAdjust& w) {
//         twin::Pick(w, Group::Adjustment, 1);
//         twin::Type(w, "HeadIDInputEdit", "1A0B17F22KLMNPQR34567801P");
//         twin::Click(w, "HeadIDInputOKBtn");
//     });
//     const twin::Run cli = twin::RunCli(setup, {"head-id-input", "1A0B17F22KLMNPQR34567801P"});
//     QCOMPARE(cli.packets, gui.packets);
//
// Sleeps advance the printer's clock instead of the wall clock; message boxes
// are answered Yes / OK (the command line's --yes) and recorded.
#pragma once

#include "link/FeatureFrame.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vp {
class Printer;
}

namespace svc::ui {
class TFormAdjust;
}

namespace svc::twin {

using Packets = std::vector<std::vector<std::uint8_t>>;

struct Setup {
    int model = 1;  // 1 Lumen 4100, 2 Lumen 4200
    // Runs on the fresh printer before the connection (EEPROM bytes, faults, an engine).
    std::function<void(vp::Printer&)> prepare;
    // Runs on the printer after the session, before it is destroyed (to inspect it).
    std::function<void(vp::Printer&)> inspect;
    // Runs when a message box is shown, before it is answered: what the
    // technician does at the printer when told to (switch it off, ...).
    std::function<void(vp::Printer&, const std::string& caption, const std::string& text)> onBox;
};

struct Run {
    Packets packets;                 // host-to-printer packets, in order
    std::vector<std::string> boxes;  // "caption|text" of each message box
    std::string memo;                // the memo's last text (GUI) or everything printed (CLI)
    int status = 0;                  // the command line's exit status; 0 for a GUI run
};

// The operations as svcadjust-cli takes them ({"eeprom-view", "00", "FF"}).
Run RunCli(const Setup& setup, const std::vector<std::string>& operations);
// `drive` works the main window after it was shown (Get Status has run).
Run RunGui(const Setup& setup, const std::function<void(ui::TFormAdjust&)>& drive);

// ---- working the window as a technician does ----
void Pick(ui::TFormAdjust& window, Group group, int item);
void Type(ui::TFormAdjust& window, const char* objectName, const std::string& text);
void Click(ui::TFormAdjust& window, const char* objectName);

// The packets as text, one line each, for a readable difference.
std::string Describe(const Packets& packets);

}  // namespace svc::twin
