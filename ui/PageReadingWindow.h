// The marked-page window: the page a panel was given, scaled to fit and
// zoomable, with each measured place outlined and labelled with the item's
// name, value and confidence, the items that could not be read with their
// reason, and what the technician does next. One window at a time, beside
// the main window (not modal); a new page replaces the one shown.
#pragma once

#include "pagereader/PageReader.h"

#include <QImage>
#include <QSize>
#include <QString>
#include <QWidget>

#include <string>
#include <utility>
#include <vector>

class QGraphicsScene;
class QGraphicsView;
class QLabel;
class QListWidget;
class QPushButton;

namespace svc::ui {

class PageReadingWindow : public QWidget {
    Q_OBJECT
public:
    // What one page gave: the picture, the reading, and what of it went
    // into the panel's fields.
    struct Shown {
        QString file;
        QString adjustment;  // "Bi-D adjustment"
        QImage page;         // the page, any size (shown scaled)
        QSize pageSize;      // the size the places are measured in (the page's when empty)
        pagereader::Reading reading;
        std::vector<std::string> filled;                           // item names typed into the panel
        std::vector<std::pair<std::string, std::string>> skipped;  // item, why it stayed as it was
    };

    // The window (made on first use, a child window of `owner`) showing `shown`.
    static PageReadingWindow* Show(QWidget* owner, Shown shown);
    // The window when it is open, else null.
    static PageReadingWindow* Current();

    // The outlines drawn and their labels ("VSD1Bk 2 (93 %)"), for tests.
    int MarkCount() const { return marks_; }
    QStringList MarkLabels() const;
    QString NextStep() const;
    // Zoom: a factor over "fit the page".
    double Zoom() const { return zoom_; }
    void SetZoom(double zoom);

    // The largest side the page is kept at for showing.
    static constexpr int kShownSide = 3000;

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit PageReadingWindow(QWidget* owner);
    void Present(Shown shown);
    void Fit();

    QLabel* summary_;
    QLabel* nextStep_;
    QGraphicsScene* scene_;
    QGraphicsView* view_;
    QListWidget* items_;
    QPushButton* zoomIn_;
    QPushButton* zoomOut_;
    QPushButton* fit_;
    QPushButton* close_;
    int marks_ = 0;
    double zoom_ = 1;
};

// How an item is named to the technician: its name, or for a page with one
// value the adjustment's ("PF").
QString ItemCaption(pagereader::Kind kind, const std::string& name);
// "Bi-D adjustment", ...
QString AdjustmentName(pagereader::Kind kind);

}  // namespace svc::ui
