#include <QtTest>

#include <QApplication>
#include <QFile>
#include <QPainter>
#include <QFrame>
#include <QLabel>
#include <QScreen>
#include <QSvgRenderer>
#include <QSvgWidget>

#include "ui/howto/ArtWords.h"
#include "ui/howto/HowToForm.h"
#include "ui/howto/HowToWindows.h"

using svc::ui::HowTo;
using svc::ui::HowToWindows;
using svc::ui::THowToForm;

Q_DECLARE_METATYPE(HowTo)

namespace {

struct Page {
    HowTo which;
    const char* className;
    const char* objectName;
    const char* title;
    QSize client;
};

const Page kPages[] = {
    {HowTo::HdAngAdjust,
     "svc::ui::THowToHdAngAdjustForm",
     "HowToHdAngAdjustForm",
     "How to the head angular adjustment",
     {464, 351}},
    {HowTo::PFAdjust, "svc::ui::THowToPFAdjustForm", "HowToPFAdjustForm", "How to PF adjustment", {458, 464}},
    {HowTo::CLShiftAdjust,
     "svc::ui::THowToCLShiftAdjustForm",
     "HowToCLShiftAdjustForm",
     "How to pixel shift adjustment",
     {510, 170}},
    {HowTo::BidAdjust, "svc::ui::THowToBidAdjustForm", "HowToBidAdjustForm", "How to Bi-D adjustment", {357, 238}},
    {HowTo::PWAdjust, "svc::ui::THowToPWAdjustForm", "HowToPWAdjustForm", "How to the PW adjustment", {672, 522}},
    {HowTo::CutPosAdjust,
     "svc::ui::THowToCutPosAdjustForm",
     "HowToCutPosAdjustForm",
     "How to the cut position adjustment",
     {528, 310}},
    {HowTo::PGAdjust, "svc::ui::TFormHowToPGAdjust", "FormHowToPGAdjust", "How to PG adjustment", {853, 375}},
    {HowTo::CheckA4Pat,
     "svc::ui::THowToCheckA4PatForm",
     "HowToCheckA4PatForm",
     "How to check the A4 normal check pattern",
     {437, 430}},
    {HowTo::Clean, "svc::ui::TFormHowToClean", "FormHowToClean", "How to Clean", {660, 260}},
};

// Every text each page shows, exactly as the operator reads it.
QStringList ExpectedTexts(HowTo which) {
    switch (which) {
        case HowTo::HdAngAdjust:
            return {};
        case HowTo::PFAdjust:
            return {"1.",
                    "Print the check pattern.",
                    "2.",
                    "Input the adjustment value of the pattern that is the smallest displacements in "
                    "the printed check pattern.",
                    "As shown in the example on the right.",
                    "In this case, input 3."};
        case HowTo::CLShiftAdjust:
            return {"1.",
                    "Print the Pixel Shift Adjustment pattern.",
                    "2.",
                    "Check the printed pattern.",
                    "Input the adjustment value of straight line in the printed lines.",
                    "Before performing this adjustment, adjust the Bi-D Alignment.",
                    "ex. : A line"};
        case HowTo::BidAdjust:
            return {"1.",
                    "Print the Bi-D Adjustment pattern.",
                    "2.",
                    "Check the printed pattern.",
                    "Input the adjustment value of straight line in the printed lines.",
                    "Input the smaller adjustment value.",
                    "Input the larger adjustment value."};
        case HowTo::PWAdjust:
            return {"1.",
                    "Print the PW adjustment pattern.",
                    "2.",
                    "Input the 4 adjustment values of printed lines that are 5mm away from each edge "
                    "of the paper.",
                    "As shown in the example on the right.",
                    "The following numbers indicate the range of the input values :",
                    "Top/Bottom: -16~16",
                    "Left/Right: -8~24",
                    "5mm",
                    "5mm",
                    "5mm",
                    "5mm",
                    "In this case, input 8",
                    "In this case, input 2",
                    "In this case, input 4",
                    "In this case, input -2"};
        case HowTo::CutPosAdjust:
            return {"1.",
                    "Print Cutter Adjustment Pattern.",
                    "2.",
                    "Select the number of the pattern that performed the most precise cut between the "
                    "black and orange rectangles.",
                    "If the pattern was not cut precisely, select the number closest to the cut "
                    "position between the black and orange areas. And then print the Cutter "
                    "Adjustment pattern again.",
                    "No.9 is present cutting position."};
        case HowTo::PGAdjust:
            return {"1.",
                    "Remove the 4 parallelism bushings from the printer mechanism.",
                    "2.",
                    "Set the PG Lever to the \"+\" position. (Envelope position)",
                    "3.",
                    "Click the \"Center Position\" button.",
                    "4.",
                    "Set the right platen gap tool on the right side of the platen.",
                    "5.",
                    "Click the \"Right Main Position (1)\" button.",
                    "6.",
                    "Set the PG Lever to the \"0\" position. (Sheet feed position)",
                    "7.",
                    "Connect the tester and set one terminal to the platen gap tool and the "
                    "other terminal to ground.",
                    "8.",
                    "Move the right main CR guide shaft bushing until there is no continuity.",
                    "9.",
                    "Confirm continuity by moving the bushing lever one notch away (up or "
                    "down), then return to the previous notch which no continuity was found.",
                    "10.",
                    "Set the PG Lever to the \"+\" position. (Envelope position)",
                    "11.",
                    "Repeat step 3 through 10 for the Left Main Position (2), the Right Sub "
                    "Position (3), and the Left Sub Position (4).",
                    "TIP:",
                    "If you have difficulties finding continulty and no continuity from any "
                    "CR guide shaft bushings, set all 4 shaft bushings to the center position "
                    "and then repeat the entire adjustment procedure.",
                    " 1",
                    " 2",
                    " 3",
                    " 4",
                    "Note:",
                    "The numbers show the sequence in which the adjustments must be performed."};
        case HowTo::CheckA4Pat:
            return {"1.",
                    "PW sensor check pattern",
                    "If the following items apply, perform the PW adjustment.",
                    "- This pattern was printed by frameless printing.",
                    "- The left margin of printed pattern was out of range. (1.9mm~3.5mm)",
                    "2.",
                    "PF adjustment check pattern.",
                    "If the printed pattern is like \"X\" pattern of right figure, perform the PF "
                    "adjustment."};
        case HowTo::Clean:
            return {"Instructions:",
                    "1.",
                    "To perform this adjustment the printer mechanism must be removed from the "
                    "casing.",
                    "2.",
                    "Disengage the carriage lock lever.",
                    "3.",
                    "Move the carriage assembly carefully toward the left.",
                    "4.",
                    "Remove the pump and cap assembly (4 screws)",
                    "5.",
                    "Move the carriage assembly carefully to the home position.",
                    "6.",
                    "From the front view of the printer carefully tilt the printer in the upward "
                    "direction until you see the printhead nozzle plate.",
                    "Note:",
                    "Using the cleaning tool provided with the printer (recommended), wipe "
                    "off any ink drops from the metal plate around the printhead."};
    }
    return {};
}

struct Art {
    HowTo which;
    const char* name;
    QSize size;
    bool framed;
};

const Art kArt[] = {
    {HowTo::HdAngAdjust, "head_angular", {456, 343}, false}, {HowTo::PFAdjust, "pf_blocks", {173, 442}, true},
    {HowTo::CLShiftAdjust, "pixel_shift", {175, 104}, true}, {HowTo::BidAdjust, "bid_lines", {200, 111}, true},
    {HowTo::PWAdjust, "pw_sheet", {347, 483}, true},         {HowTo::CutPosAdjust, "cut_marks", {476, 144}, true},
    {HowTo::PGAdjust, "pg_mechanism", {282, 174}, true},     {HowTo::CheckA4Pat, "a4_margin", {319, 110}, true},
    {HowTo::CheckA4Pat, "a4_blocks", {129, 120}, true},
};

QLabel* FindLabel(QWidget* page, const QString& text) {
    for (QLabel* label : page->findChildren<QLabel*>())
        if (label->text() == text) return label;
    return nullptr;
}

QRect InPage(QWidget* page, QWidget* child) { return QRect(child->mapTo(page, QPoint(0, 0)), child->size()); }

QColor TextColour(const QLabel* label) { return label->palette().color(QPalette::WindowText); }

// Opens a page and lets the layouts settle, so geometry can be checked.
QWidget* Open(HowToWindows& pages, HowTo which) {
    pages.Show(which);
    QWidget* page = pages.Window(which);
    QApplication::processEvents();
    return page;
}

}  // namespace

