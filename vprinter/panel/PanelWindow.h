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
#include <QTimer>

class QAbstractButton;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace vp::panel {

class ControlConnection;

// A label that reports clicks (the page thumbnail).
class ClickableLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// Words for the status record's state and error bytes.
QString StateText(int state);
QString ErrorText(int error);

class PanelWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit PanelWindow(QWidget* parent = nullptr);

    // Connects to the printer's control socket (and keeps reconnecting).
    void Start(const QString& controlPath, int pollMs = 250);
    ControlConnection& Connection() { return *connection_; }
    // The fields last shown.
    const QHash<QString, QString>& Fields() const { return fields_; }
    // The full-size view of the last page (nullptr before the first click).
    QWidget* FullPageView() const { return fullView_; }

    void ShowFullPage();

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
    QLabel* pageLbl_ = nullptr;
    QString pagePath_;
    QString pageSerial_;
    QImage page_;
    QWidget* fullView_ = nullptr;
    QMap<QString, QLabel*> counters_;
    QMap<QString, QLabel*> values_;
    QTableWidget* eeprom_ = nullptr;
    QLabel* connectionLbl_ = nullptr;
    QLabel* answerLbl_ = nullptr;
};

}  // namespace vp::panel
