#include "ui/PageReading.h"

#include "link/Host.h"
#include "pagereader/Image.h"
#include "pagereader/PageReader.h"
#include "pagereader/Scanner.h"
#include "ui/Accessibility.h"
#include "ui/FeaturePanel.h"
#include "ui/PageReadingFill.h"
#include "ui/PageReadingWindow.h"
#include "ui/Translated.h"
#include "ui/VexFormAdjust.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QThread>
#include <QUrl>

#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace svc::ui {

using pagereader::Kind;

namespace {

// The buttons after which the fields show the printer's values again.
struct Buttons {
    Kind kind;
    const char* input;
    const char* read;
};
constexpr Buttons kButtons[] = {
    {Kind::Bid, "BidInputOKBtn", "BidInputCheckBtn"},
    {Kind::Pf, "PFAdjustInputBtn", "PFAdjustCheckBtn"},
    {Kind::Pw, "PWSensorInputBtn", "PWSensorCheckBtn"},
    {Kind::PixelShift, "ColorShiftInputOKBtn", "ColorShiftReadBtn"},
    {Kind::FirstDot, "LandMarginInputBtn", "LandMarginCheckBtn"},
    {Kind::Cut, "CutPosAdjustInputBtn", nullptr},
};

void Tell(const QString& text) {
    host().MessageBox(BoxOwner::MainWindow, text.toStdString(), "Error", BoxIcon::Error, BoxButtons::Ok);
}

// What the worker hands back: the reading and the page, already small enough to show.
struct Outcome {
    std::string loadError;
    pagereader::Reading reading;
    QImage shown;
    QSize pageSize;
};

// Where a page comes from: a file, or the scanner. Runs on the worker.
using Acquire = std::function<std::optional<pagereader::Image>(std::string* error)>;

Outcome AcquireAndRead(const Acquire& acquire, Kind kind, const pagereader::Context& context) {
    Outcome out;
    std::optional<pagereader::Image> image = acquire(&out.loadError);
    if (!image || image->Null()) {
        if (out.loadError.empty()) out.loadError = svc::Tr("it holds no picture");
        return out;
    }
    out.reading = pagereader::Read(kind, *image, context);
    out.pageSize = QSize(image->width, image->height);
    const QImage wrapped(image->rgb.data(), image->width, image->height, image->width * 3, QImage::Format_RGB888);
    const int side = std::max(image->width, image->height);
    out.shown = side > PageReadingWindow::kShownSide
                    ? wrapped.scaled(wrapped.size() * (double(PageReadingWindow::kShownSide) / side),
                                     Qt::KeepAspectRatio, Qt::SmoothTransformation)
                    : wrapped.copy();
    return out;
}

// One panel's page handling: its drops, its paste and open actions, and the
// stored values its pages are read against.
class PanelPages : public QObject {
public:
    PanelPages(TFormAdjust& window, FeaturePanel& panel, Kind kind)
        : QObject(&panel), window_(window), panel_(panel), kind_(kind) {
        setObjectName(QStringLiteral("PageReading"));
        panel.setAcceptDrops(true);
        panel.installEventFilter(this);
        for (QLineEdit* edit : panel.findChildren<QLineEdit*>()) edit->installEventFilter(this);

        auto* open = new QAction(Tr("Read a printed page..."), &panel);
        open->setObjectName(QStringLiteral("ReadPrintedPageAction"));
        open->setShortcut(QKeySequence::Open);
        open->setShortcutContext(Qt::WindowShortcut);  // only while the panel is shown
        connect(open, &QAction::triggered, this, [this] { OpenFile(); });
        auto* paste = new QAction(Tr("Paste a printed page"), &panel);
        paste->setObjectName(QStringLiteral("PastePrintedPageAction"));
        paste->setShortcut(QKeySequence::Paste);
        paste->setShortcutContext(Qt::WindowShortcut);
        connect(paste, &QAction::triggered, this, [this] { Paste(); });
        panel.addAction(open);
        panel.addAction(paste);
        if (pagereader::ScanningAvailable()) {
            auto* scan = new QAction(Tr("Scan a printed page"), &panel);
            scan->setObjectName(QStringLiteral("ScanPrintedPageAction"));
            scan->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
            scan->setShortcutContext(Qt::WindowShortcut);
            connect(scan, &QAction::triggered, this, [this] { Scan(); });
            panel.addAction(scan);
        }
        panel.setContextMenuPolicy(Qt::ActionsContextMenu);

        // After the panel's Read or Input its fields show what the printer holds.
        for (const Buttons& b : kButtons)
            if (b.kind == kind)
                for (const char* name : {b.input, b.read})
                    if (name)
                        if (auto* button = panel.findChild<QPushButton*>(QString::fromLatin1(name))) {
                            connect(button, &QPushButton::clicked, this, [this] {
                                stored_.Forget();
                                fieldsHoldStored_ = true;
                            });
                            if (name == b.read) readButton_ = button;
                        }
    }