class HowToTest : public QObject {
    Q_OBJECT
private slots:
    void pagesStartHiddenAndMatchTheirTable();
    void framesHaveOnlyACloseBoxAndAFixedSize();
    void everyTextIsShownExactly_data();
    void everyTextIsShownExactly();
    void textsAreBoldAndNeitherClippedNorOverlapping_data();
    void textsAreBoldAndNeitherClippedNorOverlapping();
    void notesAndOverlaysHaveTheirColourAndSize();
    void picturesRenderAtTheirDisplaySize();
    void pageBackgroundIsTheMainWindowColour();
    void showingTwiceKeepsOnePage();
    void showBringsAnOpenPageToTheFront();
    void openPageKeepsItsPlaceButReopensCentred();
    void pagesStayOpenWhenTheMainWindowCloses();
    void openPagesDoNotKeepTheProgramRunning();
    void unknownPageIsIgnored();
    void pictureWordsAreReplacedAndNothingElse();
    void picturesWithoutACatalogueAreTheirOwnBytes();
};

void HowToTest::pagesStartHiddenAndMatchTheirTable() {
    const int before = QApplication::topLevelWidgets().size();
    HowToWindows pages;
    QCOMPARE(QApplication::topLevelWidgets().size(), before + svc::ui::kHowToCount);
    for (const Page& expected : kPages) {
        QWidget* page = pages.Window(expected.which);
        QVERIFY(page != nullptr);
        QCOMPARE(page->metaObject()->className(), expected.className);
        QCOMPARE(page->objectName(), QString::fromLatin1(expected.objectName));
        QCOMPARE(page->windowTitle(), QString::fromLatin1(expected.title));
        QVERIFY(!page->isVisible());
        QVERIFY(page->parentWidget() == nullptr);
    }
}

