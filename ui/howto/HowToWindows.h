// The nine how-to windows: small help pages that explain a manual procedure.
// All are created hidden at start-up, in this order, and live until the
// program ends; showing one never blocks the main window.
#pragma once

#include <array>
#include <memory>

class QWidget;

namespace svc::ui {

enum class HowTo {
    HdAngAdjust,    // THowToHdAngAdjustForm   "How to the head angular adjustment"
    PFAdjust,       // THowToPFAdjustForm      "How to PF adjustment"
    CLShiftAdjust,  // THowToCLShiftAdjustForm "How to pixel shift adjustment"
    BidAdjust,      // THowToBidAdjustForm     "How to Bi-D adjustment"
    PWAdjust,       // THowToPWAdjustForm      "How to the PW adjustment"
    CutPosAdjust,   // THowToCutPosAdjustForm  "How to the cut position adjustment"
    PGAdjust,       // TFormHowToPGAdjust      "How to PG adjustment"
    CheckA4Pat,     // THowToCheckA4PatForm    "How to check the A4 normal check pattern"
    Clean,          // TFormHowToClean         "How to Clean"
};
inline constexpr int kHowToCount = 9;

class HowToWindows {
public:
    // Creates the nine windows, hidden, in the order above.
    HowToWindows();
    ~HowToWindows();
    HowToWindows(const HowToWindows&) = delete;
    HowToWindows& operator=(const HowToWindows&) = delete;

    // Shows the window without blocking; one already open comes to the front.
    void Show(HowTo which);
    QWidget* Window(HowTo which) const;

private:
    std::array<std::unique_ptr<QWidget>, kHowToCount> windows_;
};

}  // namespace svc::ui