    bool Read(const QString& path) {
        if (busy_ || !window_.isEnabled()) return false;  // an operation is running: its fields are its own
        const QFileInfo info(path);
        if (!info.isFile()) {
            Tell(Tr("%1 is not a file that can be read as a page.").arg(QDir::toNativeSeparators(path)));
            return false;
        }
        const std::string file = info.absoluteFilePath().toStdString();
        busy_ = true;
        const bool ok =
            ReadNow(info.absoluteFilePath(), [file](std::string* error) { return pagereader::LoadImage(file, error); });
        busy_ = false;
        return ok;
    }

    // Scans the page with the first scanner SANE finds (the scanner's own
    // options from SVCADJUST_SCAN_OPTIONS, as read-page takes them).
    bool Scan() {
        if (busy_ || !window_.isEnabled()) return false;
        pagereader::ScanRequest request;
        std::string error;
        if (const char* text = std::getenv("SVCADJUST_SCAN_OPTIONS");
            text && !pagereader::ParseScanOptions(text, &request.options, &error)) {
            Tell(Tr("The page was not scanned: %1")
                     .arg(QStringLiteral("SVCADJUST_SCAN_OPTIONS: ") + QString::fromStdString(error)));
            return false;
        }
        busy_ = true;
        const bool ok =
            ReadNow(Tr("(scanned)"), [request](std::string* why) { return pagereader::ScanPage(request, why); });
        busy_ = false;
        return ok;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched == &panel_) {
            // Picked again: the fields speak for themselves. The Bi-D input
            // page reads the printer's values each time it is opened; the
            // other panels show them after their Read.
            stored_.Forget();
            fieldsHoldStored_ = kind_ == Kind::Bid;
        }
        if (!window_.isEnabled()) return false;
        switch (event->type()) {
            case QEvent::DragEnter:
            case QEvent::DragMove: {
                auto* drag = static_cast<QDropEvent*>(event);
                const QString file = drag->mimeData() ? LocalFileOf(*drag->mimeData()) : QString();
                if (file.isEmpty() || !HasImageSuffix(file)) return false;  // a field takes its text as ever
                drag->acceptProposedAction();
                return true;
            }
            case QEvent::Drop: {
                auto* drop = static_cast<QDropEvent*>(event);
                const QString file = drop->mimeData() ? LocalFileOf(*drop->mimeData()) : QString();
                if (file.isEmpty()) return false;
                drop->acceptProposedAction();
                // Read once the drop is over: the place the page came from is not kept waiting.
                QMetaObject::invokeMethod(
                    this, [this, file] { Read(file); }, Qt::QueuedConnection);
                return true;
            }
            case QEvent::ShortcutOverride:
            case QEvent::KeyPress:
                // In a field, Ctrl+V of a page file reads the page instead of
                // pasting its name into the field.
                if (watched != &panel_ && static_cast<QKeyEvent*>(event)->matches(QKeySequence::Paste) &&
                    ClipboardFile().size() > 0) {
                    if (event->type() == QEvent::KeyPress)
                        Paste();
                    else
                        event->ignore();
                    return true;
                }
                return false;
            default:
                return false;
        }
    }

private:
    static QString ClipboardFile() {
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        return data ? LocalFileOf(*data) : QString();
    }

    void OpenFile() {
        static QString folder = QDir::homePath();
        const QString file = QFileDialog::getOpenFileName(
            &window_, Tr("Read a printed page"), folder,
            Tr("Page images (*.png *.jpg *.jpeg *.tif *.tiff *.pnm *.ppm *.pgm *.pbm);;All files (*)"));
        if (file.isEmpty()) return;
        folder = QFileInfo(file).absolutePath();
        Read(file);
    }

    void Paste() {
        const QString file = ClipboardFile();
        if (file.isEmpty()) {
            Tell(
                Tr("The clipboard holds no page file. Copy the page's file (or its path) first, then paste it "
                   "here."));
            return;
        }
        Read(file);
    }

