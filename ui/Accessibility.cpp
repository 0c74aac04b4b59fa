#include "ui/Accessibility.h"
#include "ui/Translated.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTextEdit>
#include <QToolButton>

#include <algorithm>
#include <limits>

namespace svc::ui {

namespace {

// Marks a name this pass gave, so that a later pass may give a better one
// (a buddy set since) while names the window set itself stay.
constexpr const char* kGivenName = "svcGivenAccessibleName";
// Longer label texts are instructions, not the name of a field.
constexpr int kMaxCaption = 40;
// A label further left of a field than this names something else.
constexpr int kMaxLabelGap = 120;

// ---- page tabs ----

bool IsPageTab(const QAbstractButton* b) {
    return b && !qobject_cast<const QRadioButton*>(b) && b->isCheckable() && b->group() && b->group()->exclusive();
}

// A checkable button of an exclusive group: one page of several is chosen,
// as with the tabs of a tab strip. Pressing it chooses its page.
class PageTabInterface : public QAccessibleWidget {
public:
    explicit PageTabInterface(QAbstractButton* button) : QAccessibleWidget(button, QAccessible::PageTab) {
        addControllingSignal(QLatin1String("clicked(bool)"));
    }
    QAbstractButton* Button() const { return static_cast<QAbstractButton*>(widget()); }
    QString text(QAccessible::Text t) const override {
        QString s = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && s.isEmpty()) s = Button()->text().remove(QLatin1Char('&'));
        return s;
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.selectable = true;
        s.selected = Button()->isChecked();
        s.checkable = false;
        s.checked = false;
        return s;
    }
    QStringList actionNames() const override { return QStringList(pressAction()) + QAccessibleWidget::actionNames(); }
    void doAction(const QString& action) override {
        if (action == pressAction())
            Button()->click();
        else
            QAccessibleWidget::doAction(action);
    }
};

QAccessibleInterface* PageTabFactory(const QString&, QObject* object) {
    auto* button = qobject_cast<QAbstractButton*>(object);
    return IsPageTab(button) ? new PageTabInterface(button) : nullptr;
}

// ---- the focus ring ----

// A ring drawn around the control that has the keyboard focus, above its
// siblings, whatever the style or the window's colours draw themselves.
class FocusRing : public QWidget {
public:
    FocusRing() {
        setObjectName("FocusRing");
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        hide();
    }
    void Follow(QWidget* target) {
        if (target_) target_->removeEventFilter(this);
        target_ = target;
        if (!target || target->isWindow() || !target->parentWidget()) {
            hide();
            return;
        }
        setParent(target->parentWidget());
        target->installEventFilter(this);
        Place();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == target_) {
            switch (event->type()) {
                case QEvent::Move:
                case QEvent::Resize:
                case QEvent::Show:
                case QEvent::Hide:
                    Place();
                    break;
                default:
                    break;
            }
        }
        return false;
    }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QPen pen(palette().color(QPalette::Active, QPalette::Highlight), 2);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 3, 3);
    }

private:
    void Place() {
        if (!target_ || !target_->isVisible()) {
            hide();
            return;
        }
        setGeometry(target_->geometry().adjusted(-kMargin, -kMargin, kMargin, kMargin));
        raise();
        show();
        update();
    }

    static constexpr int kMargin = 3;
    QPointer<QWidget> target_;
};

QPointer<FocusRing> g_ring;

void FollowFocus(QWidget*, QWidget* now) {
    if (!g_ring) g_ring = new FocusRing;
    // The ring lives in the focused control's parent; a window gone takes it along.
    if (now && now->focusPolicy() != Qt::NoFocus)
        g_ring->Follow(now);
    else
        g_ring->Follow(nullptr);
}

// ---- the pass ----

bool IsField(const QWidget* w) {
    return qobject_cast<const QLineEdit*>(w) || qobject_cast<const QComboBox*>(w) ||
           qobject_cast<const QAbstractSpinBox*>(w) || qobject_cast<const QPlainTextEdit*>(w) ||
           qobject_cast<const QTextEdit*>(w) || qobject_cast<const QAbstractItemView*>(w) ||
           qobject_cast<const QAbstractSlider*>(w);
}

bool IsControl(const QWidget* w) { return IsField(w) || qobject_cast<const QAbstractButton*>(w); }

// Fields inside a spin box or combo box are part of it.
bool IsPartOfAnotherControl(const QWidget* w) {
    for (const QWidget* p = w->parentWidget(); p && !p->isWindow(); p = p->parentWidget())
        if (qobject_cast<const QComboBox*>(p) || qobject_cast<const QAbstractSpinBox*>(p) ||
            qobject_cast<const QAbstractItemView*>(p))
            return true;
    return false;
}

