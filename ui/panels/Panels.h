// The feature panels of the main window, registered with it at start-up by
// feature area. Each panel is thin: it builds its controls with the names
// the feature code uses and forwards its buttons to that code, which works
// on the window through FeatureFrame.
#pragma once

namespace svc::ui {

class TFormAdjust;

void RegisterEepromPanels(TFormAdjust& window);          // identity, EEPROM copy and viewer, counters
void RegisterCheckAdjustPanels(TFormAdjust& window);     // check prints, head angular, Bi-D, PF
void RegisterPositionAdjustPanels(TFormAdjust& window);  // PW sensor, pixel shift, first dot, cut position
void RegisterServicePanels(TFormAdjust& window);         // cleaning, ink charge, CR dispersion, PG, DOA

inline void RegisterFeaturePanels(TFormAdjust& window) {
    RegisterEepromPanels(window);
    RegisterCheckAdjustPanels(window);
    RegisterPositionAdjustPanels(window);
    RegisterServicePanels(window);
}

}  // namespace svc::ui
