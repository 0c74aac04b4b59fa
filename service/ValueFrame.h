// A main-window frame without widgets: every control is a value kept by its
// objectName, the memo is kept as text with its colour, the window's busy
// state as flags. svcadjust-cli's frame builds on it, and the features' unit
// tests drive their handlers through it.
#pragma once

#include "link/FeatureFrame.h"

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace svc {

class ValueFrame : public FeatureFrame {
public:
    struct Control {
        std::string text;
        bool checked = false;
        int index = -1;
        int position = 0;
        bool enabled = true;
        bool visible = true;
        std::map<std::pair<int, int>, std::string> cells;  // (column, row)
    };

    // ---- FeatureFrame ----
    Result SetOperationState(int mode, const std::string& text) override;
    void EnableItems(const Availability& availability) override;
    void EnableForReport() override;
    void FocusField(const std::string& objectName) override;

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
    std::string AdjustedCell(std::string_view name) const override;
    void SetAdjustedCell(std::string_view name, const std::string& text) override;
    bool HideAllPanels(int keepText) override;
    void ShowPanel(std::string_view panelName) override;
    void WidenMemo() override;
    int ModelCode() const override { return modelCode_; }
    std::uint16_t PortCode() const override { return portCode_; }
    void CloseMainWindow() override;

    // ---- set-up and inspection ----
    void SetModelCode(int code) { modelCode_ = code; }
    void SetPortCode(std::uint16_t code) { portCode_ = code; }
    const std::string& Memo() const { return memo_; }
    // The memo as the window shows it, one entry per line.
    std::vector<std::string> MemoLines() const;
    TextColour MemoColour() const { return colour_; }
    bool WindowEnabled() const { return enabled_; }
    bool Hourglass() const { return hourglass_; }
    // Modes 2 and 18 leave the window to be enabled by the disable timer; this is its tick.
    void TimerTick();
    const Availability& ItemsAvailable() const { return availability_; }
    // Whether the radio item may be chosen at the availability last set (all may before Get Status).
    bool ItemAvailable(Group group, int item) const;
    const std::string& FocusedField() const { return focus_; }
    const std::string& ShownPanel() const { return shownPanel_; }
    bool MemoWide() const { return memoWide_; }
    bool Closed() const { return closed_; }
    // Counts the error reports (ReportErrorCode enables the window for each).
    int ErrorReports() const { return errorReports_; }
    const std::map<std::string, Control, std::less<>>& Controls() const { return controls_; }
    const std::map<std::string, std::string, std::less<>>& AdjustedCells() const { return adjusted_; }
    Control& At(std::string_view name);

protected:
    // Called after each memo change: the edit made, the text given and the memo's colour now.
    virtual void MemoChanged(MemoEdit edit, const std::string& text, TextColour colour) {
        (void)edit, (void)text, (void)colour;
    }
    // Called when the frame closes the main window (after the close steps).
    virtual void WindowClosed() {}

private:
    const Control* Find(std::string_view name) const;

    std::map<std::string, Control, std::less<>> controls_;
    std::map<std::string, std::string, std::less<>> adjusted_;
    std::string memo_;
    TextColour colour_ = TextColour::Black;
    bool enabled_ = true;
    bool timerRunning_ = false;
    bool hourglass_ = false;
    bool availabilityKnown_ = false;
    Availability availability_{};
    std::string focus_;
    std::string shownPanel_;
    bool memoWide_ = false;
    bool closed_ = false;
    int errorReports_ = 0;
    int modelCode_ = kModel4100;
    std::uint16_t portCode_ = 1028;
};

}  // namespace svc
