// Printed pages handed to the adjustment panels: a page the virtual printer
// printed, dropped or pasted onto its panel, fills the fields with what the
// printer's hidden errors need and sends nothing; what is not a page changes
// nothing and says why; the marked-page window marks every item read.
#include "adjust/PfAdjust.h"
#include "pagereader/Image.h"
#include "pagereader/Scanner.h"
#include "service/ValueFrame.h"
#include "ui/FeaturePanel.h"
#include "ui/PageReading.h"
#include "ui/PageReadingFill.h"
#include "ui/PageReadingWindow.h"
#include "ui/VexFormAdjust.h"
#include "integration/testing/Twin.h"
#include "vprinter/Printer.h"
#include "vprinter/engine/PagePlan.h"
#include "vprinter/engine/PrintEngine.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QGraphicsView>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <cstdlib>
#include <memory>

using namespace svc;
namespace pr = svc::pagereader;

namespace {

constexpr int kPf = 5, kBid = 7, kFirstDot = 12;

// A printer with its engine writing each ejected sheet into a folder, as the
// standalone printer does (each page at the resolution it needs).
struct PagePrinter {
    vp::EngineOptions options;
    std::unique_ptr<vp::PrintEngine> engine;
    std::vector<std::pair<std::uint8_t, std::uint8_t>> eeprom;

    explicit PagePrinter(const QString& folder) {
        options.page.previewDpi = vp::kPagePlanned;
        options.pagesDir = folder.toStdString();
    }
    twin::Setup Setup() {
        twin::Setup setup;
        setup.prepare = [this](vp::Printer& p) {
            for (auto [address, value] : eeprom) p.WriteEeprom(address, value);
            engine = std::make_unique<vp::PrintEngine>(p, options);
            p.SetEngine(engine.get());
            engine->Reset();
        };
        setup.inspect = [](vp::Printer& p) { p.SetEngine(nullptr); };
        return setup;
    }
};

ui::FeaturePanel* Panel(ui::TFormAdjust& w, const char* name) {
    auto* panel = w.findChild<ui::FeaturePanel*>(QString::fromLatin1(name));
    if (!panel) qFatal("no panel %s", name);
    return panel;
}

// A drop of `data` on `target` as the window system delivers it: enter, then drop.
bool Drop(QWidget* target, const QMimeData& data) {
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

QMimeData* FileData(const QString& path) {
    auto* data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(path)});
    return data;
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string Boxes(const twin::Run& run) {
    std::string all;
    for (const std::string& b : run.boxes) all += b + "\n";
    return all;
}

}  // namespace

class PageReadingTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir_;

