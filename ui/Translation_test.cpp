// The windows in German: every text a technician reads in the start, main,
// quit, version and how-to windows (the feature panels included, shown or
// not) is translated. The windows are built twice in one process, with the
// catalogue off and on; a text that reads the same both times is English
// left over, unless it is a name or number listed below.
#include "i18n/Translate.h"
#include "link/testing/FakeOutside.h"
#include "link/VexStatusControl.h"
#include "ui/GuiHost.h"
#include "ui/Translated.h"
#include "ui/ProgramWindows.h"
#include "ui/VexFormAbout.h"
#include "ui/VexFormAdjust.h"
#include "ui/VexFormBoot.h"
#include "ui/VexFormQuit.h"
#include "ui/howto/HowToWindows.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTest>

#include <clocale>
#include <cstdlib>
#include <memory>
#include <vector>

using namespace svc;
using namespace svc::ui;
using svc::fake::Fake;

namespace {

// Texts that stay as they are in German: names of models, ports, inks and
// settings, the program's and the system's names, abbreviations.
const QStringList kKeptTexts = {
    "QX-900", "OK", "Bi-D", "Version", "Version 1.0", "~", ".", "Data", "High", "Information",
    "for Windows 95/98/Me", "Corvid Lumen 4100", "Corvid Lumen 4200", "Standard", "TRN/VLK",
    "LPT1", "LPT2", "LPT3", "ZQUSB1", "ZQUSB2", "ZQUSB3",
};

// A text with no word of three letters or more (numbers, "A", "VSD1", "Bk")
// has nothing to translate.
bool HasWords(const QString& text) {
    static const QRegularExpression word(QStringLiteral("[A-Za-z]{3,}"));
    static const QRegularExpression code(QStringLiteral("^[A-Z0-9'/+ .-]*$"));
    return word.match(text).hasMatch() && !code.match(text).hasMatch();
}

struct Shown {
    QString where;  // the widget's path of objectNames and classes
    QString text;
};

QString PathOf(const QObject* object) {
    QStringList parts;
    for (const QObject* o = object; o; o = o->parent()) {
        const QObject* parent = o->parent();
        const int index = parent ? static_cast<int>(parent->children().indexOf(const_cast<QObject*>(o))) : 0;
        parts.prepend(QStringLiteral("%1#%2[%3]").arg(o->metaObject()->className(), o->objectName()).arg(index));
    }
    return parts.join('/');
}

// Every text of a window and its children: titles, labels, buttons, group
// boxes, menu entries.
void Collect(QWidget* window, std::vector<Shown>& out) {
    out.push_back({PathOf(window) + "/title", window->windowTitle()});
    QList<QObject*> all = window->findChildren<QObject*>();
    for (QObject* o : all) {
        if (auto* label = qobject_cast<QLabel*>(o)) out.push_back({PathOf(o), label->text()});
        if (auto* button = qobject_cast<QAbstractButton*>(o)) out.push_back({PathOf(o), button->text()});
        if (auto* box = qobject_cast<QGroupBox*>(o)) out.push_back({PathOf(o), box->title()});
        if (auto* action = qobject_cast<QAction*>(o)) out.push_back({PathOf(o), action->text()});
        if (auto* widget = qobject_cast<QWidget*>(o); widget && widget->isWindow())
            out.push_back({PathOf(o) + "/title", widget->windowTitle()});
    }
}

// Chooses the messages' language: "de" or none (the texts as written).
void UseLanguage(const char* language) {
    if (language)
        ::setenv("LANGUAGE", language, 1);
    else
        ::setenv("LANGUAGE", "en", 1);  // no catalogue: every text as written
    // A new locale setting makes gettext forget what it looked up.
    std::setlocale(LC_MESSAGES, "");
}

}  // namespace

class TranslationTest : public QObject {
    Q_OBJECT

    std::vector<Shown> Windows() {
        Fake().Reset();
        Status().Clear();
        fake::ScriptedHost host;
        ProgramWindows windows;
        TAboutBox about;
        std::vector<Shown> texts;
        Collect(&windows.Boot(), texts);
        Collect(&windows.Adjust(), texts);
        Collect(&windows.Quit(), texts);
        Collect(&about, texts);
        for (int i = 0; i < kHowToCount; ++i) Collect(windows.HowTo().Window(HowTo(i)), texts);
        return texts;
    }

private slots:
    void initTestCase() {
        // The test's environment: LC_ALL=C.UTF-8 (built into glibc, nothing
        // to generate) and LANGUAGE, which gettext honours for any locale but C.
        QVERIFY2(std::setlocale(LC_MESSAGES, "") != nullptr, "the locale of the environment is not there");
        InitTranslations();
    }