void HowToTest::framesHaveOnlyACloseBoxAndAFixedSize() {
    HowToWindows pages;
    for (const Page& expected : kPages) {
        QWidget* page = Open(pages, expected.which);
        const Qt::WindowFlags flags = page->windowFlags();
        QCOMPARE(flags & Qt::WindowType_Mask, Qt::Dialog);
        QVERIFY(flags.testFlag(Qt::WindowTitleHint));
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowContextHelpButtonHint));
        QCOMPARE(page->size(), expected.client);
        QCOMPARE(page->minimumSize(), expected.client);
        QCOMPARE(page->maximumSize(), expected.client);
        QVERIFY(!page->isModal());
        QCOMPARE(page->windowModality(), Qt::NonModal);
    }
}

void HowToTest::everyTextIsShownExactly_data() {
    QTest::addColumn<HowTo>("which");
    for (const Page& page : kPages) QTest::newRow(page.objectName) << page.which;
}

void HowToTest::everyTextIsShownExactly() {
    QFETCH(HowTo, which);
    HowToWindows pages;
    QStringList shown;
    for (const QLabel* label : pages.Window(which)->findChildren<QLabel*>()) {
        QCOMPARE(label->textFormat(), Qt::PlainText);
        shown << label->text();
    }
    QStringList expected = ExpectedTexts(which);
    shown.sort();
    expected.sort();
    QCOMPARE(shown, expected);
}

void HowToTest::textsAreBoldAndNeitherClippedNorOverlapping_data() { everyTextIsShownExactly_data(); }

