// The windows in German: every text a technician reads in the start, main,
// quit, version and how-to windows (the feature panels and the words drawn
// in the how-to pictures included, shown or not), the service record window
// and the marked-page window (the reader's reasons too) is translated. The windows are built twice in one process, with the
// catalogue off and on; a text that reads the same both times is English
// left over, unless it is a name or number listed below.
#include "i18n/Translate.h"
#include "journal/Recorder.h"
#include "journal/Refurbishment.h"
#include "journal/Report.h"
#include "journal/SqlStore.h"
#include "link/testing/FakeOutside.h"
#include "link/VexStatusControl.h"
#include "ui/GuiHost.h"
#include "ui/Translated.h"
#include "ui/ProgramWindows.h"
#include "ui/ServiceRecordWindow.h"
#include "ui/VexFormAbout.h"
#include "ui/VexFormAdjust.h"
#include "ui/VexFormBoot.h"
#include "ui/VexFormQuit.h"
#include "ui/howto/ArtWords.h"
#include "ui/howto/HowToForm.h"
#include "ui/howto/HowToWindows.h"
#ifdef SVC_HAVE_PAGE_READING
#include "ui/PageReadingWindow.h"
#endif

#include <QAbstractButton>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSvgWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <algorithm>
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
    "QX-900",
    "OK",
    "Bi-D",
    "Version",
    "Version 1.0",
    "~",
    ".",
    "Data",
    "High",
    "Information",
    "for Windows 95/98/Me",
    "Corvid Lumen 4100",
    "Corvid Lumen 4200",
    "Standard",
    "TRN/VLK",
    "LPT1",
    "LPT2",
    "LPT3",
    "ZQUSB1",
    "ZQUSB2",
    "ZQUSB3",
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
        // The words drawn in a picture, as a screen reader tells them.
        if (auto* picture = qobject_cast<QSvgWidget*>(o)) {
            const QStringList words = picture->accessibleDescription().split(QStringLiteral(", "), Qt::SkipEmptyParts);
            for (int i = 0; i < words.size(); ++i)
                out.push_back({PathOf(o) + QStringLiteral("/word%1").arg(i), words[i]});
        }
    }
}

// What the lists of a window show: header captions, rows, placeholders.
void CollectLists(QWidget* window, std::vector<Shown>& out) {
    for (QTreeWidget* tree : window->findChildren<QTreeWidget*>()) {
        const QTreeWidgetItem* header = tree->headerItem();
        for (int c = 0; c < header->columnCount(); ++c) out.push_back({PathOf(tree) + "/header", header->text(c)});
        int row = 0;
        for (QTreeWidgetItemIterator it(tree); *it; ++it, ++row)
            for (int c = 0; c < (*it)->columnCount(); ++c)
                out.push_back({PathOf(tree) + QStringLiteral("/row%1").arg(row), (*it)->text(c)});
    }
    for (QListWidget* list : window->findChildren<QListWidget*>())
        for (int i = 0; i < list->count(); ++i)
            out.push_back({PathOf(list) + QStringLiteral("/item%1").arg(i), list->item(i)->text()});
    for (QLineEdit* edit : window->findChildren<QLineEdit*>())
        out.push_back({PathOf(edit) + "/placeholder", edit->placeholderText()});
}

// The texts of `english` left the same in `german`, but for names and numbers.
QStringList EnglishLeft(const std::vector<Shown>& english, const std::vector<Shown>& german, int& translated) {
    QStringList left;
    translated = 0;
    for (std::size_t i = 0; i < english.size() && i < german.size(); ++i) {
        const QString& text = english[i].text;
        if (german[i].where != english[i].where) {
            left << QStringLiteral("%1: not in the same place in German").arg(english[i].where);
        } else if (german[i].text != text) {
            ++translated;
        } else if (HasWords(text) && !kKeptTexts.contains(text)) {
            left << QStringLiteral("%1: \"%2\"").arg(english[i].where, text);
        }
    }
    if (english.size() != german.size()) left << QStringLiteral("the windows differ in German");
    return left;
}