    void theCatalogueIsFound() {
        UseLanguage("de");
        QCOMPARE(QString::fromUtf8(svc::Tr("Quit")), QString::fromUtf8("Beenden"));
        QCOMPARE(QString::fromUtf8(svc::Tr("Printer is ready.")), QString::fromUtf8("Der Drucker ist bereit."));
        // The empty text is not the catalogue's header.
        QCOMPARE(QString::fromUtf8(svc::Tr("")), QString());
        UseLanguage(nullptr);
        QCOMPARE(QString::fromUtf8(svc::Tr("Quit")), QString("Quit"));
    }

    void noEnglishTextIsLeftInTheWindows() {
        UseLanguage(nullptr);
        const std::vector<Shown> english = Windows();
        UseLanguage("de");
        const std::vector<Shown> german = Windows();
        UseLanguage(nullptr);
        QCOMPARE(german.size(), english.size());
        QStringList left;
        int translated = 0;
        for (std::size_t i = 0; i < english.size(); ++i) {
            QCOMPARE(german[i].where, english[i].where);
            const QString& text = english[i].text;
            if (german[i].text != text) {
                ++translated;
                continue;
            }
            if (!HasWords(text) || kKeptTexts.contains(text)) continue;
            left << QStringLiteral("%1: \"%2\"").arg(english[i].where, text);
        }
        for (const QString& line : left) qWarning("English left in German: %s", qPrintable(line));
        QVERIFY2(left.isEmpty(), qPrintable(QString("%1 texts are English in German").arg(left.size())));
        QVERIFY2(translated > 150, qPrintable(QString("only %1 texts translated").arg(translated)));
    }

    void aPanelsTimeIsStillReadInGerman() {
        // The title's countdown reads the time a panel says its function
        // takes; the German panels must say it the way the German pattern reads.
        UseLanguage(nullptr);
        const std::vector<Shown> english = Windows();
        UseLanguage("de");
        const std::vector<Shown> german = Windows();
        const QRegularExpression here(svc::ui::Tr("takes about (\\d+) seconds"));
        UseLanguage(nullptr);
        const QRegularExpression written(QStringLiteral("takes about (\\d+) seconds"));
        QCOMPARE(german.size(), english.size());
        int panels = 0;
        for (std::size_t i = 0; i < english.size(); ++i) {
            const auto m = written.match(english[i].text);
            if (!m.hasMatch()) continue;
            ++panels;
            const auto g = here.match(german[i].text);
            QVERIFY2(g.hasMatch(), qPrintable(german[i].text));
            QCOMPARE(g.captured(1), m.captured(1));
        }
        QCOMPARE(panels, 2);  // head cleaning and ink charge
    }

    void windowTextsOfTheCLocaleAreUnchanged() {
        // The texts as written are the keys: without a catalogue nothing changes.
        UseLanguage(nullptr);
        fake::ScriptedHost host;
        ProgramWindows windows;
        QCOMPARE(windows.Boot().windowTitle(), QString(" KORVA printer adjustment program"));
        QCOMPARE(windows.Adjust().findChild<QAbstractButton*>("GetStatusBtn")->text(), QString("Get Status"));
    }

    void theStatusMemoIsTranslatedAsAWhole() {
        UseLanguage("de");
        fake::ScriptedHost host;
        ProgramWindows windows;
        windows.Adjust().SetOperationState(mode::Report, "Printer is ready.");
        QCOMPARE(windows.Adjust().Memo()->toPlainText(), QString::fromUtf8("Der Drucker ist bereit."));
        // A text the catalogue does not know is shown as it is.
        windows.Adjust().SetOperationState(mode::Line, "VSD1 12");
        QCOMPARE(windows.Adjust().Memo()->toPlainText(), QString::fromUtf8("Der Drucker ist bereit.\nVSD1 12"));
        UseLanguage(nullptr);
    }
};

QTEST_MAIN(TranslationTest)
#include "Translation_test.moc"
