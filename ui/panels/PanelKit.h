// The building blocks of every feature panel: the fonts, the title, texts,
// framed groups, buttons, check boxes, value fields and the one up-down
// control, laid out at fixed positions in the 413 x 356 centre region.
#pragma once

#include <QCheckBox>
#include <QColor>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRect>
#include <QWidget>

namespace svc::ui::kit {

// ---- fonts ----

// The panels' text, buttons and fields.
QFont TextFont();
// Fields that hold identity codes (head ID, USB ID, IEEE 1394 ID, EEPROM addresses).
QFont CodeFont();

// How a panel's title looks. The feature areas' panels were drawn with their
// own title each; the looks are kept here, in one place.
struct TitleLook {
    int pointSize;
    QRect at;
    bool navy;  // navy text, else the window's text colour
    bool wrap;
};
inline const TitleLook kCheckAdjustTitle{12, QRect(8, 6, 397, 24), true, false};      // check prints, Bi-D, PF
inline const TitleLook kPositionAdjustTitle{12, QRect(8, 4, 397, 24), false, false};  // PW, pixel shift, ...
inline const TitleLook kServiceTitle{14, QRect(12, 8, 389, 26), false, false};        // cleaning, PG, DOA, ...
inline const TitleLook kEepromTitle{11, QRect(10, 8, 393, 22), true, true};           // identity and EEPROM

inline const QColor kTitleNavy(0, 0, 128);

// ---- builders ----

QLabel* Title(QWidget* parent, const QString& text, const TitleLook& look, const char* objectName = nullptr);
// A text that wraps at the width it is given.
QLabel* Text(QWidget* parent, const QString& text, const QRect& at, const char* objectName = nullptr);
QGroupBox* GroupBox(QWidget* parent, const QString& title, const QRect& at);
QPushButton* Button(QWidget* parent, const char* objectName, const QString& text, const QRect& at);
QCheckBox* CheckBox(QWidget* parent, const QString& objectName, const QString& text, const QRect& at);
// A value field with the initial text "0".
QLineEdit* Edit(QWidget* parent, const QString& objectName, int maxLength, const QRect& at);

// ---- the up-down control ----

// Up-down arrows tied to an edit field: each click moves the number in the
// field by one within [low, high] (a field without a number starts from 0, a
// number beyond the range from the nearer end; no wrap) and then signals
// Clicked. The arrows are "Up" and "Down"; they repeat while held and take no
// focus.
class UpDown : public QWidget {
    Q_OBJECT
public:
    UpDown(QLineEdit* buddy, int low, int high, QWidget* parent);
    void Step(int delta);

signals:
    void Clicked();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QLineEdit* buddy_;
    int low_, high_;
    QWidget* up_;
    QWidget* down_;
};

// An up-down control right beside its edit field, as tall as the field and
// named after it ("BidVSD1BkInputEdit" gets "BidVSD1BkInputUpDown").
UpDown* AttachUpDown(QLineEdit* edit, int low, int high);

}  // namespace svc::ui::kit
