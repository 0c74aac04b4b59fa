// The base of every feature panel of the main adjustment window. A feature
// registers its panel with the frame for one radio item (or without one, for
// a second page); the frame places it in the centre region, hides it with the
// others when the panel changes and shows it when its item is picked.
#pragma once

#include <QWidget>

namespace svc::ui {

class TFormAdjust;

class FeaturePanel : public QWidget {
    Q_OBJECT
public:
    explicit FeaturePanel(QWidget* parent = nullptr) : QWidget(parent) {}

    // Runs each time the technician picks the panel's item, after the panel
    // is shown: the place to empty value fields or move the focus.
    virtual void OnChosen() {}

protected:
    // The frame the panel is registered with (null before registration).
    TFormAdjust* Frame() const { return frame_; }

private:
    friend class TFormAdjust;
    TFormAdjust* frame_ = nullptr;
};

}  // namespace svc::ui
