// Pages of any size on the panel: a 1440-dpi A3+ sheet shows as a preview
// and at full size under the pointer; a page that cannot be read says why,
// once; a page still being written is waited for.
#include <QDir>
#include <QFile>
#include <QClipboard>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <spng.h>
#include <sys/resource.h>

#include "vprinter/engine/PngStream.h"
#include "vprinter/panel/PageReader.h"
#include "vprinter/panel/PageView.h"
#include "vprinter/panel/PanelWindow.h"

using vp::panel::PageView;
using vp::panel::PanelWindow;

namespace {

// An A3+ sheet (329 x 483 mm) at 1440 dpi. A sanitizer build, which reads
// it ten times slower, takes it at 720 dpi: still four times what Qt reads
// whole.
#if defined(SVC_UNDER_SANITIZERS)
constexpr int kScale = 2;
#else
constexpr int kScale = 1;
#endif
constexpr int kWidth = 18650 / kScale, kHeight = 27370 / kScale;
// Where the fine stripes are: one-pixel columns, red on even x, blue on odd.
// (High on the sheet: a region is read from the top of the file down to it.)
const QRect kStripes(15000 / kScale, 6000 / kScale, 200, 200);
// A black band across the top half of the left side, seen in the preview.
const QRect kBand(0, 1000 / kScale, kWidth / 2, 3000 / kScale);
const QRgb kRed = qRgb(255, 0, 0), kBlue = qRgb(0, 0, 255);

// Written row by row, as the printer writes its pages: a few rows held, never the image.
bool WriteBigPage(const QString& path) {
    vp::PngStream png;
    std::string error;
    const std::vector<vp::PngStream::Colour> palette{{255, 255, 255}, {0, 0, 0}, {255, 0, 0}, {0, 0, 255}};
    if (!png.OpenIndexed(path.toStdString(), kWidth, kHeight, palette, &error)) {
        qWarning("%s", error.c_str());
        return false;
    }
    std::vector<std::uint8_t> row(kWidth);
    int kind = -1;  // the kind of the last row given: the same again is repeated
    for (int y = 0; y < kHeight; ++y) {
        const bool band = y >= kBand.top() && y <= kBand.bottom();
        const bool stripes = y >= kStripes.top() && y <= kStripes.bottom();
        const int now = band ? 1 : stripes ? 2 : 0;
        if (now == kind) {
            png.RepeatIndexRow();
            continue;
        }
        kind = now;
        std::fill(row.begin(), row.end(), 0);
        if (band) std::fill(row.begin(), row.begin() + kBand.width(), 1);
        if (stripes)
            for (int x = kStripes.left(); x <= kStripes.right(); ++x)
                row[static_cast<std::size_t>(x)] = x % 2 == 0 ? 2 : 3;
        png.IndexRow(row.data());
    }
    if (!png.Close(&error)) {
        qWarning("%s", error.c_str());
        return false;
    }
    return true;
}

// A small page written whole (for the truncated-file cases).
QByteArray SmallPage(const QString& dir) {
    const QString path = dir + QStringLiteral("/small.png");
    QImage image(300, 400, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int y = 100; y < 200; ++y)
        for (int x = 50; x < 250; ++x) image.setPixel(x, y, kBlue);
    image.save(path);
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// A small interlaced RGB file: its pixels come in seven passes.
bool WriteInterlaced(const QString& path, const QImage& image) {
    std::vector<std::uint8_t> rgb;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            rgb.insert(rgb.end(), {std::uint8_t(qRed(p)), std::uint8_t(qGreen(p)), std::uint8_t(qBlue(p))});
        }
    spng_ctx* ctx = spng_ctx_new(SPNG_CTX_ENCODER);
    spng_ihdr ihdr{};
    ihdr.width = std::uint32_t(image.width());
    ihdr.height = std::uint32_t(image.height());
    ihdr.bit_depth = 8;
    ihdr.color_type = SPNG_COLOR_TYPE_TRUECOLOR;
    ihdr.interlace_method = SPNG_INTERLACE_ADAM7;
    int r = spng_set_option(ctx, SPNG_ENCODE_TO_BUFFER, 1);
    if (r == 0) r = spng_set_ihdr(ctx, &ihdr);
    if (r == 0) r = spng_encode_image(ctx, rgb.data(), rgb.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE);
    std::size_t size = 0;
    void* png = r == 0 ? spng_get_png_buffer(ctx, &size, &r) : nullptr;
    spng_ctx_free(ctx);
    if (!png) {
        qWarning("spng: %s", spng_strerror(r));
        return false;
    }
    const bool written = Write(path, QByteArray(static_cast<const char*>(png), qsizetype(size)));
    std::free(png);
    return written;
}

int g_panelWarnings = 0;
QtMessageHandler g_previous = nullptr;
void CountWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg && message.startsWith(QLatin1String("vprinter-panel: cannot show"))) ++g_panelWarnings;
    g_previous(type, context, message);
}

