// Building blocks of the check-pattern and adjustment panels: a title, texts,
// framed groups, buttons, check boxes, value fields and their up-down
// controls, laid out at fixed positions in the 413 x 356 centre region.
#pragma once

#include "link/FeatureFrame.h"
#include "ui/FeaturePanel.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include <algorithm>

namespace svc::ui::kit {

inline QFont TitleFont() { return QFont("Arial", 12, QFont::Bold); }
inline QFont TextFont() { return QFont("Arial", 9); }

inline QLabel* Title(QWidget* parent, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setFont(TitleFont());
    label->setGeometry(8, 6, 397, 24);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, QColor(0, 0, 128));
    label->setPalette(p);
    return label;
}

inline QLabel* Text(QWidget* parent, const QString& text, const QRect& at) {
    auto* label = new QLabel(text, parent);
    label->setFont(TextFont());
    label->setGeometry(at);
    label->setWordWrap(true);
    return label;
}

inline QGroupBox* GroupBox(QWidget* parent, const QString& title, const QRect& at) {
    auto* box = new QGroupBox(title, parent);
    box->setFont(TextFont());
    box->setGeometry(at);
    return box;
}

inline QPushButton* Button(QWidget* parent, const char* name, const QString& text, const QRect& at) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setFont(TextFont());
    button->setGeometry(at);
    return button;
}

inline QCheckBox* CheckBox(QWidget* parent, const QString& name, const QString& text, const QRect& at) {
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(name);
    box->setFont(TextFont());
    box->setGeometry(at);
    return box;
}

inline QLineEdit* Edit(QWidget* parent, const QString& name, int maxLength, const QRect& at) {
    auto* edit = new QLineEdit("0", parent);
    edit->setObjectName(name);
    edit->setFont(TextFont());
    edit->setMaxLength(maxLength);
    edit->setGeometry(at);
    return edit;
}

// An up-down control bound to an edit field: steps the number in the field
// by one within [minimum, maximum], without wrapping. A field that holds no
// number starts again from 0.
inline QWidget* UpDown(QWidget* parent, QLineEdit* edit, int minimum, int maximum) {
    const QRect e = edit->geometry();
    auto* box = new QWidget(parent);
    box->setObjectName(edit->objectName().replace("Edit", "UpDown"));
    box->setGeometry(e.right() + 1, e.top(), 16, e.height());
    const int half = e.height() / 2;
    auto step = [edit, minimum, maximum](int by) {
        const int now = NumberFromText(edit->text().toStdString(), 0);
        edit->setText(QString::number(std::clamp(now + by, minimum, maximum)));
    };
    auto* up = new QToolButton(box);
    up->setArrowType(Qt::UpArrow);
    up->setGeometry(0, 0, 16, half);
    QObject::connect(up, &QToolButton::clicked, box, [step] { step(1); });
    auto* down = new QToolButton(box);
    down->setArrowType(Qt::DownArrow);
    down->setGeometry(0, half, 16, e.height() - half);
    QObject::connect(down, &QToolButton::clicked, box, [step] { step(-1); });
    return box;
}

}  // namespace svc::ui::kit
