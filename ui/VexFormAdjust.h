// The main adjustment window: a frame of four tabs of radio groups that pick
// a feature, the feature's panel in the centre, the status memo below it and
// the "Adjusted items" panel at the right. Features report progress through
// SetOperationState, switch panels with HideAllPanels and end a failed
// operation with ReportErrorCode.
#pragma once

#include "link/ResultCodes.h"
#include "link/FeatureFrame.h"
#include "ui/howto/HowToWindows.h"

#include <QHash>
#include <QPointer>
#include <QElapsedTimer>
#include <QPointer>
#include <QRegion>
#include <QWidget>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace svc::ui {

class FeaturePanel;
class RadioGroup;
class TabControl;
class TFormBoot;

using svc::Group;
using svc::kGroupCount;

class TFormAdjust : public QWidget, public FeatureFrame {
    Q_OBJECT
public:
    // Region geometry of the window's client area.
    static constexpr QRect kLeftRegion{4, 4, 240, 356};
    static constexpr QRect kBottomLeftRegion{4, 364, 240, 96};
    static constexpr QRect kCentreRegion{248, 4, 413, 356};
    static constexpr QRect kBottomCentreRegion{248, 364, 413, 96};
    static constexpr QRect kRightRegion{665, 4, 169, 456};
    static constexpr int kWideMemoWidth = 588;

    explicit TFormAdjust(TFormBoot& boot);
    ~TFormAdjust() override;

    void SetQuitWindow(QWidget* quit) { quit_ = quit; }
    void SetHowToWindows(HowToWindows* howTo) { howTo_ = howTo; }
    TFormBoot& Boot() const { return boot_; }

    // ---- the routines every feature uses ----
    Result SetOperationState(int mode, const std::string& text) override;
    // Prepares the centre for a new panel; false when the carriage could not
    // be sent home and nothing was changed.
    bool HideAllPanels(int keepText) override;
    using FeatureFrame::ReportErrorCode;
    using FeatureFrame::WaitUntilReady;
    void SetFeatureAvailability(int level);

    // ---- panels ----
    // Registers a panel for a radio item: picking the item shows it.
    void RegisterPanel(Group group, int item, FeaturePanel* panel);
    // Registers a panel that no item shows directly (a second page).
    void AddPanel(FeaturePanel* panel);
    // Shows one registered panel in the centre (page changes inside a feature).
    void ShowPanel(FeaturePanel* panel);
    void ShowPanel(std::string_view panelName) override;
    // The panel a radio item shows (null for none), and every registered panel.
    FeaturePanel* PanelOf(Group group, int item) const;
    const std::vector<FeaturePanel*>& Panels() const { return panels_; }
    // Hides "Adjusted items" and widens the memo under it (the EEPROM viewer).
    void WidenMemo() override;

    // "Adjusted items" cells by objectName ("HeadIDPnl", "BidVSD2DBkPnl", ...).
    QLabel* AdjustedCellLabel(const QString& name) const;
    std::string AdjustedCell(std::string_view name) const override;
    void SetAdjustedCell(std::string_view name, const std::string& text) override;

    // ---- FeatureFrame: panel controls by objectName ----
    std::string Text(std::string_view name) const override;
    void SetText(std::string_view name, const std::string& text) override;
    bool Checked(std::string_view name) const override;
    void SetChecked(std::string_view name, bool checked) override;
    int ItemIndex(std::string_view name) const override;
    void SetItemIndex(std::string_view name, int index) override;
    int Position(std::string_view name) const override;
    void SetPosition(std::string_view name, int position) override;
    void SetEnabled(std::string_view name, bool enabled) override;
    void SetVisible(std::string_view name, bool visible) override;
    std::string CellText(std::string_view grid, int column, int row) const override;
    void SetCellText(std::string_view grid, int column, int row, const std::string& text) override;
    int ModelCode() const override;
    std::uint16_t PortCode() const override;
    void CloseMainWindow() override;

