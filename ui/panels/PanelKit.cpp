#include "ui/panels/PanelKit.h"

#include "link/FeatureFrame.h"

#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

namespace svc::ui {

UpDown::UpDown(QLineEdit* buddy, int low, int high, QWidget* parent)
    : QWidget(parent), buddy_(buddy), low_(low), high_(high) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* up = new QToolButton(this);
    up->setObjectName("Up");
    up->setArrowType(Qt::UpArrow);
    up->setAutoRepeat(true);
    auto* down = new QToolButton(this);
    down->setObjectName("Down");
    down->setArrowType(Qt::DownArrow);
    down->setAutoRepeat(true);
    for (QToolButton* b : {up, down}) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        layout->addWidget(b);
    }
    connect(up, &QToolButton::clicked, this, [this] { Step(1); });
    connect(down, &QToolButton::clicked, this, [this] { Step(-1); });
}

void UpDown::Step(int delta) {
    const int value = NumberFromText(buddy_->text().toStdString(), INT_MIN);
    const int from = value == INT_MIN ? 0 : std::clamp(value, low_, high_);
    buddy_->setText(QString::number(std::clamp(from + delta, low_, high_)));
    emit Clicked();
}

}  // namespace svc::ui