    // `source` names the page in the marked-page window.
    bool ReadNow(const QString& source, const Acquire& acquire) {
        // A page read against stored values the fields do not show yet:
        // read them first, through the panel's own Read (reads only).
        if (reading::NeedsStoredValues(kind_) && !fieldsHoldStored_ && readButton_) {
            readButton_->click();
            const std::map<std::string, int> shown = reading::FieldValues(window_, kind_);
            if (shown.size() != reading::ItemNames(kind_).size()) {
                Tell(
                    Tr("The page was not read: the values stored in the printer, which the page is read "
                       "against, could not be read."));
                return false;
            }
        }
        const pagereader::Context context = stored_.ContextFor(window_, kind_, window_.ModelCode());

        // The page is read off the GUI thread; the window keeps painting and
        // takes no other work meanwhile.
        std::shared_ptr<Outcome> outcome = std::make_shared<Outcome>();
        const Kind kind = kind_;
        QEventLoop loop;
        QThread* worker =
            QThread::create([outcome, acquire, kind, context] { *outcome = AcquireAndRead(acquire, kind, context); });
        connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
        const bool wasEnabled = window_.isEnabled();
        window_.setEnabled(false);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        worker->start();
        loop.exec();
        worker->wait();
        delete worker;
        QApplication::restoreOverrideCursor();
        window_.setEnabled(wasEnabled);

        if (!outcome->loadError.empty()) {
            Tell(Tr("The page was not read: %1").arg(QString::fromStdString(outcome->loadError)));
            return false;
        }
        const pagereader::Reading& reading = outcome->reading;
        reading::Filled filled;
        if (reading.problem.empty()) {
            filled = reading::FillProposal(window_, reading);
            stored_.Remember(window_, kind_, context, filled);
        }

        PageReadingWindow::Shown shown;
        shown.file = source;
        shown.adjustment = AdjustmentName(kind_);
        shown.page = outcome->shown;
        shown.pageSize = outcome->pageSize;
        shown.reading = reading;
        shown.filled = filled.filled;
        shown.skipped = filled.skipped;
        PageReadingWindow* view = PageReadingWindow::Show(&window_, std::move(shown));
        MakeAccessible(view);
        if (!reading.problem.empty()) {
            Tell(Tr("This page could not be read as a %1 page: %2\nThe panel's values are unchanged.")
                     .arg(AdjustmentName(kind_), QString::fromStdString(reading.problem.Shown())));
            return false;
        }
        return true;
    }

    TFormAdjust& window_;
    FeaturePanel& panel_;
    Kind kind_;
    reading::StoredValues stored_;
    bool fieldsHoldStored_ = false;
    QPushButton* readButton_ = nullptr;
    bool busy_ = false;
};

PanelPages* PagesOf(FeaturePanel& panel) {
    return panel.findChild<PanelPages*>(QStringLiteral("PageReading"), Qt::FindDirectChildrenOnly);
}

}  // namespace

void InstallPageReading(TFormAdjust& window, FeaturePanel* panel) {
    if (!panel || PagesOf(*panel)) return;
    const std::optional<Kind> kind = reading::KindOfPanel(panel->objectName().toStdString());
    if (kind) new PanelPages(window, *panel, *kind);
}

bool ReadPageOnto(TFormAdjust& window, FeaturePanel& panel, const QString& path) {
    (void)window;
    PanelPages* pages = PagesOf(panel);
    return pages && pages->Read(path);
}

bool HasImageSuffix(const QString& fileName) {
    static const QStringList kSuffixes = {"png", "jpg", "jpeg", "tif", "tiff", "pnm", "ppm", "pgm", "pbm"};
    return kSuffixes.contains(QFileInfo(fileName).suffix().toLower());
}

QString LocalFileOf(const QMimeData& data) {
    if (data.hasUrls()) {
        for (const QUrl& url : data.urls())
            if (url.isLocalFile()) return url.toLocalFile();
        return {};
    }
    if (data.hasText()) {
        const QString text = data.text().trimmed();
        if (text.isEmpty() || text.contains(QLatin1Char('\n'))) return {};
        if (text.startsWith(QStringLiteral("file:"))) {
            const QUrl url(text);
            return url.isLocalFile() ? url.toLocalFile() : QString();
        }
        if (QDir::isAbsolutePath(text)) return text;
    }
    return {};
}

}  // namespace svc::ui