QString Plain(QString text) {
    text.remove(QLatin1Char('&'));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text.simplified();
}

bool HasWords(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetterOrNumber(); });
}

// Geometry in the coordinates of the window, for widgets of different parents.
QRect InWindow(const QWidget* w, const QWidget* window) { return QRect(w->mapTo(window, QPoint(0, 0)), w->size()); }

// The field a label names: on the same row to its right (the nearest), or
// right below it and overlapping it sideways. Only fields of the same parent.
QWidget* FieldOfLabel(const QLabel* label, const QList<QWidget*>& fields) {
    const QRect l = label->geometry();
    QWidget* best = nullptr;
    int bestDistance = std::numeric_limits<int>::max();
    for (QWidget* f : fields) {
        if (f->parentWidget() != label->parentWidget()) continue;
        const QRect g = f->geometry();
        const bool sameRow = std::abs(g.center().y() - l.center().y()) <= std::max(8, l.height() / 2) &&
                             g.left() >= l.left() + l.width() / 2;
        const bool below =
            g.top() >= l.bottom() - 2 && g.top() - l.bottom() <= 12 && g.left() < l.right() && g.right() > l.left();
        if (!sameRow && !below) continue;
        const int distance = sameRow ? g.left() - l.right() : (g.top() - l.bottom()) + 1000;
        if (distance < -4 || (sameRow && distance > kMaxLabelGap)) continue;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = f;
        }
    }
    return best;
}

// An arrow button steps the field on its row to its left: "Field, up".
QString ArrowName(const QToolButton* b, const QWidget* window, const QList<QWidget*>& fields,
                  const QHash<const QWidget*, QString>& fieldNames) {
    static const char* const kDirections[] = {"", SVC_N("up"), SVC_N("down"), SVC_N("left"), SVC_N("right")};
    const QString direction = Tr(kDirections[std::clamp(static_cast<int>(b->arrowType()), 0, 4)]);
    const QRect a = InWindow(b, window);
    const QWidget* best = nullptr;
    int bestDistance = std::numeric_limits<int>::max();
    for (const QWidget* f : fields) {
        if (!qobject_cast<const QLineEdit*>(f) && !qobject_cast<const QAbstractSpinBox*>(f)) continue;
        const QRect g = InWindow(f, window);
        if (g.right() > a.left() + 2 || g.bottom() < a.top() - 16 || g.top() > a.bottom() + 16) continue;
        const int distance = a.left() - g.right();
        if (distance < bestDistance) {
            bestDistance = distance;
            best = f;
        }
    }
    if (!best || bestDistance > 40)
        return direction.isEmpty() ? QString() : direction.left(1).toUpper() + direction.mid(1);
    const QString field = fieldNames.value(best);
    return field.isEmpty() ? direction : field + QStringLiteral(", ") + direction;
}

QString GroupTitle(const QWidget* w) {
    for (const QWidget* p = w->parentWidget(); p && !p->isWindow(); p = p->parentWidget())
        if (const auto* box = qobject_cast<const QGroupBox*>(p); box && HasWords(box->title()))
            return Plain(box->title());
    return QString();
}

const QRegularExpression& KindEnding() {
    static const QRegularExpression ending(
        QStringLiteral("(BitBtn|Btn|Button|Edit|ComboBox|Combo|Pnl|Lbl|ChkBox|CheckBox)$"));
    return ending;
}

QString Stem(QString objectName) {
    const QRegularExpressionMatch m = KindEnding().match(objectName);
    if (m.hasMatch() && m.capturedStart() > 0) objectName.truncate(m.capturedStart());
    return objectName;
}

// The check box that chooses whether a field's value is used, known by its
// name ("ColorShiftDInputCheckBox" for "ColorShiftDInputEdit"), names the field.
QString CheckBoxOf(const QWidget* field) {
    if (!field->parentWidget() || field->objectName().isEmpty()) return QString();
    const QString stem = Stem(field->objectName());
    if (stem == field->objectName()) return QString();
    for (const QCheckBox* c : field->parentWidget()->findChildren<QCheckBox*>(Qt::FindDirectChildrenOnly))
        if (c->objectName() != field->objectName() && Stem(c->objectName()) == stem && HasWords(c->text()))
            return Plain(c->text());
    return QString();
}

QString NameOf(QWidget* w, const QHash<QWidget*, QLabel*>& buddies) {
    if (QLabel* label = buddies.value(w); label && HasWords(label->text())) return Plain(label->text());
    if (IsField(w))
        if (QString chooser = CheckBoxOf(w); !chooser.isEmpty()) return chooser;
    if (const auto* b = qobject_cast<const QAbstractButton*>(w); b && HasWords(b->text())) return Plain(b->text());
    if (HasWords(w->toolTip())) return Plain(w->toolTip());
    if (const auto* box = qobject_cast<const QGroupBox*>(w); box && HasWords(box->title())) return Plain(box->title());
    return QString();
}

