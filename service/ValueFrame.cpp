#include "service/ValueFrame.h"

#include "service/FrameRoutines.h"
#include "i18n/Translate.h"

#include <sstream>

namespace svc {

Result ValueFrame::SetOperationState(int mode, const std::string& untranslated) {
    const ModeEffect effect = EffectOfMode(mode);
    if (Result r = WaitForMode(*this, effect.wait); r != rc::Ok) return r;
    // The memo holds the text as the technician reads it.
    const std::string text = Tr(untranslated);
    switch (effect.memo) {
        case MemoEdit::Replace:
            memo_ = text;
            break;
        case MemoEdit::Append:
            memo_ += text;
            break;
        case MemoEdit::NewLine:
            memo_ = memo_.empty() ? text : memo_ + "\n" + text;
            break;
        case MemoEdit::Keep:
            break;
    }
    switch (effect.colour) {
        case TextColour::Black:
        case TextColour::Blue:
        case TextColour::Red:
            colour_ = effect.colour;
            break;
        case TextColour::Keep:
            break;
    }
    switch (effect.cursor) {
        case CursorChange::Normal:
            hourglass_ = false;
            break;
        case CursorChange::Hourglass:
            hourglass_ = true;
            break;
        case CursorChange::Keep:
            break;
    }
    switch (effect.window) {
        case WindowChange::Disable:
            enabled_ = false;
            break;
        case WindowChange::EnableNow:
            enabled_ = true;
            break;
        case WindowChange::EnableByTimer:
            timerRunning_ = true;
            break;
        case WindowChange::Keep:
            break;
    }
    if (effect.memo != MemoEdit::Keep) MemoChanged(effect.memo, text, colour_);
    return rc::Ok;
}

void ValueFrame::TimerTick() {
    if (!timerRunning_) return;
    enabled_ = true;
    timerRunning_ = false;
}

void ValueFrame::EnableItems(const Availability& availability) {
    availability_ = availability;
    availabilityKnown_ = true;
}

bool ValueFrame::ItemAvailable(Group group, int item) const {
    if (!availabilityKnown_) return true;
    const Availability& a = availability_;
    switch (group) {
        case Group::Adjustment:
            return item >= 0 && item < kAdjustmentItems && a.adjustment[item];
        case Group::Maintenance:
            return item >= 0 && item < kMaintenanceItems && a.maintenance[item];
        case Group::CheckPattern:
            return a.checkPatternGroup;
        case Group::Appendix:
            return item >= 0 && item < kAppendixItems && a.appendix[item];
    }
    return false;
}

void ValueFrame::EnableForReport() {
    enabled_ = true;
    hourglass_ = false;
    ++errorReports_;
}

void ValueFrame::FocusField(const std::string& objectName) {
    if (controls_.count(objectName)) focus_ = objectName;
}

std::vector<std::string> ValueFrame::MemoLines() const {
    std::vector<std::string> lines;
    std::istringstream in(memo_);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

ValueFrame::Control& ValueFrame::At(std::string_view name) {
    auto found = controls_.find(name);
    if (found == controls_.end()) found = controls_.emplace(std::string(name), Control{}).first;
    return found->second;
}

const ValueFrame::Control* ValueFrame::Find(std::string_view name) const {
    auto found = controls_.find(name);
    return found == controls_.end() ? nullptr : &found->second;
}

std::string ValueFrame::Text(std::string_view name) const {
    const Control* c = Find(name);
    return c ? c->text : std::string();
}
void ValueFrame::SetText(std::string_view name, const std::string& text) { At(name).text = text; }
bool ValueFrame::Checked(std::string_view name) const {
    const Control* c = Find(name);
    return c && c->checked;
}
void ValueFrame::SetChecked(std::string_view name, bool checked) { At(name).checked = checked; }
int ValueFrame::ItemIndex(std::string_view name) const {
    const Control* c = Find(name);
    return c ? c->index : -1;
}
void ValueFrame::SetItemIndex(std::string_view name, int index) { At(name).index = index; }
int ValueFrame::Position(std::string_view name) const {
    const Control* c = Find(name);
    return c ? c->position : 0;
}
void ValueFrame::SetPosition(std::string_view name, int position) { At(name).position = position; }
void ValueFrame::SetEnabled(std::string_view name, bool enabled) { At(name).enabled = enabled; }
void ValueFrame::SetVisible(std::string_view name, bool visible) { At(name).visible = visible; }
std::string ValueFrame::CellText(std::string_view grid, int column, int row) const {
    const Control* c = Find(grid);
    if (!c) return {};
    auto found = c->cells.find({column, row});
    return found == c->cells.end() ? std::string() : found->second;
}
void ValueFrame::SetCellText(std::string_view grid, int column, int row, const std::string& text) {
    At(grid).cells[{column, row}] = text;
}

std::string ValueFrame::AdjustedCell(std::string_view name) const {
    auto found = adjusted_.find(name);
    return found == adjusted_.end() ? std::string() : found->second;
}
void ValueFrame::SetAdjustedCell(std::string_view name, const std::string& text) {
    auto found = adjusted_.find(name);
    if (found == adjusted_.end())
        adjusted_.emplace(std::string(name), text);
    else
        found->second = text;
}

bool ValueFrame::HideAllPanels(int keepText) {
    if (!ReturnCarriageHome(*this)) return false;
    shownPanel_.clear();
    memoWide_ = false;
    if (keepText == 0) memo_.clear();
    colour_ = TextColour::Black;
    return true;
}

void ValueFrame::ShowPanel(std::string_view panelName) { shownPanel_ = panelName; }
void ValueFrame::WidenMemo() { memoWide_ = true; }

void ValueFrame::CloseMainWindow() {
    if (closed_) return;
    // The window's close: panels away, the channel ended and the port closed,
    // except right after the DOA exchange started, which the printer runs alone.
    HideAllPanels(0);
    CloseChannelUnlessExchanging(*this);
    closed_ = true;
    WindowClosed();
}

}  // namespace svc
