// The start window: the technician picks model and port, and OK opens the
// port, reads the device ID and negotiates the packet channel. It is the
// application's main window; closing it ends the program.
#pragma once

#include "link/ResultCodes.h"

#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>

class QComboBox;
class QMenu;
class QPushButton;

namespace svc::ui {

class TAboutBox;
class ServiceRecordWindow;

inline constexpr std::uint8_t kModelNone = 255;

class TFormBoot : public QWidget {
    Q_OBJECT
public:
    TFormBoot();
    ~TFormBoot() override;

    // The windows OK and "Version" open.
    void SetMainWindow(QWidget* mainWindow) { mainWindow_ = mainWindow; }
    void SetAboutBox(TAboutBox* about) { about_ = about; }

    // 1 "Corvid Lumen 4100", 2 "Corvid Lumen 4200", 255 none; 0 before the first OK.
    std::uint8_t ModelCode() const { return modelCode_; }
    // 1028-1030 LPT1-3, 1025-1027 ZQUSB1-3; 0 before the first OK.
    std::uint16_t PortCode() const { return portCode_; }

    // Where the "Version" menu opens for a right-button release at a point of the window.
    QPoint VersionMenuPoint(QPoint inWindow) const;
    QMenu* PopupMenu() const { return popupMenu_; }

    // Keeps the model and port of the last connection in `file` and selects
    // them again the first time the window is shown in a run (coming back
    // from the main window still shows nothing selected). Without a file
    // nothing is kept.
    void RememberChoicesIn(const QString& file) { choicesFile_ = file; }
    // ${XDG_CONFIG_HOME:-~/.config}/svcadjust/start-window.conf
    static QString DefaultChoicesFile();

    // The service record window (Ctrl+H), made on first use; it undoes and
    // restores through the main window while that is shown and idle.
    ServiceRecordWindow* ServiceRecord();
    // The question whether to finish an interrupted refurbishment for DOA
    // (Yes true); by default a box whose default answer is No.
    void SetFinishQuestion(std::function<bool(const QString&)> ask) { askFinish_ = std::move(ask); }

signals:
    // The window was closed: the program ends.
    void Closed();

public slots:
    void FormShow();
    void ModelNameComboChange(int index);
    void OKBtnClick();
    void QuitBtnClick();
    void VersionItemClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void BuildControls();
    void RebuildPortList();
    void ShowConnectionError(const char* text);
    void OfferToFinishRefurbishment(const QString& what, bool exchangeSeen);

    QComboBox* modelCombo_ = nullptr;
    QComboBox* portCombo_ = nullptr;
    QComboBox* destinationCombo_ = nullptr;
    QPushButton* okBtn_ = nullptr;
    QPushButton* quitBtn_ = nullptr;
    QMenu* popupMenu_ = nullptr;
    QWidget* mainWindow_ = nullptr;
    TAboutBox* about_ = nullptr;
    std::uint8_t modelCode_ = 0;
    std::uint16_t portCode_ = 0;
    QString choicesFile_;
    bool shownBefore_ = false;
    ServiceRecordWindow* record_ = nullptr;
    std::function<bool(const QString&)> askFinish_;
};

}  // namespace svc::ui
