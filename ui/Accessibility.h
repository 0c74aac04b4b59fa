// What assistive technology (a screen reader, over AT-SPI) learns about the
// windows: every control gets a name and the role it plays, and every label
// that stands beside a field becomes that field's buddy. Done by one pass
// over a window's widget tree after the window is built, so the windows and
// panels themselves need nothing for it.
#pragma once

#include <QString>

class QWidget;

namespace svc::ui {

// Installs, once per program, what the pass cannot do on single widgets:
// checkable buttons that are one of an exclusive group without being radio
// buttons (the tab selectors) present themselves as page tabs, not as check
// boxes, and a visible focus ring for every control that takes the focus.
void InstallAccessibility();

// The pass over `window` and everything in it (hidden panels included):
// - a label without buddy that stands left of a field on the same row, or
//   right above it, becomes the field's buddy (read as the field's label);
//   a label that is a sentence (over 40 characters, or ending in a full
//   stop) is an instruction and names nothing;
// - a control without an accessible name gets one, from the first of: its
//   buddy label, the check box that chooses a field (known by its objectName:
//   "ColorShiftDInputCheckBox" for "ColorShiftDInputEdit"), its text
//   (unless it is only glyphs such as "|<<"), its tool
//   tip, for arrow buttons the field they step and the direction, for a group
//   of radio buttons or a group box its title, its objectName made readable.
// Names set by the window itself are kept. Running it again names controls
// added since.
void MakeAccessible(QWidget* window);

// "EepromCheckOKBtn" -> "Eeprom check OK": words split at capitals and
// digits, the control-kind ending (Btn, Edit, Combo, Pnl, ...) left out.
QString ReadableName(const QString& objectName);

}  // namespace svc::ui
