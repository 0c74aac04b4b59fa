#include "ui/panels/PanelKit.h"

#include "link/FeatureFrame.h"
#include "ui/Translated.h"

#include <QToolButton>

#include <algorithm>
#include <climits>

namespace svc::ui::kit {

QFont TextFont() { return QFont("Arial", 9); }

QFont CodeFont() { return QFont("Courier New", 10); }

QLabel* Title(QWidget* parent, const QString& text, const TitleLook& look, const char* objectName) {
    auto* label = new QLabel(Tr(text), parent);
    if (objectName) label->setObjectName(objectName);
    label->setFont(QFont("Arial", look.pointSize, QFont::Bold));
    label->setGeometry(look.at);
    label->setWordWrap(look.wrap);
    if (look.navy) {
        QPalette p = label->palette();
        p.setColor(QPalette::WindowText, kTitleNavy);
        label->setPalette(p);
    }
    return label;
}

QLabel* Text(QWidget* parent, const QString& text, const QRect& at, const char* objectName) {
    auto* label = new QLabel(Tr(text), parent);
    if (objectName) label->setObjectName(objectName);
    label->setFont(TextFont());
    label->setGeometry(at);
    label->setWordWrap(true);
    return label;
}

QGroupBox* GroupBox(QWidget* parent, const QString& title, const QRect& at) {
    auto* box = new QGroupBox(Tr(title), parent);
    box->setFont(TextFont());
    box->setGeometry(at);
    return box;
}

QPushButton* Button(QWidget* parent, const char* objectName, const QString& text, const QRect& at) {
    auto* button = new QPushButton(Tr(text), parent);
    button->setObjectName(objectName);
    button->setFont(TextFont());
    button->setGeometry(at);
    return button;
}

QCheckBox* CheckBox(QWidget* parent, const QString& objectName, const QString& text, const QRect& at) {
    auto* box = new QCheckBox(Tr(text), parent);
    box->setObjectName(objectName);
    box->setFont(TextFont());
    box->setGeometry(at);
    return box;
}

QLineEdit* Edit(QWidget* parent, const QString& objectName, int maxLength, const QRect& at) {
    auto* edit = new QLineEdit("0", parent);
    edit->setObjectName(objectName);
    edit->setFont(TextFont());
    edit->setMaxLength(maxLength);
    edit->setGeometry(at);
    return edit;
}

UpDown::UpDown(QLineEdit* buddy, int low, int high, QWidget* parent)
    : QWidget(parent), buddy_(buddy), low_(low), high_(high) {
    auto arrow = [this](const char* name, Qt::ArrowType type, int delta) {
        auto* b = new QToolButton(this);
        b->setObjectName(name);
        b->setArrowType(type);
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &QToolButton::clicked, this, [this, delta] { Step(delta); });
        return b;
    };
    up_ = arrow("Up", Qt::UpArrow, 1);
    down_ = arrow("Down", Qt::DownArrow, -1);
}

void UpDown::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // An odd pixel goes to the upper arrow.
    const int upper = (height() + 1) / 2;
    up_->setGeometry(0, 0, width(), upper);
    down_->setGeometry(0, upper, width(), height() - upper);
}

void UpDown::Step(int delta) {
    const int value = NumberFromText(buddy_->text().toStdString(), INT_MIN);
    const int from = value == INT_MIN ? 0 : std::clamp(value, low_, high_);
    buddy_->setText(QString::number(std::clamp(from + delta, low_, high_)));
    emit Clicked();
}

UpDown* AttachUpDown(QLineEdit* edit, int low, int high) {
    auto* arrows = new UpDown(edit, low, high, edit->parentWidget());
    arrows->setObjectName(edit->objectName().replace("Edit", "UpDown"));
    const QRect e = edit->geometry();
    arrows->setGeometry(e.right() + 1, e.top(), 16, e.height());
    return arrows;
}

}  // namespace svc::ui::kit
