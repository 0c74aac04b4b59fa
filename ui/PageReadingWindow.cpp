#include "ui/PageReadingWindow.h"

#include "ui/Translated.h"

#include <QEvent>
#include <QFileInfo>
#include <QGraphicsPixmapItem>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsView>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace svc::ui {

using pagereader::Kind;

namespace {

QPointer<PageReadingWindow> g_window;

constexpr double kMinZoom = 1, kMaxZoom = 16;

QString Percent(double confidence) {
    return QString::number(static_cast<int>(std::lround(std::clamp(confidence, 0.0, 1.0) * 100))) +
           QStringLiteral(" %");
}

}  // namespace

QString AdjustmentName(Kind kind) {
    switch (kind) {
        case Kind::Bid:
            return Tr("Bi-D adjustment");
        case Kind::Pf:
            return Tr("PF adjustment");
        case Kind::HeadAngular:
            return Tr("Head angular adjustment");
        case Kind::Pw:
            return Tr("PW sensor adjustment");
        case Kind::PixelShift:
            return Tr("Pixel shift adjustment");
        case Kind::FirstDot:
            return Tr("First dot position adjustment");
        case Kind::Cut:
            return Tr("Cut position adjustment");
    }
    return {};
}

QString ItemCaption(Kind kind, const std::string& name) {
    // A name the panel itself shows ("Top") in the technician's language.
    if (!name.empty()) return Tr(name);
    switch (kind) {
        case Kind::Pf:
            return QStringLiteral("PF");
        case Kind::FirstDot:
            return Tr("First dot");
        case Kind::Cut:
            return Tr("Cut mark");
        case Kind::HeadAngular:
            return Tr("Head angle");
        default:
            return QString::fromUtf8(pagereader::KindName(kind).data(), pagereader::KindName(kind).size());
    }
}

