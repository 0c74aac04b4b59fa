// The operations of svcadjust-cli: one per button of the main window, named
// after the button in lower case with dashes ("head-id-input", "bid-print").
// An operation does what its button does, with the edit texts taken from its
// arguments, through the same feature code as the window.
//
// Each feature area lists its operations in a file of its own (EepromOps.cpp,
// CheckAdjustOps.cpp, PositionAdjustOps.cpp, ServiceOps.cpp); AllOperations()
// puts them together.
#pragma once

#include "link/FeatureFrame.h"

#include <functional>
#include <string>
#include <vector>

namespace svc::cli {

class CliFrame;
using Arguments = std::vector<std::string>;

struct Operation {
    std::string name;       // "eeprom-view"
    std::string arguments;  // its arguments for the usage text: "FIRST LAST"; empty for none
    std::string help;       // one line: what it does
    int minArgs = 0;
    int maxArgs = 0;  // words after the name that belong to it (they never name an operation)
    // The radio item whose panel holds the button. The session picks the item
    // (as a click on it would: HideAllPanels, the panel shown, its fields
    // prepared) when it is not the one picked last, and refuses an item that
    // Get Status left unavailable. Operations of the frame itself have item -1.
    Group group = Group::Adjustment;
    int item = -1;
    // What picking the item does besides showing the panel (empty fields, clear check boxes).
    std::function<void(CliFrame&)> chosen;
    // Runs the button. An argument it cannot use is a usage error: it returns
    // the message and does nothing; else empty.
    std::function<std::string(CliFrame&, const Arguments&)> run;
    // Checks the arguments without a printer, before the session connects:
    // the usage error `run` would give, or empty. None for operations whose
    // arguments the panel itself judges (a value out of range is the panel's
    // message, not a usage error).
    std::function<std::string(const Arguments&)> check;
};
using OperationList = std::vector<Operation>;

OperationList FrameOperations();           // get-status, paper-feed
OperationList EepromOperations();          // identity, EEPROM copy and viewer, counters
OperationList CheckAdjustOperations();     // check prints, head angular, Bi-D, PF
OperationList PositionAdjustOperations();  // PW sensor, pixel shift, first dot, cut position
OperationList ServiceOperations();         // cleaning, ink charge, CR dispersion, PG, DOA
OperationList JournalOperations();         // undo (cli/JournalOps.cpp)
OperationList ReadPageOperations();        // read-page (cli/ReadPageOps.cpp)

const OperationList& AllOperations();
// The usage error of the first operation whose arguments its check refuses
// ("cut-input: the mark is one of 1 to 17"), or empty.
std::string CheckArguments(const Operation& op, const Arguments& args);

// What the main window holds from its creation on, before any panel is used:
// the first dot position edit starts at "0", its gauges at 50 %.
void SetInitialPanelValues(CliFrame& frame);
const Operation* FindOperation(const std::string& name);

// The environment variable that names the control socket of the virtual
// printer the ports lead to (tools/run.sh sets it).
inline constexpr const char* kVirtualPrinterControlVariable = "SVCADJUST_VPRINTER_CONTROL";
// How the technician switches the printer off when the refurbishment asks:
// the power button, or the virtual printer's control command.
std::string SwitchOffHint();

// A word from the command line or standard input as an error message may
// quote it: control characters (a NUL too) as \xHH, at most 64 characters.
std::string Shown(const std::string& word);

// Splits "NAME=VALUE" arguments (bid-input VSD1Bk=5): false when one has no '='.
bool SplitAssignments(const Arguments& args, std::vector<std::pair<std::string, std::string>>& out);

}  // namespace svc::cli
