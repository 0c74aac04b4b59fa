// vprinter-panel's window: the front panel of a running virtual printer,
// reached only through its control socket. Buttons and switches send control
// commands; everything shown comes from the printer's state line.
#pragma once

#include <QHash>
#include <QImage>
#include <QLabel>
#include <QMainWindow>
#include <QMap>
#include <QString>
#include <QThreadPool>
#include <QTimer>

#include <atomic>
#include <memory>

class QAbstractButton;
class QMimeData;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace vp::panel {

class ControlConnection;
class PageView;
struct PageImage;

// A page file as the program's adjustment panels take it, dragged or
// pasted: its file URL (text/uri-list) and its absolute path as text.
QMimeData* PageMimeData(const QString& path);

// A label that reports clicks (the page thumbnail). With a page file set, a
// drag from it carries the file (PageMimeData) instead of a click.
class ClickableLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
    void SetDragFile(const QString& path) { dragFile_ = path; }
signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QString dragFile_;
    QPoint pressPos_;
    bool pressed_ = false;
};

// Words for the status record's state and error bytes.
QString StateText(int state);
QString ErrorText(int error);

class PanelWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit PanelWindow(QWidget* parent = nullptr);
    // Stops a page being read first: its result would come to a window gone.
    ~PanelWindow() override;

    // Connects to the printer's control socket (and keeps reconnecting).
    void Start(const QString& controlPath, int pollMs = 250);
    ControlConnection& Connection() { return *connection_; }
    // The fields last shown.
    const QHash<QString, QString>& Fields() const { return fields_; }
    // The large view of the last page (nullptr before the first click).
    QWidget* FullPageView() const { return fullView_; }
    PageView* LargePage() const { return pageView_; }

    void ShowFullPage();
    // Puts the page shown on the clipboard (PageMimeData), for pasting onto
    // an adjustment panel of the program; false before the first page.
    bool CopyPage();
    // Shows a page file as the printer names it: read on a worker thread,
    // averaged down to a preview; a file missing or cut short is tried again
    // a few times, then a page that cannot be shown says why, once.
    void ShowPage(const QString& path, const QString& serial);
    // The preview shown and the size of the page it stands for.
    const QImage& PagePreview() const { return page_; }
    QSize PageSize() const { return pageSize_; }

    // Attempts at a page still being written, and the pause between them.
    static constexpr int kPageAttempts = 10;
    static constexpr int kPageRetryMs = 400;
    // The preview is read to fit this; the large view shows it whole.
    static constexpr int kPreviewSide = 1600;

private:
    QWidget* BuildPrinterBox();
    QWidget* BuildConditionBox();
    QWidget* BuildInkBox();
    QWidget* BuildFaultBox();
    QWidget* BuildPageBox();
    QWidget* BuildCounterBox();
    QWidget* BuildValuesBox();
    QWidget* BuildEepromBox();

    void OnState(const QHash<QString, QString>& fields);
    void OnConnected(bool connected);
    void OnAnswer(const QString& command, const QString& answer);
    void SetLed(QLabel* led, const QString& colour);
    void UpdateLeds();
    void UpdatePage();
    void UpdateEeprom();
    void ReadPage();
    void UpdateLargeView();
    void OnPageRead(const PageImage& read);

    ControlConnection* connection_;
    QHash<QString, QString> fields_;
    bool blinkPhase_ = false;
    QTimer blinkTimer_;

    QPushButton* powerBtn_ = nullptr;
    QLabel* powerLed_ = nullptr;
    QLabel* errorLed_ = nullptr;
    QLabel* modelLbl_ = nullptr;
    QLabel* stateLbl_ = nullptr;
    QLabel* errorLbl_ = nullptr;
    QProgressBar* bufferBar_ = nullptr;
    QLabel* carriageLbl_ = nullptr;
    QLabel* activityLbl_ = nullptr;
    QMap<QString, QProgressBar*> inkBars_;
    QMap<QString, QLabel*> inkConditions_;
    QMap<QString, QAbstractButton*> faultButtons_;
    ClickableLabel* thumb_ = nullptr;
    QPushButton* copyPageBtn_ = nullptr;
    QLabel* pageLbl_ = nullptr;
    QString pagePath_;
    QString pageSerial_;
    QImage page_;
    QSize pageSize_;
    QString wantedPath_;  // the page asked for: shown, being read, or given up
    QString wantedSerial_;
    int pageAttempts_ = 0;
    quint64 pageGeneration_ = 0;
    std::shared_ptr<std::atomic_bool> pageCancel_;
    QTimer pageRetry_;
    QThreadPool pagePool_;
    QWidget* fullView_ = nullptr;
    PageView* pageView_ = nullptr;
    QString viewPage_;  // path#serial of the page in the large view
    QMap<QString, QLabel*> counters_;
    QMap<QString, QLabel*> values_;
    QTableWidget* eeprom_ = nullptr;
    QLabel* connectionLbl_ = nullptr;
    QLabel* answerLbl_ = nullptr;
};

}  // namespace vp::panel
