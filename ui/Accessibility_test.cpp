// The windows as assistive technology and the keyboard meet them: the
// accessibility tree of every window (the main window with each panel shown
// in turn) has no interactive control without a name, the roles are right,
// labels are buddies of their fields; Return, Escape, the focus ring and the
// start window's remembered choices. Against the recording fake of the
// outside libraries.
#include "link/VexStatusControl.h"
#include "link/testing/FakeOutside.h"
#include "ui/Accessibility.h"
#include "ui/GuiHost.h"
#include "ui/ProgramWindows.h"
#include "ui/RadioGroup.h"
#include "ui/VexFormAdjust.h"
#include "ui/VexFormBoot.h"
#include "ui/howto/HowToWindows.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QButtonGroup>

#include <memory>

using namespace svc;
using namespace svc::ui;
using fake::Fake;

namespace {

bool Interactive(QAccessible::Role role) {
    switch (role) {
        case QAccessible::PushButton:
        case QAccessible::CheckBox:
        case QAccessible::RadioButton:
        case QAccessible::ComboBox:
        case QAccessible::EditableText:
        case QAccessible::SpinBox:
        case QAccessible::PageTab:
        case QAccessible::Slider:
        case QAccessible::ButtonMenu:
        case QAccessible::ButtonDropDown:
        case QAccessible::Table:
        case QAccessible::List:
        case QAccessible::Tree:
        case QAccessible::Link:
            return true;
        default:
            return false;
    }
}

// "role objectName" of every interactive control in the tree with no name.
void Unnamed(QAccessibleInterface* node, QStringList& out, int depth = 0) {
    if (!node || depth > 40) return;
    const QAccessible::Role role = node->role();
    if (Interactive(role) && node->text(QAccessible::Name).trimmed().isEmpty()) {
        const QObject* o = node->object();
        out << QStringLiteral("%1 %2").arg(int(role)).arg(o ? o->objectName() : QStringLiteral("?"));
    }
    // The items of a list, a table or a combo box are named by their data.
    if (role == QAccessible::ComboBox || role == QAccessible::Table || role == QAccessible::List) return;
    for (int i = 0; i < node->childCount(); ++i) Unnamed(node->child(i), out, depth + 1);
}

QStringList UnnamedIn(QWidget* window) {
    QStringList out;
    Unnamed(QAccessible::queryAccessibleInterface(window), out);
    return out;
}

QAccessibleInterface* Of(QObject* o) { return QAccessible::queryAccessibleInterface(o); }
QString NameOf(QObject* o) { return Of(o)->text(QAccessible::Name); }

}  // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<fake::ScriptedHost> host_;
    std::unique_ptr<ProgramWindows> windows_;

    TFormBoot& Boot() { return windows_->Boot(); }
    TFormAdjust& Adjust() { return windows_->Adjust(); }
    template <class T>
    T* In(QWidget& w, const char* name) {
        T* found = w.findChild<T*>(name);
        if (!found) qWarning("no %s", name);
        return found;
    }
    void Connect() {
        Boot().show();
        In<QComboBox>(Boot(), "ModelNameCombo")->setCurrentIndex(0);
        In<QComboBox>(Boot(), "PortSelectCombo")->setCurrentIndex(0);
        Boot().OKBtnClick();
        QVERIFY(Adjust().isVisible());
    }