void SetName(QWidget* w, const QString& name) {
    if (name.isEmpty()) return;
    w->setAccessibleName(name);
    w->setProperty(kGivenName, name);
}

bool NameIsOurs(const QWidget* w) {
    return w->accessibleName().isEmpty() || w->accessibleName() == w->property(kGivenName).toString();
}

}  // namespace

void InstallAccessibility() {
    static bool installed = false;
    if (installed || !qApp) return;
    installed = true;
    QAccessible::installFactory(&PageTabFactory);
    QObject::connect(qApp, &QApplication::focusChanged, &FollowFocus);
}

QString ReadableName(const QString& objectName) {
    const QString base = Stem(objectName);
    // Words start at a capital after a small letter or digit, at a capital
    // followed by a small letter after capitals ("OKBtn" stays "OK"), and at
    // a run of digits.
    QString out;
    for (int i = 0; i < base.size(); ++i) {
        const QChar c = base[i];
        if (c == QLatin1Char('_')) {
            out += QLatin1Char(' ');
            continue;
        }
        if (i > 0) {
            const QChar prev = base[i - 1];
            const bool next = i + 1 < base.size() && base[i + 1].isLower();
            if ((c.isUpper() && (prev.isLower() || prev.isDigit())) || (c.isUpper() && prev.isUpper() && next) ||
                (c.isDigit() && !prev.isDigit()))
                out += QLatin1Char(' ');
        }
        out += c;
    }
    QStringList words = out.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (int i = 1; i < words.size(); ++i)
        if (words[i].size() > 1 && words[i][1].isLower()) words[i][0] = words[i][0].toLower();
    return words.join(QLatin1Char(' '));
}

void MakeAccessible(QWidget* window) {
    if (!window) return;
    InstallAccessibility();
    if (window->layout()) window->layout()->activate();
    QList<QWidget*> all = window->findChildren<QWidget*>();
    all.prepend(window);

    QList<QWidget*> fields;
    for (QWidget* w : all)
        if (IsField(w) && !IsPartOfAnotherControl(w)) fields << w;

    // Buddies: labels the window paired already, then labels beside a field.
    QHash<QWidget*, QLabel*> buddies;
    QList<QLabel*> labels = window->findChildren<QLabel*>();
    for (QLabel* label : labels)
        if (label->buddy()) buddies.insert(label->buddy(), label);
    for (QLabel* label : labels) {
        // A caption, not a sentence of instructions beside the field.
        const QString caption = Plain(label->text());
        if (label->buddy() || !HasWords(caption) || caption.size() > kMaxCaption || caption.endsWith('.')) continue;
        QWidget* field = FieldOfLabel(label, fields);
        if (!field || buddies.contains(field)) continue;
        label->setBuddy(field);
        buddies.insert(field, label);
    }

    QHash<const QWidget*, QString> fieldNames;
    for (QWidget* w : all) {
        if (!IsControl(w) && !qobject_cast<QGroupBox*>(w)) continue;
        if (IsPartOfAnotherControl(w)) continue;
        if (!NameIsOurs(w)) {
            fieldNames.insert(w, w->accessibleName());
            continue;
        }
        QString name = NameOf(w, buddies);
        if (name.isEmpty() && qobject_cast<QRadioButton*>(w)) name = GroupTitle(w);
        if (name.isEmpty() && !qobject_cast<QToolButton*>(w)) name = ReadableName(w->objectName());
        if (!name.isEmpty()) {
            SetName(w, name);
            fieldNames.insert(w, name);
        }
    }
    // A tab selector whose interface was made before the factory knew it
    // (a state change while the window was built) gets it made afresh.
    for (QWidget* w : all) {
        auto* b = qobject_cast<QAbstractButton*>(w);
        if (!IsPageTab(b)) continue;
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(b);
        if (a && a->role() != QAccessible::PageTab) QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(a));
    }
    // Arrow buttons last: they are named after the field they step.
    for (QWidget* w : all) {
        auto* b = qobject_cast<QToolButton*>(w);
        if (!b || !NameIsOurs(b) || HasWords(b->text()) || HasWords(b->toolTip())) continue;
        QString name = b->arrowType() != Qt::NoArrow ? ArrowName(b, window, fields, fieldNames) : QString();
        if (name.isEmpty()) name = ReadableName(b->objectName());
        SetName(b, name);
    }
}

}  // namespace svc::ui