// The view point over a page point in the view's overview.
QPoint ViewPointOver(const PageView& view, QPoint page) {
    QPoint at;
    for (int x = 0; x < view.width(); ++x)
        if (view.PageAt(QPoint(x, view.height() / 2)).x() >= page.x()) {
            at.setX(x);
            break;
        }
    for (int y = 0; y < view.height(); ++y)
        if (view.PageAt(QPoint(view.width() / 2, y)).y() >= page.y()) {
            at.setY(y);
            break;
        }
    return at;
}

}  // namespace

class PageViewTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString bigPage_;

    QString Label(PanelWindow& w) { return w.findChild<QLabel*>(QStringLiteral("pageLbl"))->text(); }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        bigPage_ = dir_.path() + QStringLiteral("/page-0007.png");
        QVERIFY(WriteBigPage(bigPage_));
        g_previous = qInstallMessageHandler(CountWarnings);
    }
    void init() { g_panelWarnings = 0; }

    void AHugePageShowsAndZoomsToItsOwnPixels() {
        PanelWindow w;
        w.show();
        w.ShowPage(bigPage_, QStringLiteral("7"));
        // Read on a worker thread: the window goes on at once.
        QVERIFY(Label(w).startsWith(QStringLiteral("Reading page")));
        // (Generous: a sanitizer build reads it ten times slower.)
        QTRY_COMPARE_WITH_TIMEOUT(Label(w), QStringLiteral("Page 7: page-0007.png (%1 x %2)").arg(kWidth).arg(kHeight),
                                  300000);
        QCOMPARE(w.PageSize(), QSize(kWidth, kHeight));
        const QImage& preview = w.PagePreview();
        QCOMPARE(preview.height(), PanelWindow::kPreviewSide);
        QVERIFY(qAbs(preview.width() - kWidth * PanelWindow::kPreviewSide / kHeight) <= 1);
        const double s = double(preview.height()) / kHeight;
        QCOMPARE(preview.pixel(int(kBand.center().x() * s), int(kBand.center().y() * s)), qRgb(0, 0, 0));
        QCOMPARE(preview.pixel(int(kBand.right() * s) + 3, int(kBand.center().y() * s)), qRgb(255, 255, 255));
        // The stripes average to purple there (a preview pixel covers an odd
        // number of columns at times, one more red than blue or the other way).
        const QColor mixed = preview.pixelColor(int(kStripes.center().x() * s), int(kStripes.center().y() * s));
        QVERIFY2(qAbs(mixed.red() - 128) < 20 && mixed.green() == 0 && qAbs(mixed.blue() - 128) < 20,
                 qPrintable(mixed.name()));
        QVERIFY(!w.findChild<QLabel*>(QStringLiteral("pageThumb"))->pixmap().isNull());

        w.ShowFullPage();
        PageView* view = w.LargePage();
        QVERIFY(view && view->isVisible());
        QCOMPARE(view->PageSize(), QSize(kWidth, kHeight));
        QVERIFY(!view->Zoomed());
        const QPoint target = kStripes.center();
        const QPoint pointer = ViewPointOver(*view, target);
        QVERIFY(!pointer.isNull());
        const QPoint under = view->PageAt(pointer);
        QVERIFY2((under - target).manhattanLength() < 80,
                 qPrintable(QStringLiteral("%1,%2").arg(under.x()).arg(under.y())));

        QSignalSpy ready(view, &PageView::zoomReady);
        QTest::mouseClick(view, Qt::LeftButton, {}, pointer);
        QVERIFY(view->Zoomed());
        QVERIFY(ready.wait(300000));
        // The same page point stays under the pointer, at full size: what is
        // on screen there is the file's own pixel, and so is its neighbour.
        QCOMPARE(view->PageAt(pointer), under);
        QVERIFY(view->ZoomRegion().contains(under));
        QVERIFY(view->ZoomRegion().width() < 4000 && view->ZoomRegion().height() < 4000);  // a region, not the page
        const QImage shown = view->grab().toImage();
        const QRgb here = under.x() % 2 == 0 ? kRed : kBlue, next = under.x() % 2 == 0 ? kBlue : kRed;
        QCOMPARE(shown.pixel(pointer) & 0xFFFFFF, here & 0xFFFFFF);
        QCOMPARE(shown.pixel(pointer + QPoint(1, 0)) & 0xFFFFFF, next & 0xFFFFFF);
        QCOMPARE(shown.pixel(pointer + QPoint(2, 0)) & 0xFFFFFF, here & 0xFFFFFF);
        // Left of the stripes: white paper.
        const int leftOfStripes = pointer.x() - (under.x() - kStripes.left()) - 1;
        if (leftOfStripes >= 0) QCOMPARE(shown.pixel(leftOfStripes, pointer.y()) & 0xFFFFFF, 0xFFFFFFu);

        // Dragged by 100 pixels: the page moves with the pointer, read again where needed.
        QTest::mousePress(view, Qt::LeftButton, {}, pointer);
        QMouseEvent move(QEvent::MouseMove, QPointF(pointer - QPoint(100, 0)),
                         view->mapToGlobal(QPointF(pointer - QPoint(100, 0))), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(view, &move);
        QTest::mouseRelease(view, Qt::LeftButton, {}, pointer - QPoint(100, 0));
        QCOMPARE(view->PageAt(pointer - QPoint(100, 0)), under);

        QWheelEvent wheel(QPointF(pointer), view->mapToGlobal(QPointF(pointer)), QPoint(), QPoint(0, -120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view, &wheel);
        QVERIFY(!view->Zoomed());

#if !defined(SVC_UNDER_SANITIZERS) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
        // The half a billion pixels were never held: the process stayed small.
        rusage usage{};
        ::getrusage(RUSAGE_SELF, &usage);
        QVERIFY2(usage.ru_maxrss < 400 * 1024, qPrintable(QStringLiteral("%1 KB").arg(usage.ru_maxrss)));
#endif
    }

    void AnUnreadablePageSaysWhyOnce() {
        PanelWindow w;
        const QString path = dir_.path() + QStringLiteral("/page-0009.png");
        QVERIFY(Write(path, QByteArray("this is no picture\n").repeated(20)));
        w.ShowPage(path, QStringLiteral("9"));
        QTRY_VERIFY_WITH_TIMEOUT(Label(w).contains(QStringLiteral("cannot show")), 10000);
        QVERIFY(Label(w).contains(path));
        QVERIFY2(Label(w).contains(QStringLiteral("not a readable PNG image")), qPrintable(Label(w)));
        // The printer keeps naming it at every poll: no second message.
        for (int i = 0; i < 5; ++i) {
            w.ShowPage(path, QStringLiteral("9"));
            QTest::qWait(50);
        }
        QCOMPARE(g_panelWarnings, 1);
        QVERIFY(w.PagePreview().isNull());

        // Cut short and never finished: tried a bounded number of times, then one message.
        const QString cut = dir_.path() + QStringLiteral("/page-0010.png");
        const QByteArray whole = SmallPage(dir_.path());
        QVERIFY(whole.size() > 100);
        QVERIFY(Write(cut, whole.left(whole.size() / 2)));
        w.ShowPage(cut, QStringLiteral("10"));
        QTest::qWait(PanelWindow::kPageRetryMs * 2);
        QVERIFY(Label(w).startsWith(QStringLiteral("Reading page")));  // quietly, while it may still be written
        QTRY_VERIFY_WITH_TIMEOUT(Label(w).contains(QStringLiteral("the file ends early")),
                                 PanelWindow::kPageAttempts * PanelWindow::kPageRetryMs + 10000);
        QCOMPARE(g_panelWarnings, 2);

        // A missing page is a reason too.
        w.ShowPage(dir_.path() + QStringLiteral("/gone.png"), QStringLiteral("11"));
        QTRY_VERIFY_WITH_TIMEOUT(Label(w).contains(QStringLiteral("No such file")),
                                 PanelWindow::kPageAttempts * PanelWindow::kPageRetryMs + 10000);
        QCOMPARE(g_panelWarnings, 3);
    }

    void APageStillBeingWrittenShowsWhenItIsDone() {
        PanelWindow w;
        const QString path = dir_.path() + QStringLiteral("/page-0012.png");
        const QByteArray whole = SmallPage(dir_.path());
        QVERIFY(Write(path, whole.left(40)));
        w.ShowPage(path, QStringLiteral("12"));
        QTest::qWait(PanelWindow::kPageRetryMs);
        QVERIFY(Write(path, whole));
        QTRY_COMPARE_WITH_TIMEOUT(Label(w), QStringLiteral("Page 12: page-0012.png (300 x 400)"), 10000);
        QCOMPARE(g_panelWarnings, 0);
        QCOMPARE(w.PagePreview().size(), QSize(300, 400));  // small enough: the page itself
        QCOMPARE(w.PagePreview().pixel(100, 150), kBlue);
    }

    // The page shown goes to the program's panels in one step: the copy
    // button puts its file on the clipboard as a file URL and its path, the
    // thumbnail drags the same; neither before a page is shown.
    void ThePageShownIsHandedOnAsItsFile() {
        PanelWindow w;
        auto* copy = w.findChild<QPushButton*>(QStringLiteral("copyPageBtn"));
        QVERIFY(copy);
        QVERIFY(!copy->isEnabledTo(copy->parentWidget()));  // (the whole panel waits for its printer too)
        QVERIFY(!w.CopyPage());

        // The printer may name its pages relative to where it runs.
        struct Back {
            QString was = QDir::currentPath();
            ~Back() { QDir::setCurrent(was); }
        } back;
        QDir::setCurrent(dir_.path());
        const QString path = dir_.path() + QStringLiteral("/page-0013.png");
        QVERIFY(Write(path, SmallPage(dir_.path())));
        w.ShowPage(QStringLiteral("page-0013.png"), QStringLiteral("13"));
        QTRY_VERIFY2_WITH_TIMEOUT(!w.PagePreview().isNull(), qPrintable(Label(w)), 10000);
        QVERIFY(copy->isEnabledTo(copy->parentWidget()));
        QGuiApplication::clipboard()->clear();
        QVERIFY(w.CopyPage());
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        QVERIFY(data && data->hasUrls());
        QCOMPARE(data->urls().size(), 1);
        QCOMPARE(data->urls().front(), QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
        QCOMPARE(data->text(), QFileInfo(path).absoluteFilePath());

        std::unique_ptr<QMimeData> dragged(vp::panel::PageMimeData(QStringLiteral("page-0013.png")));
        QCOMPARE(dragged->urls(), data->urls());
        QVERIFY(dragged->formats().contains(QStringLiteral("text/uri-list")));
    }

    void RegionsAreCutFromTheFileExactly() {
        std::atomic_bool cancel{false};
        const auto region =
            vp::panel::ReadPageRegion(bigPage_, QRect(kStripes.left() - 2, kStripes.top() - 1, 6, 3), cancel);
        QVERIFY2(!region.image.isNull(), qPrintable(region.error));
        QCOMPARE(region.image.size(), QSize(6, 3));
        QCOMPARE(region.image.pixel(0, 0), qRgb(255, 255, 255));  // the row above the stripes
        QCOMPARE(region.image.pixel(1, 1), qRgb(255, 255, 255));  // left of them
        QCOMPARE(region.image.pixel(2, 1), kRed);
        QCOMPARE(region.image.pixel(3, 1), kBlue);
        // A region over the edge is cut to the page; one beyond it is refused.
        QCOMPARE(vp::panel::ReadPageRegion(bigPage_, QRect(kWidth - 5, -45, 50, 50), cancel).image.size(), QSize(5, 5));
        QVERIFY(!vp::panel::ReadPageRegion(bigPage_, QRect(kWidth, 0, 5, 5), cancel).error.isEmpty());
        cancel = true;
        QVERIFY(vp::panel::ReadScaledPage(bigPage_, QSize(100, 100), cancel).cancelled);
    }

    void APageTooWideIsRefusedWithItsSize() {
        const QString path = dir_.path() + QStringLiteral("/wide.png");
        vp::PngStream png;
        std::string error;
        QVERIFY(png.OpenIndexed(path.toStdString(), vp::panel::kMaxPageWidth + 1, 1, {{255, 255, 255}}, &error));
        png.IndexRow(std::vector<std::uint8_t>(vp::panel::kMaxPageWidth + 1, 0).data());
        QVERIFY2(png.Close(&error), error.c_str());
        std::atomic_bool cancel{false};
        const auto read = vp::panel::ReadScaledPage(path, QSize(100, 100), cancel);
        QVERIFY(read.image.isNull());
        QVERIFY(!read.unfinished);  // not worth waiting for
        QCOMPARE(read.pageSize, QSize(vp::panel::kMaxPageWidth + 1, 1));
        QVERIFY2(read.error.contains(QStringLiteral("200001 pixels wide")), qPrintable(read.error));
    }

    void PaletteFilesOfEveryDepthReadAlike() {
        std::atomic_bool cancel{false};
        for (const int colours : {2, 3, 16, 200}) {
            std::vector<vp::PngStream::Colour> palette;
            for (int i = 0; i < colours; ++i)
                palette.push_back({std::uint8_t(i * 37), std::uint8_t(255 - i), std::uint8_t((i * 91) % 256)});
            const QString path = dir_.path() + QStringLiteral("/palette-%1.png").arg(colours);
            vp::PngStream png;
            std::string error;
            QVERIFY(png.OpenIndexed(path.toStdString(), 29, 7, palette, &error));
            std::vector<std::uint8_t> row(29);
            for (int y = 0; y < 7; ++y) {
                for (int x = 0; x < 29; ++x) row[std::size_t(x)] = std::uint8_t((x * 5 + y * 3) % colours);
                png.IndexRow(row.data());
            }
            QVERIFY2(png.Close(&error), error.c_str());
            const auto read = vp::panel::ReadScaledPage(path, QSize(100, 100), cancel);
            QVERIFY2(!read.image.isNull(), qPrintable(read.error));
            QCOMPARE(read.image, QImage(path).convertToFormat(QImage::Format_RGB32));
            QCOMPARE(vp::panel::ReadPageRegion(path, QRect(27, 1, 5, 5), cancel).image,
                     QImage(path).convertToFormat(QImage::Format_RGB32).copy(27, 1, 2, 5));
        }
    }

    void InterlacedFilesReadAlike() {
        QImage image(37, 23, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) image.setPixel(x, y, qRgb(x * 6, y * 10, (x * y) % 256));
        const QString path = dir_.path() + QStringLiteral("/interlaced.png");
        QVERIFY(WriteInterlaced(path, image));
        std::atomic_bool cancel{false};
        const auto whole = vp::panel::ReadScaledPage(path, QSize(100, 100), cancel);
        QVERIFY2(!whole.image.isNull(), qPrintable(whole.error));
        QCOMPARE(whole.image, image);
        const auto region = vp::panel::ReadPageRegion(path, QRect(5, 3, 11, 9), cancel);
        QCOMPARE(region.image, image.copy(5, 3, 11, 9));
        // Halved: each pixel the mean of its 2 x 2 (the last column and row alone).
        const auto half = vp::panel::ReadScaledPage(path, QSize(19, 12), cancel);
        QCOMPARE(half.image.size(), QSize(19, 12));
        const auto mean = [&](int x, int y, auto channel) {
            return (channel(image.pixel(x, y)) + channel(image.pixel(x + 1, y)) + channel(image.pixel(x, y + 1)) +
                    channel(image.pixel(x + 1, y + 1)) + 2) /
                   4;
        };
        QCOMPARE(qRed(half.image.pixel(3, 4)), mean(6, 8, [](QRgb p) { return qRed(p); }));
        QCOMPARE(qBlue(half.image.pixel(3, 4)), mean(6, 8, [](QRgb p) { return qBlue(p); }));
    }
};

QTEST_MAIN(PageViewTest)
#include "PageView_test.moc"
