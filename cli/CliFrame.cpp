#include "cli/CliFrame.h"

#include <array>
#include <utility>

namespace svc::cli {

void CliFrame::EndLine() {
    if (!lineStream_) return;
    std::fputc('\n', lineStream_);
    std::fflush(lineStream_);
    lineStream_ = nullptr;
}

void CliFrame::Write(const std::string& text) {
    // Text arrives as the window would show it: a replace or a new line
    // starts a line, an append continues it; a line break inside starts another.
    std::size_t from = 0;
    for (;;) {
        const std::size_t nl = text.find('\n', from);
        const std::string piece = text.substr(from, nl == std::string::npos ? std::string::npos : nl - from);
        if (!lineStream_) {
            lineStream_ = red_ ? err_ : out_;
            if (red_) std::fputs("error: ", lineStream_);
        }
        std::fputs(piece.c_str(), lineStream_);
        std::fflush(lineStream_);
        if (nl == std::string::npos) break;
        EndLine();
        from = nl + 1;
    }
}

void CliFrame::MemoChanged(MemoEdit edit, const std::string& text, TextColour colour) {
    switch (edit) {
    case MemoEdit::Replace:
    case MemoEdit::NewLine:
        EndLine();
        red_ = colour == TextColour::Red;
        if (edit == MemoEdit::Replace && text.empty()) return;  // an emptied memo prints nothing
        Write(text);
        break;
    case MemoEdit::Append: Write(text); break;
    case MemoEdit::Keep: break;
    }
}

void CliFrame::BeginOperation() {
    EndLine();
    reportsBefore_ = ErrorReports();
    cellsBefore_ = AdjustedCells();
}

bool CliFrame::EndOperation() {
    EndLine();
    for (const auto& [name, value] : AdjustedCells()) {
        auto before = cellsBefore_.find(name);
        if (before != cellsBefore_.end() && before->second == value) continue;
        if (before == cellsBefore_.end() && value.empty()) continue;
        std::string shown = value;
        for (char& c : shown)
            if (c == '\n') c = ' ';
        std::fprintf(out_, "%s: %s\n", CellTitle(name).c_str(), shown.c_str());
    }
    std::fflush(out_);
    return ErrorReports() == reportsBefore_ && !(MemoColour() == TextColour::Red && !Memo().empty());
}

std::string CliFrame::CellTitle(const std::string& objectName) {
    static const std::array<std::pair<const char*, const char*>, 23> kTitles{{
        {"HeadIDPnl", "Head ID"},
        {"PFAdjustPnl", "PF adjustment"},
        {"PWSensorTopPnl", "PW sensor Top"},
        {"PWSensorBottomPnl", "PW sensor Bottom"},
        {"PWSensorLeftPnl", "PW sensor Left"},
        {"PWSensorRightPnl", "PW sensor Right"},
        {"BidVSD1BkPnl", "Bi-D VSD1 Black"},
        {"BidVSD1CLPnl", "Bi-D VSD1 Color"},
        {"BidVSD2BkPnl", "Bi-D VSD2 Black"},
        {"BidVSD2CLPnl", "Bi-D VSD2 Color"},
        {"BidVSD2DBkPnl", "Bi-D VSD2' Black"},
        {"BidVSD2DCLPnl", "Bi-D VSD2' Color"},
        {"BidVSD4BkPnl", "Bi-D VSD4 Black"},
        {"BidVSD4CLPnl", "Bi-D VSD4 Color"},
        {"ColorShiftAPnl", "Pixel shift A"},
        {"ColorShiftBPnl", "Pixel shift B"},
        {"ColorShiftCPnl", "Pixel shift C"},
        {"ColorShiftDPnl", "Pixel shift D"},
        {"ColorShiftEPnl", "Pixel shift E"},
        {"ColorShiftFPnl", "Pixel shift F"},
        {"UsbIDPnl", "USB ID"},
        {"IEEE1394IDPnl", "IEEE1394 ID"},
        {"WasteInkPadCounterPnl", "Waste Ink Pad Counter"},
    }};
    for (const auto& [name, title] : kTitles)
        if (objectName == name) return title;
    return objectName;
}

}  // namespace svc::cli