// A journal of two printers: one with a USB ID, whose operation stopped
// after a write that may not have arrived and kept a backup, and one known
// only by its head ID.
void FillJournal(journal::Store& store) {
    using namespace svc::journal;
    SessionRecord s;
    s.started = "2026-12-08 10:00:00";
    s.bench = "bench-a";
    s.model = 1;
    s.port = 1028;
    s.deviceId = "packet protocol";
    OperationRecord op;
    op.sessionId = store.AddSession(s);
    op.started = "2026-12-08 10:00:05";
    op.name = "usb-id-input";
    op.arguments = "AB12345678";
    op.result = 0x2000;
    op.bytes.push_back({0, Access::Write, 0xC2, 0x42, 0x41, 0x2000, "eeprom"});
    BackupRecord backup;
    backup.taken = "2026-12-08 10:00:06";
    backup.printer = "SERIAL0001";
    backup.kind = "backup";
    backup.bench = "bench-a";
    backup.bytes = {};
    store.AddOperation(op, {backup}, "SERIAL0001", "00FF");

    s.started = "2026-12-08 11:00:00";
    op.sessionId = store.AddSession(s);
    op.started = "2026-12-08 11:00:05";
    op.name = "pw-read";
    op.arguments.clear();
    op.result = 1;
    op.bytes.clear();
    store.AddOperation(op, {}, "", "00EE");
}

#ifdef SVC_HAVE_PAGE_READING
// A Bi-D page with one value read (and typed into the panel) and one not.
PageReadingWindow::Shown SamplePage() {
    PageReadingWindow::Shown shown;
    shown.file = QStringLiteral("/tmp/bid-page.png");
    shown.page = QImage(400, 300, QImage::Format_RGB32);
    shown.page.fill(Qt::white);
    shown.reading.kind = pagereader::Kind::Bid;
    pagereader::Item read;
    read.name = "VSD1Bk";
    read.value = 2;
    read.confidence = 0.9;
    read.where.push_back({40, 40, 60, 20});
    pagereader::Item unread;
    unread.name = "VSD2DBk";
    unread.where.push_back({40, 120, 60, 20});
    unread.problem =
        svc::Phrase("a trial shows %1 forward and %2 return ticks where the pattern has %3", {"9", "8", "9"});
    pagereader::Item outside;
    outside.name = "VSD3Bk";
    outside.value = 90;
    outside.confidence = 0.4;
    pagereader::Item noReason;
    noReason.name = "VSD4Bk";
    shown.reading.items = {read, unread, outside, noReason};
    shown.filled = {"VSD1Bk"};
    shown.skipped = {{"VSD3Bk", svc::Tr("the panel has no field for it")}};
    return shown;
}

