// The panels of the service sequences: head cleaning, ink charge, CR motor
// drive dispersion, PG adjustment and the two refurbishment pages. Each
// forwards its buttons to the Qt-free handlers in service/.
#pragma once

#include "ui/FeaturePanel.h"

#include <QPushButton>

class QLabel;

namespace svc::ui {

// A raised panel that is clicked like a button (the PG points, "Finish",
// the exchange sequence).
class ClickPanel : public QPushButton {
    Q_OBJECT
public:
    ClickPanel(const char* objectName, const QString& caption, QWidget* parent);
};

class CleaningPanel : public FeaturePanel {
    Q_OBJECT
public:
    CleaningPanel();
    void OnChosen() override;

private:
    QPushButton* ok_;
};

class InkChargePanel : public FeaturePanel {
    Q_OBJECT
public:
    InkChargePanel();
    void OnChosen() override;

private:
    QPushButton* ok_;
};

class CRHeatProtectPanel : public FeaturePanel {
    Q_OBJECT
public:
    CRHeatProtectPanel();
    // The five replaced-part boxes are cleared each time the panel is picked.
    void OnChosen() override;
};

class PGAdjustPanel : public FeaturePanel {
    Q_OBJECT
public:
    PGAdjustPanel();
};

class ExchangeFirstPanel : public FeaturePanel {
    Q_OBJECT
public:
    ExchangeFirstPanel();
};

class ExchangeSecondPanel : public FeaturePanel {
    Q_OBJECT
public:
    ExchangeSecondPanel();
};

}  // namespace svc::ui