void HowToTest::textsAreBoldAndNeitherClippedNorOverlapping() {
    QFETCH(HowTo, which);
    HowToWindows pages;
    QWidget* page = Open(pages, which);
    const QList<QLabel*> labels = page->findChildren<QLabel*>();
    for (QLabel* label : labels) {
        const QString what = label->text();
        QVERIFY2(label->font().bold(), qPrintable(what));
        QVERIFY2(label->isVisible(), qPrintable(what));
        const QRect area = InPage(page, label);
        QVERIFY2(page->rect().contains(area), qPrintable(what));
        // An overlay must stay on its picture.
        if (auto* picture = qobject_cast<QFrame*>(label->parentWidget()); picture != nullptr)
            QVERIFY2(picture->rect().contains(label->geometry()), qPrintable(what));
        const int needed = label->wordWrap() ? label->heightForWidth(label->width()) : label->sizeHint().height();
        QVERIFY2(needed <= label->height(), qPrintable(what));
        if (!label->wordWrap()) QVERIFY2(label->sizeHint().width() <= label->width(), qPrintable(what));
    }
    for (int i = 0; i < labels.size(); ++i)
        for (int j = i + 1; j < labels.size(); ++j)
            QVERIFY2(!InPage(page, labels[i]).intersects(InPage(page, labels[j])),
                     qPrintable(labels[i]->text() + " / " + labels[j]->text()));
}

void HowToTest::notesAndOverlaysHaveTheirColourAndSize() {
    HowToWindows pages;
    struct Styled {
        HowTo which;
        const char* text;
        int pixelSize;
        QColor colour;
    };
    const QColor navy(0, 0, 128), red(255, 0, 0), black(Qt::black);
    const Styled kStyled[] = {
        {HowTo::PFAdjust, "Print the check pattern.", 15, black},
        {HowTo::PFAdjust, "As shown in the example on the right.", 13, navy},
        {HowTo::PFAdjust, "In this case, input 3.", 13, navy},
        {HowTo::CLShiftAdjust, "Before performing this adjustment, adjust the Bi-D Alignment.", 15, QColor(Qt::white)},
        {HowTo::BidAdjust, "Input the smaller adjustment value.", 12, black},
        {HowTo::BidAdjust, "Input the larger adjustment value.", 12, black},
        {HowTo::PWAdjust, "As shown in the example on the right.", 13, navy},
        {HowTo::PWAdjust, "5mm", 11, black},
        {HowTo::PWAdjust, "In this case, input 8", 12, red},
        {HowTo::PWAdjust, "In this case, input 2", 12, red},
        {HowTo::PWAdjust, "In this case, input 4", 12, red},
        {HowTo::PWAdjust, "In this case, input -2", 12, red},
        {HowTo::PGAdjust, " 1", 13, black},
        {HowTo::PGAdjust, " 4", 13, black},
        {HowTo::Clean, "Instructions:", 15, black},
    };
    for (const Styled& s : kStyled) {
        QLabel* label = FindLabel(pages.Window(s.which), QString::fromLatin1(s.text));
        QVERIFY2(label != nullptr, s.text);
        QCOMPARE(label->font().pixelSize(), s.pixelSize);
        QCOMPARE(TextColour(label), s.colour);
    }
    QLabel* warning =
        FindLabel(pages.Window(HowTo::CLShiftAdjust), "Before performing this adjustment, adjust the Bi-D Alignment.");
    QVERIFY(warning->autoFillBackground());
    QCOMPARE(warning->palette().color(QPalette::Window), QColor(255, 128, 0));
}

void HowToTest::picturesRenderAtTheirDisplaySize() {
    HowToWindows pages;
    int pictures = 0;
    for (const Page& page : kPages) pictures += Open(pages, page.which)->findChildren<QSvgWidget*>().size();
    QCOMPARE(pictures, int(std::size(kArt)));

    for (const Art& art : kArt) {
        QWidget* page = pages.Window(art.which);
        auto* picture = page->findChild<QSvgWidget*>(QString::fromLatin1(art.name));
        QVERIFY2(picture != nullptr, art.name);
        QVERIFY2(picture->renderer()->isValid(), art.name);
        QCOMPARE(picture->size(), art.size);
        QVERIFY(page->rect().contains(InPage(page, picture)));
        auto* frame = qobject_cast<QFrame*>(picture->parentWidget());
        QCOMPARE(frame != nullptr, art.framed);
        if (frame != nullptr) {
            QCOMPARE(frame->frameShadow(), QFrame::Sunken);
            QCOMPARE(frame->palette().color(QPalette::Window), QColor(Qt::white));
            QCOMPARE(frame->contentsRect(), picture->geometry());
        }
    }
}