    // ---- window flags ----
    std::uint8_t CutPatternPrinted() const { return Flag(WindowFlag::CutPatternPrinted); }
    void SetCutPatternPrinted(std::uint8_t value) { SetFlag(WindowFlag::CutPatternPrinted, value); }
    std::uint8_t CarriageAtHome() const { return Flag(WindowFlag::CarriageAtHome); }
    void SetCarriageAtHome(std::uint8_t value) { SetFlag(WindowFlag::CarriageAtHome, value); }
    std::uint8_t ExchangeStarted() const { return Flag(WindowFlag::ExchangeStarted); }
    void SetExchangeStarted(std::uint8_t value) { SetFlag(WindowFlag::ExchangeStarted, value); }

    // ---- controls ----
    RadioGroup* RadioGroupOf(Group group) const { return groups_[static_cast<int>(group)]; }
    TabControl* Tabs() const { return tabs_; }
    QPlainTextEdit* Memo() const { return memo_; }
    QWidget* Canvas() const { return canvas_; }
    QWidget* AdjustedItems() const { return adjustedItems_; }
    QLabel* ModelName() const { return modelName_; }
    QPushButton* QuitButton() const { return quitBtn_; }
    QPushButton* GetStatusButton() const { return getStatusBtn_; }
    QTimer* DisableTimer() const { return disableTimer_; }
    QColor MemoTextColour() const;

public slots:
    void AdjustRdoGrpClick();
    void MaintenanceRdoGrpClick();
    void CheckPatternRdoGrpClick();
    void AppendixRdoGrpClick();
    void AdjustmentTabChange();
    void QuitBtnClick();
    void GetStatusBtnClick();
    void FormShow();
    void FormClose();
    void DisableTimerTimer();
    // The one handler of all seven "Paper feed" buttons.
    void HeadAngularPaperFeedBtnClick();
    // The "How to ..." buttons of the panels.
    void HeadAngularAdjustHowToBtnClick();
    void PFAdjustHowToBtnClick();
    void HowToCLShiftAdjustBtnClick();
    void BidPrintHowToAdjustBtnClick();
    void PWSensorHowToAdjustBtnClick();
    void CutPosHowToAdjustBtnClick();
    void PGHowToAdjustBtnClick();
    void HowToCheckA4PatClick();
    void PGAdjustHowToCleanBtnClick();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // StatusFrame
    void EnableItems(const Availability& availability) override;
    void EnableForReport() override;
    void FocusField(const std::string& objectName) override;

    // The control of that objectName; found once, then remembered (the
    // EEPROM viewer asks for its grid 512 times per read).
    QWidget* Control(std::string_view name) const;
    void BuildLeft();
    void BuildBottomLeft();
    void BuildCentre();
    void BuildAdjustedItems();
    void RadioGroupClick(Group group);
    void ClearSelections(bool keepAppendix, int exceptGroup);
    void EditMemo(MemoEdit edit, const QString& text);
    void ApplyBusyState(const ModeEffect& effect);
    void PaintChangesNow();
    void SetMemoColour(const QColor& colour);
    void PlaceMemo(int width);
    void ShowHowTo(HowTo which);

    TFormBoot& boot_;
    QWidget* quit_ = nullptr;
    HowToWindows* howTo_ = nullptr;

    TabControl* tabs_ = nullptr;
    RadioGroup* groups_[kGroupCount] = {};
    QLabel* modelName_ = nullptr;
    QPushButton* quitBtn_ = nullptr;
    QPushButton* getStatusBtn_ = nullptr;
    QWidget* canvas_ = nullptr;
    QPlainTextEdit* memo_ = nullptr;
    QWidget* adjustedItems_ = nullptr;
    QTimer* disableTimer_ = nullptr;

    mutable QHash<QString, QPointer<QWidget>> controls_;
    std::vector<FeaturePanel*> panels_;
    std::map<std::pair<int, int>, FeaturePanel*> itemPanels_;

    // Grid cells waiting for their paint, and when the grid was last painted.
    static constexpr int kGridFrameMs = 16;
    QPointer<QWidget> gridViewport_;
    QRegion gridPending_;
    QElapsedTimer gridPaintClock_;
};

}  // namespace svc::ui