PageReadingWindow::PageReadingWindow(QWidget* owner) : QWidget(owner, Qt::Window) {
    setObjectName(QStringLiteral("PageReadingWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(760, 820);

    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("PageReadingSummaryLbl"));
    summary_->setWordWrap(true);
    summary_->setAccessibleName(Tr("What was read"));

    scene_ = new QGraphicsScene(this);
    view_ = new QGraphicsView(scene_, this);
    view_->setObjectName(QStringLiteral("PageReadingView"));
    view_->setAccessibleName(Tr("The page with the measured places marked"));
    view_->setDragMode(QGraphicsView::ScrollHandDrag);
    view_->setTransformationAnchor(QGraphicsView::AnchorUnderMouse);
    view_->setRenderHint(QPainter::SmoothPixmapTransform);
    view_->setBackgroundBrush(QColor(128, 128, 128));
    view_->viewport()->installEventFilter(this);
    view_->viewport()->setAccessibleName(view_->accessibleName());

    zoomIn_ = new QPushButton(Tr("Zoom in"), this);
    zoomIn_->setObjectName(QStringLiteral("PageReadingZoomInBtn"));
    zoomIn_->setAccessibleName(Tr("Zoom in"));
    zoomIn_->setShortcut(QKeySequence::ZoomIn);
    zoomOut_ = new QPushButton(Tr("Zoom out"), this);
    zoomOut_->setObjectName(QStringLiteral("PageReadingZoomOutBtn"));
    zoomOut_->setAccessibleName(Tr("Zoom out"));
    zoomOut_->setShortcut(QKeySequence::ZoomOut);
    fit_ = new QPushButton(Tr("Whole page"), this);
    fit_->setObjectName(QStringLiteral("PageReadingFitBtn"));
    fit_->setAccessibleName(Tr("Show the whole page"));
    connect(zoomIn_, &QPushButton::clicked, this, [this] { SetZoom(zoom_ * 2); });
    connect(zoomOut_, &QPushButton::clicked, this, [this] { SetZoom(zoom_ / 2); });
    connect(fit_, &QPushButton::clicked, this, [this] { SetZoom(1); });

    items_ = new QListWidget(this);
    items_->setObjectName(QStringLiteral("PageReadingItemsList"));
    items_->setAccessibleName(Tr("Items read and not read"));
    items_->setMaximumHeight(150);

    nextStep_ = new QLabel(this);
    nextStep_->setObjectName(QStringLiteral("PageReadingNextStepLbl"));
    nextStep_->setWordWrap(true);
    nextStep_->setAccessibleName(Tr("What to do next"));
    QFont bold = nextStep_->font();
    bold.setBold(true);
    nextStep_->setFont(bold);

    close_ = new QPushButton(Tr("Close"), this);
    close_->setObjectName(QStringLiteral("PageReadingCloseBtn"));
    close_->setAccessibleName(Tr("Close"));
    connect(close_, &QPushButton::clicked, this, &QWidget::close);

    auto* zoomRow = new QHBoxLayout;
    zoomRow->addWidget(zoomIn_);
    zoomRow->addWidget(zoomOut_);
    zoomRow->addWidget(fit_);
    zoomRow->addStretch(1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(nextStep_, 1);
    bottom->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary_);
    layout->addLayout(zoomRow);
    layout->addWidget(view_, 1);
    layout->addWidget(items_);
    layout->addLayout(bottom);
}

PageReadingWindow* PageReadingWindow::Current() { return g_window.data(); }

PageReadingWindow* PageReadingWindow::Show(QWidget* owner, Shown shown) {
    if (!g_window) g_window = new PageReadingWindow(owner);
    g_window->Present(std::move(shown));
    g_window->show();
    g_window->raise();
    return g_window.data();
}

void PageReadingWindow::Present(Shown shown) {
    const pagereader::Reading& reading = shown.reading;
    setWindowTitle(Tr("Printed page - %1").arg(QFileInfo(shown.file).fileName()));

    // The page is kept at a size fit to show; the places scale with it.
    QImage page = shown.page;
    const int side = std::max(page.width(), page.height());
    if (side > kShownSide)
        page = page.scaled(page.size() * (double(kShownSide) / side), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    const QSize measured = shown.pageSize.isEmpty() ? shown.page.size() : shown.pageSize;
    const double scale = measured.width() > 0 ? double(page.width()) / measured.width() : 1.0;
    scene_->clear();
    scene_->addPixmap(QPixmap::fromImage(page));
    scene_->setSceneRect(QRectF(QPointF(0, 0), QSizeF(page.size())));

    marks_ = 0;
    items_->clear();
    const QColor readColour(0, 140, 60), doubtColour(220, 120, 0), failColour(200, 0, 30);
    int read = 0;
    for (const pagereader::Item& item : reading.items) {
        const QString caption = ItemCaption(reading.kind, item.name);
        const bool filled = std::find(shown.filled.begin(), shown.filled.end(), item.name) != shown.filled.end();
        QString label, line;
        QColor colour;
        if (item.value) {
            ++read;
            label = QStringLiteral("%1 %2 (%3)").arg(caption).arg(*item.value).arg(Percent(item.confidence));
            line = Tr("%1: %2, confidence %3").arg(caption).arg(*item.value).arg(Percent(item.confidence));
            colour = item.confidence >= 0.5 ? readColour : doubtColour;
        } else {
            label = QStringLiteral("%1 ?").arg(caption);
            line = Tr("%1: not read: %2")
                       .arg(caption, QString::fromStdString(item.problem.empty() ? svc::Tr("no reason given")
                                                                                 : item.problem.Shown()));
            colour = failColour;
        }
        if (item.value && !filled)
            for (const auto& [name, why] : shown.skipped)
                if (name == item.name) line += Tr(" - left out of the panel: %1").arg(QString::fromStdString(why));
        auto* entry = new QListWidgetItem(line, items_);
        entry->setForeground(colour);

        bool labelled = false;
        for (const pagereader::Place& place : item.where) {
            const QRectF box(place.x * scale, place.y * scale, std::max(place.width * scale, 2.0),
                             std::max(place.height * scale, 2.0));
            QPen pen(colour, 2);
            pen.setCosmetic(true);  // as thick at any zoom
            auto* rect = scene_->addRect(box, pen);
            rect->setToolTip(line);
            ++marks_;
            if (!labelled) {
                auto* text = scene_->addSimpleText(label);
                text->setBrush(colour);
                QFont font = text->font();
                font.setBold(true);
                text->setFont(font);
                text->setFlag(QGraphicsItem::ItemIgnoresTransformations);  // readable at any zoom
                text->setPos(box.topLeft() + QPointF(0, -2));
                text->setData(0, label);
                // A white ground under the label, so that it stands out from the print.
                auto* ground = new QGraphicsRectItem(text->boundingRect().adjusted(-2, -1, 2, 1), text);
                ground->setBrush(QColor(255, 255, 255, 210));
                ground->setPen(Qt::NoPen);
                ground->setFlag(QGraphicsItem::ItemStacksBehindParent);
                labelled = true;
            }
        }
    }

    const QString adjustment = shown.adjustment.isEmpty() ? AdjustmentName(reading.kind) : shown.adjustment;
    QString summary;
    if (!reading.problem.empty())
        summary =
            Tr("%1: the page could not be read: %2").arg(adjustment, QString::fromStdString(reading.problem.Shown()));
    else
        summary = Tr("%1: %2 of %3 read from %4.")
                      .arg(adjustment)
                      .arg(read)
                      .arg(reading.items.size())
                      .arg(QFileInfo(shown.file).fileName());
    summary_->setText(summary);

    if (reading.kind == Kind::HeadAngular)
        nextStep_->setText(
            Tr("The head angle is set by hand at the head: press [Adjust] on the panel and turn the head "
               "until the marked bars line up."));
    else if (shown.filled.empty())
        nextStep_->setText(Tr("Nothing was typed into the panel; the values there are unchanged."));
    else
        nextStep_->setText(
            Tr("The values read are in the panel's fields, not in the printer. Check them against the "
               "page and press the panel's [Input] button."));
    Fit();
}

QStringList PageReadingWindow::MarkLabels() const {
    QStringList labels;
    for (QGraphicsItem* item : scene_->items(Qt::AscendingOrder))
        if (item->data(0).isValid()) labels << item->data(0).toString();
    return labels;
}

QString PageReadingWindow::NextStep() const { return nextStep_->text(); }

void PageReadingWindow::SetZoom(double zoom) {
    zoom_ = std::clamp(zoom, kMinZoom, kMaxZoom);
    Fit();
}

void PageReadingWindow::Fit() {
    const QRectF page = scene_->sceneRect();
    if (page.isEmpty()) return;
    const QSizeF room = view_->viewport()->size();
    const double fit = std::min(room.width() / page.width(), room.height() / page.height());
    view_->setTransform(QTransform::fromScale(fit * zoom_, fit * zoom_));
    zoomOut_->setEnabled(zoom_ > kMinZoom);
    zoomIn_->setEnabled(zoom_ < kMaxZoom);
}

void PageReadingWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Fit();
}

bool PageReadingWindow::eventFilter(QObject* watched, QEvent* event) {
    // The page fits the view as the view gets its size (also the first time it is laid out).
    if (watched == view_->viewport() && event->type() == QEvent::Resize) {
        Fit();
        return false;
    }
    // The wheel zooms around the pointer.
    if (watched == view_->viewport() && event->type() == QEvent::Wheel) {
        const int delta = static_cast<QWheelEvent*>(event)->angleDelta().y();
        if (delta != 0) {
            const double before = zoom_;
            zoom_ = std::clamp(zoom_ * (delta > 0 ? 1.25 : 0.8), kMinZoom, kMaxZoom);
            const double step = zoom_ / before;
            view_->scale(step, step);
            zoomOut_->setEnabled(zoom_ > kMinZoom);
            zoomIn_->setEnabled(zoom_ < kMaxZoom);
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace svc::ui