void HowToTest::pageBackgroundIsTheMainWindowColour() {
    HowToWindows pages;
    const QColor background(182, 220, 208);
    for (const Page& expected : kPages) {
        QWidget* page = Open(pages, expected.which);
        const QImage image = page->grab().toImage();
        QCOMPARE(image.size(), expected.client);
        QCOMPARE(image.pixelColor(1, 1), background);
        QCOMPARE(image.pixelColor(expected.client.width() - 2, expected.client.height() - 2), background);
    }
}

void HowToTest::showingTwiceKeepsOnePage() {
    HowToWindows pages;
    const int before = QApplication::topLevelWidgets().size();
    pages.Show(HowTo::BidAdjust);
    QWidget* first = pages.Window(HowTo::BidAdjust);
    pages.Show(HowTo::BidAdjust);
    QCOMPARE(pages.Window(HowTo::BidAdjust), first);
    QCOMPARE(QApplication::topLevelWidgets().size(), before);
    int open = 0;
    for (QWidget* window : QApplication::topLevelWidgets())
        open += window->isVisible() && window->objectName() == "HowToBidAdjustForm";
    QCOMPARE(open, 1);
    QVERIFY(first->isVisible());
}

void HowToTest::showBringsAnOpenPageToTheFront() {
    HowToWindows pages;
    QWidget* pf = pages.Window(HowTo::PFAdjust);
    QWidget* pw = pages.Window(HowTo::PWAdjust);
    pages.Show(HowTo::PFAdjust);
    pages.Show(HowTo::PWAdjust);
    QTRY_COMPARE(QApplication::activeWindow(), pw);
    pages.Show(HowTo::PFAdjust);
    QTRY_COMPARE(QApplication::activeWindow(), pf);
    QVERIFY(pw->isVisible());
}

void HowToTest::openPageKeepsItsPlaceButReopensCentred() {
    HowToWindows pages;
    QWidget* page = pages.Window(HowTo::CutPosAdjust);
    const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
    pages.Show(HowTo::CutPosAdjust);
    QVERIFY(qAbs(page->frameGeometry().center().x() - centre.x()) <= 1);
    QVERIFY(qAbs(page->frameGeometry().center().y() - centre.y()) <= 1);

    page->move(10, 20);
    pages.Show(HowTo::CutPosAdjust);
    QCOMPARE(page->pos(), QPoint(10, 20));

    // The close box only hides the page; it can be opened again, centred.
    QVERIFY(page->close());
    QVERIFY(!page->isVisible());
    QCOMPARE(pages.Window(HowTo::CutPosAdjust), page);
    pages.Show(HowTo::CutPosAdjust);
    QVERIFY(page->isVisible());
    QVERIFY(qAbs(page->frameGeometry().center().x() - centre.x()) <= 1);
    QVERIFY(qAbs(page->frameGeometry().center().y() - centre.y()) <= 1);
}

void HowToTest::pagesStayOpenWhenTheMainWindowCloses() {
    HowToWindows pages;
    QWidget main;
    QWidget quitWindow;
    main.show();
    pages.Show(HowTo::PGAdjust);
    pages.Show(HowTo::PGAdjust);
    pages.Show(HowTo::Clean);
    QVERIFY(main.close());
    quitWindow.show();
    QApplication::processEvents();
    QVERIFY(pages.Window(HowTo::PGAdjust)->isVisible());
    QVERIFY(pages.Window(HowTo::Clean)->isVisible());
    QVERIFY(!pages.Window(HowTo::PFAdjust)->isVisible());
}

void HowToTest::openPagesDoNotKeepTheProgramRunning() {
    HowToWindows pages;
    QWidget main;
    main.show();
    pages.Show(HowTo::PGAdjust);
    pages.Show(HowTo::Clean);

    // A help page left open must not keep the program alive once the
    // operator's own windows are closed: closing the last of them ends the
    // event loop. The guard timer only keeps a broken build from hanging.
    QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
    // Quitting closes every window, so the pages are looked at on the way out.
    bool pagesOpenAtEnd = false;
    connect(qApp, &QGuiApplication::lastWindowClosed, this, [&] {
        pagesOpenAtEnd = pages.Window(HowTo::PGAdjust)->isVisible() && pages.Window(HowTo::Clean)->isVisible();
    });
    QApplication::setQuitOnLastWindowClosed(true);
    QTimer::singleShot(0, &main, &QWidget::close);
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, qApp, &QCoreApplication::quit);
    guard.start(10000);
    QApplication::exec();
    QApplication::setQuitOnLastWindowClosed(false);
    disconnect(qApp, &QGuiApplication::lastWindowClosed, this, nullptr);
    QCOMPARE(lastClosed.count(), 1);
    QVERIFY(pagesOpenAtEnd);
}

