// The printed page, large: the whole sheet from its small preview, and at
// full size (one file pixel to one screen pixel) around the point the pointer
// asks for. Only the region on screen, with a margin, is read from the file
// at full size, on a worker thread.
#pragma once

#include <QImage>
#include <QRect>
#include <QString>
#include <QThreadPool>
#include <QWidget>

#include <atomic>
#include <memory>

namespace vp::panel {

// Runs `work` on `pool` and hands its result to `done` on the thread of
// `receiver`. The receiver waits for its pool before it goes.
template <typename Work, typename Done>
void RunInBackground(QThreadPool& pool, QObject* receiver, Work work, Done done) {
    pool.start([receiver, work, done]() {
        auto result = work();
        QMetaObject::invokeMethod(
            receiver, [done, result]() { done(result); }, Qt::QueuedConnection);
    });
}

class PageView : public QWidget {
    Q_OBJECT
public:
    explicit PageView(QWidget* parent = nullptr);
    ~PageView() override;

    // The page to show: its file, its preview and its full size.
    void SetPage(const QString& path, const QImage& preview, QSize pageSize);
    QSize PageSize() const { return pageSize_; }

    // Shows the page at full size, the page point under `viewPos` staying
    // under it; when already at full size, `viewPos` is a point of the view.
    void ZoomAt(QPoint viewPos);
    // Back to the whole sheet.
    void ZoomOut();
    bool Zoomed() const { return zoomed_; }
    // The full-size pixels read (null while they are being read) and where
    // they lie on the page; the page point at the view's top-left corner.
    const QImage& ZoomImage() const { return zoomImage_; }
    QRect ZoomRegion() const { return zoomRegion_; }
    QPoint ZoomOrigin() const { return origin_; }
    // The page point under a point of the view, as shown now.
    QPoint PageAt(QPoint viewPos) const;

signals:
    // The full-size pixels around the pointer are on screen.
    void zoomReady();
    // They could not be read (the message names the reason).
    void zoomFailed(const QString& message);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QRect FitRect() const;
    void ClampOrigin();
    void EnsureRegion();
    void CancelRead();

    QString path_;
    QImage preview_;
    QSize pageSize_;
    bool zoomed_ = false;
    QPoint origin_;
    QImage zoomImage_;
    QRect zoomRegion_;
    QRect wanted_;  // the region being read
    QString failure_;
    bool dragging_ = false;
    QPoint pressPos_;
    QPoint dragOffset_;
    quint64 generation_ = 0;
    std::shared_ptr<std::atomic_bool> cancel_;
    QThreadPool pool_;
};

}  // namespace vp::panel
