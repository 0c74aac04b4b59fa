#include "vprinter/panel/PageView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>

#include "vprinter/panel/PageReader.h"

namespace vp::panel {

namespace {

constexpr int kMargin = 8;                             // around the whole sheet
constexpr int kClickSlop = 4;                          // a press that moved less than this is a click
constexpr qint64 kMaxRegionPixels = 16 * 1024 * 1024;  // 64 MB as RGB32

}  // namespace

PageView::PageView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("pageView"));
    setMinimumSize(320, 320);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(false);
    setCursor(Qt::CrossCursor);
    pool_.setMaxThreadCount(1);
}

PageView::~PageView() {
    CancelRead();
    pool_.waitForDone();
}

void PageView::CancelRead() {
    if (cancel_) cancel_->store(true);
    cancel_.reset();
    ++generation_;
    wanted_ = QRect();
}

void PageView::SetPage(const QString& path, const QImage& preview, QSize pageSize) {
    CancelRead();
    path_ = path;
    preview_ = preview;
    pageSize_ = pageSize;
    zoomed_ = false;
    zoomImage_ = QImage();
    zoomRegion_ = QRect();
    failure_.clear();
    dragOffset_ = QPoint();
    setCursor(Qt::CrossCursor);
    update();
}

QRect PageView::FitRect() const {
    if (pageSize_.isEmpty()) return QRect();
    const QRect room = rect().adjusted(kMargin, kMargin, -kMargin, -kMargin);
    const QSize size = pageSize_.scaled(room.size().expandedTo(QSize(1, 1)), Qt::KeepAspectRatio);
    return QRect(room.center() - QPoint(size.width() / 2, size.height() / 2), size);
}

QPoint PageView::PageAt(QPoint viewPos) const {
    if (zoomed_) return origin_ - dragOffset_ + viewPos;
    const QRect fit = FitRect();
    if (fit.isEmpty()) return QPoint();
    const auto map = [](int v, int start, int span, int full) {
        const qint64 p = static_cast<qint64>(v - start) * full / std::max(1, span);
        return static_cast<int>(std::clamp<qint64>(p, 0, full - 1));
    };
    return QPoint(map(viewPos.x(), fit.left(), fit.width(), pageSize_.width()),
                  map(viewPos.y(), fit.top(), fit.height(), pageSize_.height()));
}

void PageView::ZoomAt(QPoint viewPos) {
    if (pageSize_.isEmpty()) return;
    origin_ = PageAt(viewPos) - viewPos;
    dragOffset_ = QPoint();
    zoomed_ = true;
    failure_.clear();
    setCursor(Qt::OpenHandCursor);
    ClampOrigin();
    EnsureRegion();
    update();
}

void PageView::ZoomOut() {
    CancelRead();
    zoomed_ = false;
    dragOffset_ = QPoint();
    failure_.clear();
    setCursor(Qt::CrossCursor);
    update();
}

void PageView::ClampOrigin() {
    const auto clamp = [](int origin, int page, int view) {
        return page >= view ? std::clamp(origin, 0, page - view) : (page - view) / 2;
    };
    origin_ = QPoint(clamp(origin_.x(), pageSize_.width(), width()), clamp(origin_.y(), pageSize_.height(), height()));
}