// A pixel shift page too coarse to read, one of its lines with a reason of
// its own.
PageReadingWindow::Shown RefusedPage() {
    PageReadingWindow::Shown shown;
    shown.file = QStringLiteral("/tmp/pixel-shift-page.png");
    shown.page = QImage(400, 300, QImage::Format_RGB32);
    shown.page.fill(Qt::white);
    shown.reading.kind = pagereader::Kind::PixelShift;
    shown.reading.problem = svc::Phrase(
        "the page is %1 dpi; one PF step needs %2 dpi or more to be read safely (scan it finer)", {"300", "720"});
    pagereader::Item line;
    line.name = "D";
    line.problem = svc::Phrase("no %1 candidates found", {svc::Phrase::Word("light cyan")});
    line.where.push_back({10, 10, 100, 20});
    shown.reading.items = {line};
    return shown;
}
#endif

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

    void theServiceRecordAndThePageWindowAreGerman() {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        journal::Journal().Install(journal::OpenSqlite(folder.filePath("journal.db").toStdString()),
                                   [](const std::string& w) { qWarning("%s", w.c_str()); });
        QVERIFY(journal::Journal().CurrentStore());
        FillJournal(*journal::Journal().CurrentStore());
        const auto texts = [] {
            std::vector<Shown> out;
            ServiceRecordWindow record(nullptr);
            record.Select(ServiceRecordWindow::kOperationRow, 1);
            record.UndoClick();  // no printer connected: says so
            Collect(&record, out);
            CollectLists(&record, out);
#ifdef SVC_HAVE_PAGE_READING
            QWidget owner;
            PageReadingWindow* page = PageReadingWindow::Show(&owner, SamplePage());
            Collect(page, out);
            CollectLists(page, out);
            page = PageReadingWindow::Show(&owner, RefusedPage());
            Collect(page, out);
            CollectLists(page, out);
            // (The marks on the page are the items' names and values.)
#endif
            return out;
        };
        UseLanguage(nullptr);
        const std::vector<Shown> english = texts();
        UseLanguage("de");
        const std::vector<Shown> german = texts();
        UseLanguage(nullptr);
        int translated = 0;
        const QStringList left = EnglishLeft(english, german, translated);
        for (const QString& line : left) qWarning("English left in German: %s", qPrintable(line));
        QVERIFY2(left.isEmpty(), qPrintable(QString("%1 texts are English in German").arg(left.size())));
        QVERIFY2(translated > 30, qPrintable(QString("only %1 texts translated").arg(translated)));
#ifdef SVC_HAVE_PAGE_READING
        // The reader's reasons sit inside translated lines ("...: nicht
        // gelesen: %2"): they are looked at on their own.
        QStringList reasons;
        for (const Shown& shown : german)
            for (const char* english_text :
                 {"forward and", "return ticks", "candidates found", "light cyan", "one PF step", "no reason given"})
                if (shown.text.contains(english_text)) reasons << shown.where + ": " + shown.text;
        for (const QString& line : reasons) qWarning("An English reason in German: %s", qPrintable(line));
        QVERIFY(reasons.isEmpty());
        const auto shows = [&](const char* text) {
            return std::any_of(german.begin(), german.end(),
                               [&](const Shown& s) { return s.text.contains(QString::fromUtf8(text)); });
        };
        QVERIFY(shows("ein Versuch zeigt 9 Hin- und 8 Rückstriche, wo das Muster 9 hat"));
        QVERIFY(shows("keine Kandidaten für Hell-Cyan gefunden"));
        QVERIFY(shows("die Seite hat 300 dpi; ein PF-Schritt braucht 720 dpi oder mehr"));
#endif
        journal::Journal().Uninstall();
    }

    void theWordsOfTheHowToPicturesFitThemInGerman() {
        // Each text of a picture, translated, stays inside the picture, off
        // the other texts and off every mark and line it kept clear of in
        // English, measured in the font the picture names (Arial, or
        // Liberation Sans with its metrics).
        HowToWindows pages;  // (its art is registered with the first page)
        (void)pages.Window(HowTo::HdAngAdjust);
        const QStringList pictures = QDir(QStringLiteral(":/howto/art")).entryList({QStringLiteral("*.svg")});
        QCOMPARE(pictures.size(), 9);
        static const QRegularExpression element(QStringLiteral(R"re(<text\b([^>]*)>([^<]*)</text>)re"));
        static const QRegularExpression svgSize(
            QStringLiteral(R"re(<svg\b[^>]*\bwidth="([\d.]+)" height="([\d.]+)")re"));
        const auto attribute = [](const QString& attributes, const char* name) {
            const QRegularExpression re(QStringLiteral("\\b%1=\"([^\"]*)\"").arg(QLatin1String(name)));
            return re.match(attributes).captured(1);
        };
        // The bounds of what a picture draws besides its texts.
        const auto shapes = [&](const QString& svg) {
            static const QRegularExpression shape(QStringLiteral(R"re(<(rect|circle|line|polygon|path)\b([^>]*)>)re"));
            static const QRegularExpression number(QStringLiteral(R"re(-?\d+(\.\d+)?)re"));
            std::vector<QRectF> out;
            for (auto it = shape.globalMatch(svg); it.hasNext();) {
                const auto m = it.next();
                const QString kind = m.captured(1), a = m.captured(2);
                const auto value = [&](const char* n) { return attribute(a, n).toDouble(); };
                if (kind == "rect") {
                    out.emplace_back(value("x"), value("y"), value("width"), value("height"));
                } else if (kind == "circle") {
                    const double r = value("r");
                    out.emplace_back(value("cx") - r, value("cy") - r, 2 * r, 2 * r);
                } else if (kind == "line") {
                    out.push_back(
                        QRectF(QPointF(value("x1"), value("y1")), QPointF(value("x2"), value("y2"))).normalized());
                } else {
                    // The points of a polygon or a path of straight lines.
                    std::vector<double> xy;
                    for (auto n = number.globalMatch(attribute(a, kind == "path" ? "d" : "points")); n.hasNext();)
                        xy.push_back(n.next().captured(0).toDouble());
                    QRectF bounds;
                    for (std::size_t i = 0; i + 1 < xy.size(); i += 2)
                        bounds = bounds.united(QRectF(xy[i], xy[i + 1], 0.01, 0.01));
                    out.push_back(bounds);
                }
                // A line is drawn as wide as its stroke.
                const double half = value("stroke-width") / 2;
                out.back().adjust(-half, -half, half, half);
            }
            return out;
        };
        int translatedWords = 0;
        for (const QString& name : pictures) {
            QFile file(":/howto/art/" + name);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray english = file.readAll();
            UseLanguage("de");
            const QString german = QString::fromUtf8(svc::ui::TranslateArtWords(english));
            UseLanguage(nullptr);
            const auto wh = svgSize.match(german);
            QVERIFY2(wh.hasMatch(), qPrintable(name));
            const QRectF picture(0, 0, wh.captured(1).toDouble(), wh.captured(2).toDouble());
            struct Drawn {
                QString words;
                QRectF box;
            };
            const auto texts = [&](const QString& svg) {
                std::vector<Drawn> drawn;
                for (auto it = element.globalMatch(svg); it.hasNext();) {
                    const auto m = it.next();
                    const QString attributes = m.captured(1);
                    const QString words = m.captured(2);
                    QFont font;
                    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
                    font.setBold(true);
                    font.setPixelSize(attribute(attributes, "font-size").toInt());
                    const QFontMetricsF metrics(font);
                    const double width = metrics.horizontalAdvance(words);
                    double left = attribute(attributes, "x").toDouble();
                    const QString anchor = attribute(attributes, "text-anchor");
                    if (anchor == "middle") left -= width / 2;
                    if (anchor == "end") left -= width;
                    // Where its ink lies, with the room on either side the eye
                    // wants between words and marks.
                    const QRectF ink =
                        metrics.tightBoundingRect(words).translated(left, attribute(attributes, "y").toDouble());
                    drawn.push_back({words, ink.adjusted(-3, 0, 3, 0)});
                }
                return drawn;
            };
            const std::vector<Drawn> drawn = texts(german), before = texts(QString::fromUtf8(english));
            QCOMPARE(drawn.size(), before.size());
            const std::vector<QRectF> marks = shapes(german);
            for (std::size_t i = 0; i < drawn.size(); ++i) {
                if (drawn[i].words != before[i].words) ++translatedWords;
                QVERIFY2(picture.contains(drawn[i].box),
                         qPrintable(name + ": \"" + drawn[i].words + "\" leaves the picture"));
                for (std::size_t j = i + 1; j < drawn.size(); ++j)
                    QVERIFY2(!drawn[i].box.intersects(drawn[j].box),
                             qPrintable(name + ": \"" + drawn[i].words + "\" runs into \"" + drawn[j].words + "\""));
                for (const QRectF& mark : marks)
                    QVERIFY2(!drawn[i].box.intersects(mark) || before[i].box.intersects(mark),
                             qPrintable(name + ": \"" + drawn[i].words + "\" runs into what the picture draws"));
            }
        }
        QCOMPARE(translatedWords, 14);  // the words drawn, each as often as drawn
    }

    void theServiceRecordFindsAHeadIdAsItShowsIt() {
        // A printer known only by its head ID is listed as "head 00EE" (in
        // German "Kopf 00EE"); searching for the row's text finds it in
        // either language.
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        journal::Journal().Install(journal::OpenSqlite(folder.filePath("journal.db").toStdString()), {});
        FillJournal(*journal::Journal().CurrentStore());
        for (const char* language : {static_cast<const char*>(nullptr), "de"}) {
            UseLanguage(language);
            ServiceRecordWindow record(nullptr);
            auto* tree = record.findChild<QTreeWidget*>("RecordTree");
            QCOMPARE(tree->topLevelItemCount(), 2);
            QString head;
            for (int i = 0; i < tree->topLevelItemCount(); ++i)
                if (tree->topLevelItem(i)->text(0).endsWith("00EE")) head = tree->topLevelItem(i)->text(0);
            QCOMPARE(head, language ? QString::fromUtf8("Kopf 00EE") : QString("head 00EE"));
            record.Search(head);
            QCOMPARE(tree->topLevelItemCount(), 1);
            QCOMPARE(tree->topLevelItem(0)->text(0), head);
            // The operation's code is shown as the command line shows it.
            record.Search("SERIAL0001");
            QCOMPARE(tree->topLevelItemCount(), 1);
            const QString stopped = tree->topLevelItem(0)->child(0)->child(0)->text(1);
            QVERIFY2(
                stopped.endsWith(language ? QString::fromUtf8("angehalten (0x2000)") : QString("stopped (0x2000)")),
                qPrintable(stopped));
        }
        UseLanguage(nullptr);
        journal::Journal().Uninstall();
    }

    void theServiceReportFollowsTheLanguage() {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        auto store = journal::OpenSqlite(folder.filePath("journal.db").toStdString());
        FillJournal(*store);
        UseLanguage(nullptr);
        const QString english = QString::fromStdString(journal::ServiceReportHtml(*store, {}));
        UseLanguage("de");
        const QString german = QString::fromStdString(journal::ServiceReportHtml(*store, {}));
        const QString none = QString::fromStdString(journal::ServiceReportHtml(*store, {"NOSUCH", 7}));
        UseLanguage(nullptr);
        QVERIFY(english.contains("<html lang=\"en\">") && english.contains("<h1>Service report</h1>"));
        QVERIFY(german.contains("<html lang=\"de\">"));
        for (const char* heading : {"Servicebericht", "Sitzung 1, 2026-12-08 10:00:00 UTC", "Justagen", "Vorgänge",
                                    "Fehlschläge", "angehalten mit Code 0x2000", "Sicherung erstellt"})
            QVERIFY2(german.contains(QString::fromUtf8(heading)), heading);
        for (const char* english_text :
             {"Service report", "Adjustments", "Operations", "Failures", "stopped", "backup taken"})
            QVERIFY2(!german.contains(english_text), english_text);
        QVERIFY2(
            none.contains(QString::fromUtf8("Das Servicejournal enthält keine Sitzung Nummer 7 von Drucker NOSUCH.")),
            qPrintable(none));
    }

    void anInterruptedRefurbishmentIsDescribedAsItStopped() {
        // Each stage is its own sentence, in the C locale as written.
        journal::Interrupted found;
        found.operation.id = 12;
        found.operation.started = "2026-12-08 10:00:05";
        const auto describe = [&](bool seen, bool ended) {
            found.exchangeSeen = seen;
            found.exchangeEnded = ended;
            return QString::fromStdString(journal::DescribeInterrupted(found));
        };
        UseLanguage(nullptr);
        QCOMPARE(describe(false, false),
                 QString("A refurbishment for DOA of this printer (journal operation 12, 2026-12-08 10:00:05 UTC) "
                         "stopped after the transportation liquid exchange was started."));
        QVERIFY(describe(true, false).endsWith("stopped during the transportation liquid exchange."));
        QVERIFY(describe(true, true).endsWith("before the EEPROM was reset to the delivery setting."));
        UseLanguage("de");
        const QStringList german = {describe(false, false), describe(true, false), describe(true, true)};
        UseLanguage(nullptr);
        QVERIFY(german[0].endsWith(QString::fromUtf8("nach dem Start des Transportflüssigkeitswechsels angehalten.")));
        QVERIFY(german[1].endsWith(QString::fromUtf8("während des Transportflüssigkeitswechsels angehalten.")));
        QVERIFY(german[2].endsWith(QString::fromUtf8("auf den Auslieferungszustand zurückgesetzt wurde.")));
        for (const QString& text : german)
            QVERIFY2(text.contains("(Journalvorgang 12, 2026-12-08 10:00:05 UTC)"), qPrintable(text));
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
