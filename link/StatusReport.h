// Status reporting of the main window: the readiness wait before and after a
// job, Get Status, and ReportErrorCode, which turns every result code into
// status-memo messages. Written against a small frame interface so that the
// logic runs without widgets; TFormAdjust is the real frame.
#pragma once

#include "link/RadioItems.h"
#include "link/ResultCodes.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace svc {

// The SetOperationState modes in use.
namespace mode {
inline constexpr int Report = 1;       // replace the memo text, black
inline constexpr int Done = 2;         // wait until ready, replace, re-enable 100 ms later
inline constexpr int Busy = 3;         // wait until ready (with messages), replace in blue, disable
inline constexpr int Error = 4;        // replace in red, enable at once
inline constexpr int Append = 5;       // append to the last line
inline constexpr int Line = 6;         // add a new line
inline constexpr int DoneNoWait = 18;  // as Done without the readiness wait
inline constexpr int BusyNoWait = 19;  // as Busy without the readiness wait
}  // namespace mode

// What one SetOperationState mode does; every mode not listed does nothing.
enum class ReadyWait { None, Quiet, WithMessages };
enum class MemoEdit { Keep, Replace, Append, NewLine };
enum class TextColour { Keep, Black, Blue, Red };
enum class CursorChange { Keep, Normal, Hourglass };
enum class WindowChange { Keep, Disable, EnableNow, EnableByTimer };

struct ModeEffect {
    ReadyWait wait = ReadyWait::None;
    MemoEdit memo = MemoEdit::Keep;
    TextColour colour = TextColour::Keep;
    CursorChange cursor = CursorChange::Keep;
    WindowChange window = WindowChange::Keep;
    bool operator==(const ModeEffect&) const = default;
};
ModeEffect EffectOfMode(int mode);

// Which items of the four radio groups are usable at an availability level.
struct Availability {
    std::array<bool, kAdjustmentItems> adjustment{};
    std::array<bool, kMaintenanceItems> maintenance{};
    bool checkPatternGroup = false;  // the whole "Check pattern items" group
    std::array<bool, kAppendixItems> appendix{};
    bool restartLine = false;  // add the "Restart the printer..." line to the memo
};
// Levels 1 (all usable), 2 (printer in error) and 3 (no communication); other levels change nothing.
std::optional<Availability> AvailabilityFor(int level);

// What the status logic needs of the main window.
class StatusFrame {
public:
    virtual ~StatusFrame() = default;
    virtual Result SetOperationState(int mode, const std::string& text) = 0;
    // Enables or disables the radio items as given.
    virtual void EnableItems(const Availability& availability) = 0;
    // Enables the window, the tab control, the Maintenance group, Quit and
    // Get Status, and restores the normal cursor.
    virtual void EnableForReport() = 0;
    // Moves the keyboard focus to the input field of that name, when it exists.
    virtual void FocusField(const std::string& objectName) = 0;
    // The code ReportErrorCode is about to report (after EnableForReport), for
    // a frame that names codes its messages do not cover.
    virtual void ReportingCode(Result code) { (void)code; }
};

// Polls the printer until it is ready, resetting it and waiting a second
// between polls. States 0 and 8 give 0x4000. With showMessages 1 the memo
// says what the printer is doing meanwhile.
Result WaitUntilReady(StatusFrame& frame, int showMessages);

// The readiness wait a SetOperationState mode begins with: none, a quiet one
// whose failure is reported here (ReportErrorCode), or one with messages whose
// failure is only returned. 1 when the mode may go on.
Result WaitForMode(StatusFrame& frame, ReadyWait wait);

// The Get Status button: reconnects on the given port, reads the status,
// reports it and sets the feature availability.
void GetStatus(StatusFrame& frame, std::uint16_t portCode);

void SetFeatureAvailability(StatusFrame& frame, int level);

// Re-enables the frame and shows the messages for any result code.
void ReportErrorCode(StatusFrame& frame, Result code);

// The message (and the field to focus first) of a detail code of a checking
// feature; empty for a detail the group does not list.
struct DetailMessage {
    std::string focus;  // objectName of the input field, or empty
    std::string text;
    std::string secondLine;  // added as a new line when not empty
};
std::optional<DetailMessage> DetailMessageFor(Result group, std::int16_t detail);
// Every field a detail message focuses, once each, in the order of the table.
std::vector<std::string> DetailFocusFields();

// The message of a printer error code (status byte 1), and whether the
// "Clear the error..." line follows it.
struct PrinterErrorMessage {
    std::string text;
    bool clearLine = false;
};
std::optional<PrinterErrorMessage> PrinterErrorMessageFor(std::uint8_t errorCode);

}  // namespace svc