void PageView::EnsureRegion() {
    const QRect page(QPoint(0, 0), pageSize_);
    const QRect visible = QRect(origin_, size()).intersected(page);
    if (visible.isEmpty()) return;
    if (!zoomImage_.isNull() && zoomRegion_.contains(visible)) {
        emit zoomReady();
        return;
    }
    if (wanted_.contains(visible)) return;  // on its way
    // With a margin, so that a short drag needs no second read (but not on
    // a screen so large that the region would pass Qt's image size limit).
    int margin = std::max(width(), height()) / 2;
    if (qint64(visible.width() + 2 * margin) * (visible.height() + 2 * margin) > kMaxRegionPixels) margin = 0;
    const QRect region = visible.adjusted(-margin, -margin, margin, margin).intersected(page);
    if (preview_.size() == pageSize_) {  // the preview is the page itself
        zoomImage_ = preview_.copy(region);
        zoomRegion_ = region;
        update();
        emit zoomReady();
        return;
    }
    CancelRead();
    wanted_ = region;
    cancel_ = std::make_shared<std::atomic_bool>(false);
    const quint64 generation = generation_;
    const QString path = path_;
    const auto cancel = cancel_;
    RunInBackground(
        pool_, this, [path, region, cancel] { return ReadPageRegion(path, region, *cancel); },
        [this, generation, region](const PageImage& read) {
            if (generation != generation_ || read.cancelled) return;
            wanted_ = QRect();
            if (read.image.isNull()) {
                failure_ = QStringLiteral("Cannot read the full-size pixels: %1").arg(read.error);
                update();
                emit zoomFailed(failure_);
                return;
            }
            zoomImage_ = read.image;
            zoomRegion_ = region;
            update();
            emit zoomReady();
        });
    update();
}

void PageView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0x70, 0x70, 0x70));
    if (preview_.isNull()) {
        painter.setPen(Qt::white);
        painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("No page"));
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QString note;
    if (!zoomed_) {
        painter.drawImage(FitRect(), preview_);
        note = QStringLiteral("Click or scroll up: full size under the pointer");
    } else {
        const QPoint origin = origin_ - dragOffset_;
        // The preview, enlarged, stands in where the full-size pixels are not read yet.
        const QRect pageInView = QRect(-origin, pageSize_);
        const QRect visible = pageInView.intersected(rect());
        const double sx = double(preview_.width()) / pageSize_.width(),
                     sy = double(preview_.height()) / pageSize_.height();
        const QRectF source(QPointF((visible.left() + origin.x()) * sx, (visible.top() + origin.y()) * sy),
                            QSizeF(visible.width() * sx, visible.height() * sy));
        painter.drawImage(QRectF(visible), preview_, source);
        if (!zoomImage_.isNull()) painter.drawImage(zoomRegion_.topLeft() - origin, zoomImage_);
        note = !failure_.isEmpty() ? failure_
               : !wanted_.isNull()
                   ? QStringLiteral("Reading the full-size pixels ...")
                   : QStringLiteral("Full size - drag to move; right-click, scroll down or Esc: whole sheet");
    }
    QFont font = painter.font();
    font.setBold(true);
    painter.setFont(font);
    const QRect box = painter.fontMetrics().boundingRect(note).adjusted(-6, -3, 6, 3);
    const QRect placed(QPoint(6, height() - box.height() - 6), box.size());
    painter.fillRect(placed, QColor(0, 0, 0, 160));
    painter.setPen(failure_.isEmpty() ? QColor(Qt::white) : QColor(0xff, 0x8a, 0x80));
    painter.drawText(placed, Qt::AlignCenter, note);
}

void PageView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        pressPos_ = event->position().toPoint();
        dragging_ = zoomed_;
        if (zoomed_) setCursor(Qt::ClosedHandCursor);
    } else if (event->button() == Qt::RightButton && zoomed_) {
        ZoomOut();
    }
    event->accept();
}

void PageView::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_ || !(event->buttons() & Qt::LeftButton)) return;
    dragOffset_ = event->position().toPoint() - pressPos_;
    update();
}

void PageView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const QPoint pos = event->position().toPoint();
    if (!zoomed_) {
        if ((pos - pressPos_).manhattanLength() <= kClickSlop) ZoomAt(pos);
        return;
    }
    if (dragging_) {
        dragging_ = false;
        origin_ -= pos - pressPos_;
        dragOffset_ = QPoint();
        setCursor(Qt::OpenHandCursor);
        ClampOrigin();
        EnsureRegion();
        update();
    }
}

void PageView::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta > 0 && !zoomed_)
        ZoomAt(event->position().toPoint());
    else if (delta < 0 && zoomed_)
        ZoomOut();
    event->accept();
}

void PageView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && zoomed_) {
        ZoomOut();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);  // Esc on the whole sheet closes the window
}

void PageView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (zoomed_) {
        ClampOrigin();
        EnsureRegion();
    }
}

}  // namespace vp::panel
