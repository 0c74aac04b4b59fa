// What a feature needs of the main adjustment window, written so that the
// feature's logic runs without widgets: the status memo and busy state
// (SetOperationState), the error report, the controls of its panel by
// objectName, the "Adjusted items" cells, panel changes, the window flags and
// the start window's choices. TFormAdjust is the window's frame; the
// command-line program svcadjust-cli has a frame of its own that keeps the
// same controls as values and prints the memo.
//
// Message boxes and waits go through svc::host() as everywhere else.
#pragma once

#include "link/ResultCodes.h"
#include "link/StatusReport.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace svc {

// The three flags the main window owns.
enum class WindowFlag {
    CutPatternPrinted,  // 0 at creation; set by the cut position print
    CarriageAtHome,     // 1 at creation; cleared when the PG adjustment moves the carriage away
    ExchangeStarted,    // 0 at creation; set by the DOA refurbishment, read at close
};

// The model codes of the start window.
inline constexpr int kModel4100 = 1;
inline constexpr int kModel4200 = 2;
inline constexpr int kModelNoneCode = 255;

class FeatureFrame : public StatusFrame {
public:
    // ---- controls of the feature panels, by objectName ----
    // Text of an edit field, label, list (the chosen item's text), check box
    // or button; empty for a name the frame does not have.
    virtual std::string Text(std::string_view name) const = 0;
    virtual void SetText(std::string_view name, const std::string& text) = 0;
    // Check boxes.
    virtual bool Checked(std::string_view name) const = 0;
    virtual void SetChecked(std::string_view name, bool checked) = 0;
    // Lists and radio groups: the chosen item, -1 for none.
    virtual int ItemIndex(std::string_view name) const = 0;
    virtual void SetItemIndex(std::string_view name, int index) = 0;
    // Gauges and up-down controls.
    virtual int Position(std::string_view name) const = 0;
    virtual void SetPosition(std::string_view name, int position) = 0;
    virtual void SetEnabled(std::string_view name, bool enabled) = 0;
    virtual void SetVisible(std::string_view name, bool visible) = 0;
    // String grids (the EEPROM viewer): one cell, shown at once.
    virtual std::string CellText(std::string_view grid, int column, int row) const = 0;
    virtual void SetCellText(std::string_view grid, int column, int row, const std::string& text) = 0;

    // ---- "Adjusted items" cells ("HeadIDPnl", "BidVSD2DBkPnl", ...) ----
    virtual std::string AdjustedCell(std::string_view name) const = 0;
    virtual void SetAdjustedCell(std::string_view name, const std::string& text) = 0;

    // ---- panels ----
    // Prepares the centre for a new panel; false when the carriage could not
    // be sent home and nothing was changed.
    virtual bool HideAllPanels(int keepText) = 0;
    // Shows the registered panel of that objectName (a page change inside a feature).
    virtual void ShowPanel(std::string_view panelName) = 0;
    // Hides "Adjusted items" and widens the memo under it (the EEPROM viewer).
    virtual void WidenMemo() = 0;

    // ---- the window's flags and the start window's choices ----
    std::uint8_t Flag(WindowFlag flag) const { return flags_[static_cast<std::size_t>(flag)]; }
    void SetFlag(WindowFlag flag, std::uint8_t value) { flags_[static_cast<std::size_t>(flag)] = value; }
    virtual int ModelCode() const = 0;
    virtual std::uint16_t PortCode() const = 0;

    // Closes the main window as its Quit button would (the DOA sequence).
    virtual void CloseMainWindow() = 0;

    // Ends an operation with a result other than 1: messages, window enabled.
    void ReportErrorCode(Result code) { svc::ReportErrorCode(*this, code); }
    Result WaitUntilReady(int showMessages) { return svc::WaitUntilReady(*this, showMessages); }

private:
    // Set at the window's creation: cut pattern not printed, carriage at home, no exchange started.
    std::array<std::uint8_t, 3> flags_{0, 1, 0};
};

// ---- routines of the frame that do not depend on widgets ----

// (ReturnCarriageHome, the printer's part of HideAllPanels, is in
// service/FrameRoutines.h: it sends a factory command.)

// The one handler of all seven "Paper feed" buttons: five line feeds, sent
// at once. No busy state and no status text; a failure is reported.
void PaperFeed(FeatureFrame& frame);

// The channel's part of closing the main window: the channel is ended and the
// port closed, except right after the DOA exchange started, which the printer
// runs on its own: then the exchange-started flag is cleared and the channel
// left alone this once.
void CloseChannelUnlessExchanging(FeatureFrame& frame);

// Where a technician's number typed in an edit field is read: an optional
// sign followed by decimal digits and nothing else. Anything else (blanks,
// "+5 ", hex, an empty field) gives `notANumber`, as do values beyond int.
int NumberFromText(std::string_view text, int notANumber);

}  // namespace svc