void HowToTest::unknownPageIsIgnored() {
    HowToWindows pages;
    const auto unknown = static_cast<HowTo>(svc::ui::kHowToCount);
    QVERIFY(pages.Window(unknown) == nullptr);
    pages.Show(unknown);
    for (const Page& page : kPages) QVERIFY(!pages.Window(page.which)->isVisible());
}

void HowToTest::pictureWordsAreReplacedAndNothingElse() {
    const QByteArray svg =
        "<svg><text x=\"1\" y=\"2\">left margin</text><rect width=\"3\"/>\n"
        "<text x=\"4\">17</text><text>R&amp;D &lt;x&gt;</text><tspan dy=\"1\">paper</tspan>"
        "<text> </text></svg>";
    QCOMPARE(svc::ui::ArtWords(svg), QStringList({"left margin", "17", "R&D <x>", "paper", " "}));
    QStringList asked;
    const QByteArray translated = svc::ui::TranslateArtWords(svg, [&](const QString& words) {
        asked << words;
        if (words == "left margin") return QString::fromUtf8("linker Rand & <Größe>");
        if (words == "R&D <x>") return QStringLiteral("F&E \"x\"");
        return words;
    });
    // Only texts with something in them are looked up; a translation is
    // written back escaped, the elements and the other texts as they were.
    QCOMPARE(asked, QStringList({"left margin", "17", "R&D <x>", "paper"}));
    QCOMPARE(QString::fromUtf8(translated),
             QString::fromUtf8("<svg><text x=\"1\" y=\"2\">linker Rand &amp; &lt;Größe&gt;</text><rect width=\"3\"/>\n"
                               "<text x=\"4\">17</text><text>F&amp;E &quot;x&quot;</text><tspan dy=\"1\">paper</tspan>"
                               "<text> </text></svg>"));
    QCOMPARE(svc::ui::ArtWords(translated),
             QStringList({QString::fromUtf8("linker Rand & <Größe>"), "17", "F&E \"x\"", "paper", " "}));
}

void HowToTest::picturesWithoutACatalogueAreTheirOwnBytes() {
    // Without a catalogue (the test runs in English) each picture is handed
    // to the renderer exactly as compiled in, and draws as the file does.
    HowToWindows pages;
    for (const Page& page : kPages) Open(pages, page.which);
    for (const Art& art : kArt) {
        QFile file(QStringLiteral(":/howto/art/%1.svg").arg(QString::fromLatin1(art.name)));
        QVERIFY2(file.open(QIODevice::ReadOnly), art.name);
        const QByteArray svg = file.readAll();
        QCOMPARE(svc::ui::TranslateArtWords(svg), svg);
        QVERIFY(svc::ui::TranslateArtWords(svg, [](const QString& words) { return words; }).constData() ==
                svg.constData());

        auto* picture = pages.Window(art.which)->findChild<QSvgWidget*>(QString::fromLatin1(art.name));
        QVERIFY2(picture != nullptr, art.name);
        QImage shown(art.size, QImage::Format_ARGB32), drawn(art.size, QImage::Format_ARGB32);
        shown.fill(Qt::transparent);
        drawn.fill(Qt::transparent);
        {
            QPainter painter(&shown);
            picture->renderer()->render(&painter);
        }
        {
            QSvgRenderer fromFile(file.fileName());
            QPainter painter(&drawn);
            fromFile.render(&painter);
        }
        QVERIFY2(shown == drawn, art.name);
    }
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The test opens and closes windows on purpose; it ends on its own.
    QApplication::setQuitOnLastWindowClosed(false);
    HowToTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "howto_test.moc"