private slots:
    void init() {
        Fake().Reset();
        Status().Clear();
        host_ = std::make_unique<fake::ScriptedHost>();
        windows_ = std::make_unique<ProgramWindows>();
    }
    void cleanup() {
        windows_.reset();
        host_.reset();
        ShowNormalCursor();
    }

    void readableNames() {
        QCOMPARE(ReadableName("EepromCheckOKBtn"), QString("Eeprom check OK"));
        QCOMPARE(ReadableName("PWSensorHMXUEdit"), QString("PW sensor HMXU"));
        QCOMPARE(ReadableName("StatusMemo"), QString("Status memo"));
        QCOMPARE(ReadableName("BidVSD2DBkInputEdit"), QString("Bid VSD 2 D bk input"));
        QCOMPARE(ReadableName("Btn"), QString("Btn"));
    }

    void startWindowControlsAreNamedByTheirLabels() {
        Boot().show();
        QCOMPARE(UnnamedIn(&Boot()), QStringList());
        QCOMPARE(NameOf(In<QComboBox>(Boot(), "ModelNameCombo")), QString("Model Name"));
        QCOMPARE(NameOf(In<QComboBox>(Boot(), "PortSelectCombo")), QString("Port selection"));
        QCOMPARE(NameOf(In<QComboBox>(Boot(), "DestinationCombo")), QString("Destination"));
        QCOMPARE(In<QLabel>(Boot(), "ModelLbl")->buddy(), In<QComboBox>(Boot(), "ModelNameCombo"));
        QCOMPARE(In<QLabel>(Boot(), "PortSelectLbl")->buddy(), In<QComboBox>(Boot(), "PortSelectCombo"));
    }

    void mainWindowWithEveryPanelShownHasNoUnnamedControl() {
        Connect();
        QCOMPARE(UnnamedIn(&Adjust()), QStringList());
        int shown = 0;
        for (Group g : {Group::Adjustment, Group::Maintenance, Group::CheckPattern, Group::Appendix}) {
            RadioGroup* items = Adjust().RadioGroupOf(g);
            for (int i = 0; i < items->Count(); ++i) {
                items->Item(i)->setEnabled(true);
                items->Item(i)->click();
                ++shown;
                const QStringList unnamed = UnnamedIn(&Adjust());
                if (!unnamed.isEmpty()) QFAIL(qPrintable(items->Item(i)->text() + ": " + unnamed.join(", ")));
            }
        }
        QVERIFY(shown >= 20);
        // The memo and the glyph buttons of the first dot panel.
        QCOMPARE(NameOf(Adjust().Memo()), QString("Status memo"));
        QCOMPARE(NameOf(In<QToolButton>(Adjust(), "GotoLeftEdgeBitBtn")), QString("To the edge of left"));
        QCOMPARE(NameOf(In<QToolButton>(Adjust(), "SteptoLeftBitBtn")), QString("To the left four points at a time"));
        // A field named by the check box that chooses it, not by a sentence beside it.
        QCOMPARE(NameOf(In<QLineEdit>(Adjust(), "ColorShiftDInputEdit")), QString("D line"));
        QCOMPARE(NameOf(In<QLineEdit>(Adjust(), "BidVSD1BkInputEdit")), QString("VSD1 Black"));
    }

    void tabSelectorsArePageTabs() {
        Connect();
        QList<QAbstractButton*> tabs;
        for (int i = 0; i < 4; ++i)
            tabs << In<QAbstractButton>(Adjust(), qPrintable(QString("AdjustmentTabTab%1").arg(i)));
        for (QAbstractButton* tab : tabs) {
            QVERIFY(tab);
            QAccessibleInterface* a = Of(tab);
            QCOMPARE(a->role(), QAccessible::PageTab);
            QCOMPARE(a->text(QAccessible::Name), tab->text().remove('&'));
            QCOMPARE(a->state().selected, tab->isChecked());
            QVERIFY(!a->state().checkable);
        }
        // Pressing one through its action chooses its page.
        QAccessibleActionInterface* press = Of(tabs[2])->actionInterface();
        QVERIFY(press);
        press->doAction(QAccessibleActionInterface::pressAction());
        QVERIFY(tabs[2]->isChecked());
        QVERIFY(Of(tabs[2])->state().selected);
        // Radio buttons stay radio buttons.
        QCOMPARE(Of(Adjust().RadioGroupOf(Group::Appendix)->Item(0))->role(), QAccessible::RadioButton);
    }

    void arrowButtonsAreNamedAfterTheFieldTheyStep() {
        Connect();
        int arrows = 0;
        for (QToolButton* b : Adjust().findChildren<QToolButton*>()) {
            if (b->arrowType() != Qt::UpArrow && b->arrowType() != Qt::DownArrow) continue;
            ++arrows;
            const QString name = NameOf(b);
            QVERIFY2(name.endsWith(b->arrowType() == Qt::UpArrow ? ", up" : ", down"), qPrintable(name));
        }
        QVERIFY(arrows > 0);
    }

    void howToWindowsAreNamedHaveACloseBoxAndCloseOnEscape() {
        for (int i = 0; i < kHowToCount; ++i) {
            QWidget* w = windows_->HowTo().Window(static_cast<HowTo>(i));
            QVERIFY(w->windowFlags() & Qt::WindowCloseButtonHint);
            QVERIFY(w->windowFlags() & Qt::WindowSystemMenuHint);
            windows_->HowTo().Show(static_cast<HowTo>(i));
            QVERIFY(QTest::qWaitForWindowExposed(w));
            QCOMPARE(UnnamedIn(w), QStringList());
            w->activateWindow();
            QTest::keyClick(w, Qt::Key_Escape);
            QVERIFY2(!w->isVisible(), qPrintable(w->windowTitle()));
        }
    }

    void returnInAComboBoxPressesOk() {
        Boot().show();
        QVERIFY(QTest::qWaitForWindowExposed(&Boot()));
        auto* model = In<QComboBox>(Boot(), "ModelNameCombo");
        auto* port = In<QComboBox>(Boot(), "PortSelectCombo");
        model->setCurrentIndex(1);
        port->setCurrentIndex(0);
        Boot().activateWindow();
        port->setFocus();
        // The Enter key of the keypad, as a keyboard sends it.
        QTest::keyClick(port, Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(Adjust().isVisible());
        QCOMPARE(Boot().ModelCode(), std::uint8_t(2));
        QCOMPARE(Boot().PortCode(), std::uint16_t(1028));
    }

    void focusRingFollowsTheFocus() {
        Boot().show();
        QVERIFY(QTest::qWaitForWindowExposed(&Boot()));
        Boot().activateWindow();
        auto* ok = In<QAbstractButton>(Boot(), "OKBtn");
        ok->setFocus();
        QWidget* ring = Boot().findChild<QWidget*>("FocusRing");
        QVERIFY(ring);
        QVERIFY(ring->isVisible());
        QVERIFY(ring->geometry().contains(ok->geometry()));
        auto* model = In<QComboBox>(Boot(), "ModelNameCombo");
        model->setFocus();
        QVERIFY(ring->geometry().contains(model->geometry()));
        QVERIFY(!ring->geometry().contains(ok->geometry()));
    }

    void startWindowRemembersModelAndPortOfTheLastConnection() {
        QTemporaryDir dir;
        const QString file = dir.filePath("svcadjust/start-window.conf");
        Boot().RememberChoicesIn(file);
        Boot().show();
        QCOMPARE(In<QComboBox>(Boot(), "ModelNameCombo")->currentIndex(), -1);  // nothing kept yet
        In<QComboBox>(Boot(), "ModelNameCombo")->setCurrentIndex(1);
        In<QComboBox>(Boot(), "PortSelectCombo")->setCurrentIndex(4);
        // A failed connection is not remembered.
        Fake().SetResult(fake::Fn::PortOpenByOsSw, 0);
        Boot().OKBtnClick();
        QVERIFY(!QFile::exists(file));
        Fake().Reset();
        Boot().OKBtnClick();
        QVERIFY(QFile::exists(file));

        // The next run: model, port and the destination that follows the model.
        windows_.reset();
        windows_ = std::make_unique<ProgramWindows>();
        Boot().RememberChoicesIn(file);
        Boot().show();
        QCOMPARE(In<QComboBox>(Boot(), "ModelNameCombo")->currentText(), QString("Corvid Lumen 4200"));
        QCOMPARE(In<QComboBox>(Boot(), "PortSelectCombo")->currentText(), QString("ZQUSB2"));
        QCOMPARE(In<QComboBox>(Boot(), "DestinationCombo")->currentText(), QString("TRN/VLK"));
        // Coming back from the main window in the same run shows nothing selected.
        Boot().hide();
        Boot().show();
        QCOMPARE(In<QComboBox>(Boot(), "ModelNameCombo")->currentIndex(), -1);
        QCOMPARE(In<QComboBox>(Boot(), "PortSelectCombo")->currentIndex(), -1);

        // A port the list no longer offers selects nothing.
        windows_.reset();
        windows_ = std::make_unique<ProgramWindows>();
        Fake().SetOsVersion(162);  // LPT1-3 only
        Boot().RememberChoicesIn(file);
        Boot().show();
        QCOMPARE(In<QComboBox>(Boot(), "ModelNameCombo")->currentIndex(), 1);
        QCOMPARE(In<QComboBox>(Boot(), "PortSelectCombo")->currentIndex(), -1);
    }
};

QTEST_MAIN(AccessibilityTest)
#include "Accessibility_test.moc"
