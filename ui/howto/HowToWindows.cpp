#include "ui/howto/HowToWindows.h"

#include <QWidget>

#include "ui/howto/VexHowToBidAdjust.h"
#include "ui/howto/VexHowToCLShiftAdjust.h"
#include "ui/howto/VexHowToCheckA4Pat.h"
#include "ui/howto/VexHowToClean.h"
#include "ui/howto/VexHowToCutPosAdjust.h"
#include "ui/howto/VexHowToHdAngAdjust.h"
#include "ui/howto/VexHowToPFAdjust.h"
#include "ui/howto/VexHowToPGAdjust.h"
#include "ui/howto/VexHowToPWAdjust.h"

namespace svc::ui {

HowToWindows::HowToWindows() {
    // Created one after another, in the order of the HowTo enum; none is shown.
    windows_[static_cast<int>(HowTo::HdAngAdjust)] = std::make_unique<THowToHdAngAdjustForm>();
    windows_[static_cast<int>(HowTo::PFAdjust)] = std::make_unique<THowToPFAdjustForm>();
    windows_[static_cast<int>(HowTo::CLShiftAdjust)] = std::make_unique<THowToCLShiftAdjustForm>();
    windows_[static_cast<int>(HowTo::BidAdjust)] = std::make_unique<THowToBidAdjustForm>();
    windows_[static_cast<int>(HowTo::PWAdjust)] = std::make_unique<THowToPWAdjustForm>();
    windows_[static_cast<int>(HowTo::CutPosAdjust)] = std::make_unique<THowToCutPosAdjustForm>();
    windows_[static_cast<int>(HowTo::PGAdjust)] = std::make_unique<TFormHowToPGAdjust>();
    windows_[static_cast<int>(HowTo::CheckA4Pat)] = std::make_unique<THowToCheckA4PatForm>();
    windows_[static_cast<int>(HowTo::Clean)] = std::make_unique<TFormHowToClean>();
}

HowToWindows::~HowToWindows() = default;

QWidget* HowToWindows::Window(HowTo which) const {
    const auto index = static_cast<std::size_t>(which);
    return index < windows_.size() ? windows_[index].get() : nullptr;
}

void HowToWindows::Show(HowTo which) {
    QWidget* window = Window(which);
    if (window == nullptr) return;
    // A page opened afresh starts at the centre of the screen; one that is
    // already open stays where the operator put it and only comes forward.
    auto* page = static_cast<THowToForm*>(window);
    const bool opening = !page->isVisible();
    if (opening) page->CentreOnScreen();
    page->show();
    if (opening) page->CentreOnScreen();  // again, now that the title bar is known
    page->raise();
    page->activateWindow();
}

}  // namespace svc::ui