private slots:
    // Bi-D trials printed around stored values, VSD1 and VSD4 only: the
    // dropped page puts the values the hidden errors need into exactly those
    // rows, the other rows keep what the Read showed, and the printer gets
    // not one packet more than without the drop.
    void aDroppedBidPageFillsTheRowsItShowsAndSendsNothing() {
        const QString folder = dir_.path() + QStringLiteral("/bid");
        QVERIFY(QDir().mkpath(folder));
        PagePrinter printer(folder);
        printer.options.deviations.bid[0][0] = 5;   // VSD1 Black
        printer.options.deviations.bid[1][0] = -3;  // VSD1 Color
        printer.options.deviations.bid[0][3] = 1;   // VSD4 Black
        printer.options.deviations.bid[1][3] = -1;  // VSD4 Color
        printer.eeprom = {{0x60, 4}, {0x64, 0xFE}, {0x61, 7}, {0x63, 0}, {0x67, 0}};
        const auto printAndOpenInput = [](ui::TFormAdjust& w) {
            twin::Pick(w, Group::Adjustment, kBid);
            w.SetChecked("BidVSD2PrnRequestCheckBox", false);
            w.SetChecked("BidVSD2DPrnRequestCheckBox", false);
            twin::Click(w, "BidPrintOKBtn");
            twin::Click(w, "BidPrintShowInputBtn");  // reads the stored values into the fields
            w.DisableTimerTimer();
        };
        const twin::Run without = twin::RunGui(printer.Setup(), printAndOpenInput);
        const QString page = folder + QStringLiteral("/page-0001.png");
        QVERIFY2(QFile::exists(page), qPrintable(page));

        const twin::Run with = twin::RunGui(printer.Setup(), [&](ui::TFormAdjust& w) {
            printAndOpenInput(w);
            QCOMPARE(w.Text("BidVSD2BkInputEdit"), std::string("7"));
            const std::unique_ptr<QMimeData> data(FileData(folder + QStringLiteral("/page-0002.png")));
            QVERIFY(Drop(Panel(w, "BidInputPnl"), *data));
            QTRY_VERIFY_WITH_TIMEOUT(ui::PageReadingWindow::Current() != nullptr, 60000);
            QCOMPARE(w.Text("BidVSD1BkInputEdit"), std::string("5"));
            QCOMPARE(w.Text("BidVSD1CLInputEdit"), std::string("-3"));
            QCOMPARE(w.Text("BidVSD4BkInputEdit"), std::string("1"));
            QCOMPARE(w.Text("BidVSD4CLInputEdit"), std::string("-1"));
            QVERIFY(w.Checked("BidVSD1BkInputCheckBox") && w.Checked("BidVSD4CLInputCheckBox"));
            // Not on the page: as the Read left them.
            QCOMPARE(w.Text("BidVSD2BkInputEdit"), std::string("7"));
            QVERIFY(!w.Checked("BidVSD2BkInputCheckBox") && !w.Checked("BidVSD2DCLInputCheckBox"));
            QCOMPARE(w.AdjustedCell("BidVSD1BkPnl"), std::string());  // nothing written

            // The window marks each value read and tells what to do next.
            ui::PageReadingWindow* shown = ui::PageReadingWindow::Current();
            const QStringList labels = shown->MarkLabels();
            for (const char* row : {"VSD1Bk 5", "VSD1CL -3", "VSD4Bk 1", "VSD4CL -1"})
                QVERIFY2(labels.filter(QString::fromLatin1(row) + QLatin1Char(' ')).size() == 1,
                         qPrintable(labels.join(QLatin1Char('|'))));
            QVERIFY(shown->MarkCount() >= 4);
            QVERIFY(shown->NextStep().contains(QStringLiteral("[Input]")));
            if (const QByteArray shot = qgetenv("SVC_PAGE_READING_SHOT"); !shot.isEmpty()) {
                shown->resize(760, 820);
                shown->SetZoom(1);
                shown->grab().save(QString::fromLocal8Bit(shot));
            }

            // The same page again reads against the same stored values: the same answer.
            const std::unique_ptr<QMimeData> again(FileData(folder + QStringLiteral("/page-0002.png")));
            QVERIFY(Drop(Panel(w, "BidInputPnl"), *again));
            QTest::qWait(50);
            QTRY_COMPARE_WITH_TIMEOUT(w.isEnabled(), true, 60000);
            QCOMPARE(w.Text("BidVSD1BkInputEdit"), std::string("5"));
            QCOMPARE(w.Text("BidVSD1CLInputEdit"), std::string("-3"));
        });
        QVERIFY2(with.boxes.empty(), Boxes(with).c_str());
        QCOMPARE(twin::Describe(with.packets), twin::Describe(without.packets));
    }

    // What is not a page: a text file is not taken on drag (nothing happens)
    // and, pasted, is named in a message; a file named .png that holds no
    // picture, dropped on the panel or on its field, likewise. The field
    // keeps its value and no window opens.
    void whatIsNoPageChangesNothingAndSaysWhy() {
        const QString text = dir_.path() + QStringLiteral("/notes.txt");
        const QString fake = dir_.path() + QStringLiteral("/fake.png");
        for (const QString& path : {text, fake}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("no picture here\n");
        }
        const twin::Run run = twin::RunGui({}, [&](ui::TFormAdjust& w) {
            // Every panel with a page to read takes one, and no other.
            for (const char* name : {"HeadAngularPnl", "PFAdjustmentPnl", "PWSensorAdjustPnl", "BidInputPnl",
                                     "ColorShiftAdjustPnl", "LandMarginAdjustPnl", "CutPosAdjustPanel"}) {
                ui::FeaturePanel* panel = Panel(w, name);
                QVERIFY2(panel->acceptDrops(), name);
                auto* open = panel->findChild<QAction*>(QStringLiteral("ReadPrintedPageAction"));
                QVERIFY2(open && open->shortcut() == QKeySequence(QKeySequence::Open), name);
                QCOMPARE(panel->contextMenuPolicy(), Qt::ActionsContextMenu);
            }
            for (const char* name : {"BidPrintPnl", "HeadIDInputPnl"})
                QVERIFY2(!Panel(w, name)->findChild<QAction*>(QStringLiteral("ReadPrintedPageAction")), name);

            twin::Pick(w, Group::Adjustment, kPf);
            twin::Type(w, "PFAdjustDataEdit", "3");
            ui::FeaturePanel* panel = Panel(w, "PFAdjustmentPnl");

            const std::unique_ptr<QMimeData> notes(FileData(text));
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, notes.get(), Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(panel, &enter);
            QVERIFY(!enter.isAccepted());
            QGuiApplication::clipboard()->setMimeData(FileData(text));
            panel->findChild<QAction*>(QStringLiteral("PastePrintedPageAction"))->trigger();
            QGuiApplication::clipboard()->clear();
            panel->findChild<QAction*>(QStringLiteral("PastePrintedPageAction"))->trigger();

            const std::unique_ptr<QMimeData> picture(FileData(fake));
            QVERIFY(Drop(panel, *picture));
            QTest::qWait(20);
            QTRY_COMPARE_WITH_TIMEOUT(w.isEnabled(), true, 10000);

            // Ctrl+V in the field: a page file on the clipboard goes to the
            // panel's paste (the field lets the shortcut through), text is the field's.
            QWidget* field = w.findChild<QWidget*>(QStringLiteral("PFAdjustDataEdit"));
            const auto fieldWantsPaste = [field] {
                QKeyEvent key(QEvent::ShortcutOverride, Qt::Key_V, Qt::ControlModifier);
                QCoreApplication::sendEvent(field, &key);
                return key.isAccepted();
            };
            QGuiApplication::clipboard()->setMimeData(FileData(fake));
            QVERIFY(!fieldWantsPaste());
            QGuiApplication::clipboard()->setText(QStringLiteral("2"));
            QVERIFY(fieldWantsPaste());

            // Dropped on the field itself: the same, not its name typed into it.
            QVERIFY(Drop(field, *picture));
            QTest::qWait(20);
            QCOMPARE(w.Text("PFAdjustDataEdit"), std::string("3"));
            QVERIFY(ui::PageReadingWindow::Current() == nullptr);
        });
        QVERIFY2(run.boxes.size() == 4, Boxes(run).c_str());
        QVERIFY2(Has(run.boxes[0], "The page was not read: ") && Has(run.boxes[0], "notes.txt"), run.boxes[0].c_str());
        QVERIFY2(Has(run.boxes[1], "The clipboard holds no page file"), run.boxes[1].c_str());
        QVERIFY2(Has(run.boxes[2], "fake.png") && run.boxes[2] == run.boxes[3], Boxes(run).c_str());
    }

    // The front panel's copy goes to the clipboard as a file URL; Ctrl+V on
    // the panel (here its action) reads it. A first dot page whose panel has
    // not been read yet reads the stored value first, through the panel's
    // own Read: the same packets as pressing Read.
    // "Scan a printed page" takes the page from the scanner SANE finds:
    // here SANE's file reader (the only backend enabled) serving a PF page
    // of the reader's corpus as a 200-dpi scan.
    void aScannedPageFillsThePanelAsAFileDoes() {
        if (!pr::ScanningAvailable()) QSKIP("built without SANE");
        std::string error;
        const std::optional<pr::Image> corpus = pr::LoadImage(SVC_READER_CORPUS "/pf-scan-200dpi.jpg", &error);
        QVERIFY2(corpus, error.c_str());
        const QString page = dir_.path() + QStringLiteral("/scanned.ppm");
        {
            QFile out(page);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(QStringLiteral("P6\n%1 %2\n255\n").arg(corpus->width).arg(corpus->height).toLatin1());
            out.write(reinterpret_cast<const char*>(corpus->rgb.data()), qint64(corpus->rgb.size()));
        }
        QFile conf(dir_.path() + QStringLiteral("/dll.conf"));
        QVERIFY(conf.open(QIODevice::WriteOnly) && conf.write("pnm\n") == 4);
        conf.close();
        qputenv("SANE_CONFIG_DIR", dir_.path().toLocal8Bit());
        qputenv("SVCADJUST_SCAN_OPTIONS", "resolution=200 filename=" + page.toLocal8Bit());
        const twin::Run scanned = twin::RunGui(twin::Setup{}, [](ui::TFormAdjust& w) {
            twin::Pick(w, Group::Adjustment, kPf);
            w.DisableTimerTimer();
            auto* scan = Panel(w, kPfPanel)->findChild<QAction*>(QStringLiteral("ScanPrintedPageAction"));
            QVERIFY(scan);
            QCOMPARE(scan->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+O")));
            scan->trigger();
            QTRY_VERIFY_WITH_TIMEOUT(ui::PageReadingWindow::Current() != nullptr, 60000);
            QCOMPARE(w.Text(kPfEdit), std::string("3"));
            QCOMPARE(ui::PageReadingWindow::Current()->windowTitle(), QStringLiteral("Printed page - (scanned)"));

            // A scanner that is not there: said so, the fields stay.
            qputenv("SVCADJUST_SCAN_OPTIONS", "filename=" + QByteArray("/nonexistent.ppm"));
            scan->trigger();
            QTRY_COMPARE_WITH_TIMEOUT(w.isEnabled(), true, 60000);
            QCOMPARE(w.Text(kPfEdit), std::string("3"));
        });
        qunsetenv("SANE_CONFIG_DIR");
        qunsetenv("SVCADJUST_SCAN_OPTIONS");
        QCOMPARE(scanned.boxes.size(), std::size_t(1));
        QVERIFY2(Has(scanned.boxes[0], "The page was not read: the scanner 'pnm:0' did not scan ("),
                 scanned.boxes[0].c_str());
        // Scanning and reading sent nothing to the printer.
        const twin::Run opened = twin::RunGui(twin::Setup{}, [](ui::TFormAdjust& w) {
            twin::Pick(w, Group::Adjustment, kPf);
            w.DisableTimerTimer();
        });
        QCOMPARE(twin::Describe(scanned.packets), twin::Describe(opened.packets));
    }

    void aPastedFirstDotPageReadsTheStoredValueFirst() {
        const QString folder = dir_.path() + QStringLiteral("/firstdot");
        QVERIFY(QDir().mkpath(folder));
        PagePrinter printer(folder);
        printer.options.deviations.firstDot = 20;
        printer.eeprom = {{0x68, 0xFA}};  // -6 stored
        const twin::Run read = twin::RunGui(printer.Setup(), [](ui::TFormAdjust& w) {
            twin::Pick(w, Group::Adjustment, kFirstDot);
            twin::Click(w, "LandMarginPrintBtn");
            twin::Click(w, "LandMarginCheckBtn");
        });
        const twin::Run pasted = twin::RunGui(printer.Setup(), [&](ui::TFormAdjust& w) {
            twin::Pick(w, Group::Adjustment, kFirstDot);
            twin::Click(w, "LandMarginPrintBtn");
            w.DisableTimerTimer();
            QGuiApplication::clipboard()->setMimeData(FileData(folder + QStringLiteral("/page-0002.png")));
            auto* paste =
                Panel(w, "LandMarginAdjustPnl")->findChild<QAction*>(QStringLiteral("PastePrintedPageAction"));
            QVERIFY(paste);
            paste->trigger();
            QTRY_VERIFY_WITH_TIMEOUT(ui::PageReadingWindow::Current() != nullptr, 60000);
            QCOMPARE(w.Text("LandMarginInputEdit"), std::string("-20"));
            QCOMPARE(w.Text("LandMarginInputRealValuePnl"), std::string("-0.1764 mm"));
            QCOMPARE(w.Position("LeftMarginGauge"), 37);
        });
        QVERIFY2(pasted.boxes.empty(), Boxes(pasted).c_str());
        QCOMPARE(twin::Describe(pasted.packets), twin::Describe(read.packets));
    }

    // The proposal in the fields, on a frame without widgets: only values the
    // fields take, each row's check box as typing sets it, nothing else touched.
    void theProposalGoesIntoTheFieldsItBelongsTo() {
        ValueFrame f;
        f.SetText("BidVSD2BkInputEdit", "9");
        pr::Reading bid;
        bid.kind = pr::Kind::Bid;
        bid.items = {{"VSD1Bk", 72, 0.9, {}, ""},
                     {"VSD2'CL", -4, 0.8, {}, ""},  // the setting as it is printed
                     {"VSD2Bk", std::nullopt, 0, {}, "the trials are smudged"},
                     {"VSD4CL", 73, 0.7, {}, ""},  // beyond what the field takes
                     {"VSD9Bk", 1, 0.7, {}, ""}};
        const ui::reading::Filled filled = ui::reading::FillProposal(f, bid);
        QCOMPARE(f.Text("BidVSD1BkInputEdit"), std::string("72"));
        QVERIFY(f.Checked("BidVSD1BkInputCheckBox"));
        QCOMPARE(f.Text("BidVSD2DCLInputEdit"), std::string("-4"));
        QCOMPARE(f.Text("BidVSD2BkInputEdit"), std::string("9"));
        QVERIFY(!f.Checked("BidVSD2BkInputCheckBox"));
        QCOMPARE(f.Text("BidVSD4CLInputEdit"), std::string());
        QCOMPARE(filled.filled, (std::vector<std::string>{"VSD1Bk", "VSD2'CL"}));
        QCOMPARE(filled.skipped.size(), std::size_t{3});
        QVERIFY(Has(filled.skipped[1].second, "outside -72 to 72"));

        pr::Reading pw;
        pw.kind = pr::Kind::Pw;
        pw.items = {{"Top", -16, 1, {}, ""}, {"Left", -9, 1, {}, ""}, {"PWSensorHMXUEdit", 3, 1, {}, ""}};
        QCOMPARE(ui::reading::FillProposal(f, pw).filled, std::vector<std::string>{"Top"});
        QCOMPARE(f.Text("PWSensorHMYUEdit"), std::string("-16"));
        QVERIFY(f.Checked("PWSensorHMYUCheckBox"));
        QCOMPARE(f.Text("PWSensorHMXUEdit"), std::string());

        pr::Reading cut;
        cut.kind = pr::Kind::Cut;
        cut.items = {{"", 17, 1, {}, ""}};
        ui::reading::FillProposal(f, cut);
        QCOMPARE(f.ItemIndex("CutPosAdjustInputComboBox"), 16);
        cut.items = {{"", 0, 1, {}, ""}};
        QCOMPARE(ui::reading::FillProposal(f, cut).skipped.size(), std::size_t{1});
        QCOMPARE(f.ItemIndex("CutPosAdjustInputComboBox"), 16);

        pr::Reading angle;  // turned by hand: nothing to type, nothing to complain of
        angle.kind = pr::Kind::HeadAngular;
        angle.items = {{"", 3, 1, {}, ""}};
        const ui::reading::Filled none = ui::reading::FillProposal(f, angle);
        QVERIFY(none.filled.empty() && none.skipped.empty());
    }

    // The stored values a page is read against: the fields, or while they
    // still show the last proposal, what that proposal was read against.
    void aProposalDoesNotStandForTheStoredValue() {
        ValueFrame f;
        f.SetText("LandMarginInputEdit", "-6");
        ui::reading::StoredValues stored;
        const pr::Context first = stored.ContextFor(f, pr::Kind::FirstDot, 1);
        QCOMPARE(first.stored, (std::vector<std::pair<std::string, int>>{{"", -6}}));
        pr::Reading page;
        page.kind = pr::Kind::FirstDot;
        page.items = {{"", -20, 1, {}, ""}};
        stored.Remember(f, pr::Kind::FirstDot, first, ui::reading::FillProposal(f, page));
        QCOMPARE(f.Text("LandMarginInputEdit"), std::string("-20"));
        QCOMPARE(stored.ContextFor(f, pr::Kind::FirstDot, 2).stored, first.stored);
        QCOMPARE(stored.ContextFor(f, pr::Kind::FirstDot, 2).model, 2);
        f.SetText("LandMarginInputEdit", "-19");  // moved by the technician: the field speaks
        QCOMPARE(stored.ContextFor(f, pr::Kind::FirstDot, 1).stored.front().second, -19);
        f.SetText("LandMarginInputEdit", "-20");
        stored.Forget();  // read or written since
        QCOMPARE(stored.ContextFor(f, pr::Kind::FirstDot, 1).stored.front().second, -20);

        f.SetChecked("BidVSD1PrnRequestCheckBox", true);
        f.SetChecked("BidVSD4PrnRequestCheckBox", true);
        QCOMPARE(stored.ContextFor(f, pr::Kind::Bid, 1).bidSettings, (std::vector<std::string>{"VSD1", "VSD4"}));
    }

    // The window: an outline and a label for every place measured, the
    // unread items listed with their reason, named controls, one window.
    void theWindowMarksEveryItem() {
        QWidget owner;
        ui::PageReadingWindow::Shown shown;
        shown.file = QStringLiteral("/tmp/page-0001.png");
        shown.page = QImage(4000, 2000, QImage::Format_RGB888);
        shown.page.fill(Qt::white);
        shown.reading.kind = pr::Kind::Pw;
        shown.reading.items = {{"Top", 2, 0.95, {{100, 100, 50, 20}}, ""},
                               {"Bottom", -3, 0.4, {{100, 1800, 50, 20}, {3000, 1800, 50, 20}}, ""},
                               {"Left", std::nullopt, 0, {{10, 900, 20, 40}}, "no line found"},
                               {"Right", std::nullopt, 0, {}, "the edge is off the page"}};
        shown.filled = {"Top", "Bottom"};
        ui::PageReadingWindow* w = ui::PageReadingWindow::Show(&owner, shown);
        QCOMPARE(w->MarkCount(), 4);
        // Shown the first time, the page fills the view across (its longer side here).
        auto* view = w->findChild<QGraphicsView*>(QStringLiteral("PageReadingView"));
        QTRY_VERIFY(view->viewport()->width() > 200);
        const QRect page = view->mapFromScene(view->sceneRect()).boundingRect();
        QVERIFY2(std::abs(page.width() - view->viewport()->width()) <= 2,
                 qPrintable(QStringLiteral("%1 of %2").arg(page.width()).arg(view->viewport()->width())));
        QCOMPARE(w->MarkLabels(), (QStringList{"Top 2 (95 %)", "Bottom -3 (40 %)", "Left ?"}));
        auto* list = w->findChild<QListWidget*>(QStringLiteral("PageReadingItemsList"));
        QCOMPARE(list->count(), 4);
        QVERIFY(list->item(3)->text().contains(QStringLiteral("the edge is off the page")));
        for (QWidget* control : w->findChildren<QWidget*>())
            if (control->focusPolicy() != Qt::NoFocus && control->isVisibleTo(w))
                QVERIFY2(!control->accessibleName().isEmpty(),
                         qPrintable(control->objectName() + QLatin1Char(' ') + control->metaObject()->className()));
        w->SetZoom(4);
        QCOMPARE(w->Zoom(), 4.0);
        w->SetZoom(100);
        QCOMPARE(w->Zoom(), 16.0);

        // A second page replaces the first in the same window.
        shown.reading.items.resize(1);
        QCOMPARE(ui::PageReadingWindow::Show(&owner, shown), w);
        QCOMPARE(w->MarkCount(), 1);
    }

    // What counts as a page file on the clipboard or in a drop.
    void pageFilesAreLocalFilesNamedAsImages() {
        QMimeData url;
        url.setUrls({QUrl(QStringLiteral("https://example.org/page.png")), QUrl::fromLocalFile("/tmp/a.PNG")});
        QCOMPARE(ui::LocalFileOf(url), QStringLiteral("/tmp/a.PNG"));
        QMimeData path;
        path.setText(QStringLiteral("  /tmp/page-0001.png\n"));
        QCOMPARE(ui::LocalFileOf(path), QStringLiteral("/tmp/page-0001.png"));
        path.setText(QStringLiteral("file:///tmp/x%20y.tiff"));
        QCOMPARE(ui::LocalFileOf(path), QStringLiteral("/tmp/x y.tiff"));
        path.setText(QStringLiteral("VSD1Bk=5"));
        QCOMPARE(ui::LocalFileOf(path), QString());
        path.setText(QStringLiteral("/tmp/a.png\n/tmp/b.png"));
        QCOMPARE(ui::LocalFileOf(path), QString());
        QVERIFY(ui::HasImageSuffix(QStringLiteral("a.JPEG")) && ui::HasImageSuffix(QStringLiteral("b.pnm")));
        QVERIFY(!ui::HasImageSuffix(QStringLiteral("a.txt")) && !ui::HasImageSuffix(QStringLiteral("png")));
    }
};

QTEST_MAIN(PageReadingTest)
#include "PageReading_test.moc"
