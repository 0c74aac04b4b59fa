#include "cli/CliFrame.h"

#include "link/Features.h"
#include "link/VexStatusControl.h"
#include "i18n/Translate.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <array>
#include <utility>

namespace svc::cli {

namespace {

int TerminalWidth(std::FILE* f) {
    winsize size{};
    if (::ioctl(::fileno(f), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

}  // namespace

CliFrame::CliFrame(std::FILE* out, std::FILE* err) : out_(out), err_(err) {
    if (out_ && ::isatty(::fileno(out_))) SetLive(true, TerminalWidth(out_));
}

void CliFrame::SetLive(bool live, int width) {
    live_ = live;
    width_ = width;
}

void CliFrame::EndOpenLine() {
    if (!lineStream_) return;
    std::fputc('\n', lineStream_);
    std::fflush(lineStream_);
    lineStream_ = nullptr;
}

void CliFrame::EndLine() {
    EndOpenLine();
    if (!live_) return;
    Sync(true);
    if (!screen_.empty()) {
        std::fputc('\n', out_);
        std::fflush(out_);
    }
    screen_.clear();
    wanted_.clear();
    waitedMs_ = 0;
    repeated_ = false;
    fresh_ = false;
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
            if (red_) {
                std::fputs(Tr("error: "), lineStream_);
                ++redLines_;
            }
        }
        std::fputs(piece.c_str(), lineStream_);
        std::fflush(lineStream_);
        if (nl == std::string::npos) break;
        EndOpenLine();
        from = nl + 1;
    }
}

void CliFrame::MemoChanged(MemoEdit edit, const std::string& text, TextColour colour) {
    if (edit == MemoEdit::Keep) return;
    if (live_ && colour != TextColour::Red) {
        // The screen follows the memo; what it shows already is not printed again.
        EndOpenLine();
        red_ = false;
        if (edit == MemoEdit::Replace) {
            Sync(true);  // the lines before are complete
            fresh_ = true;
        }
        wanted_ = MemoLines();
        Sync(false);
        return;
    }
    if (live_) EndLine();  // a red line below what the terminal shows
    switch (edit) {
        case MemoEdit::Replace:
        case MemoEdit::NewLine:
            EndOpenLine();
            red_ = colour == TextColour::Red;
            if (edit == MemoEdit::Replace && text.empty()) return;  // an emptied memo prints nothing
            Write(text);
            break;
        case MemoEdit::Append:
            Write(text);
            break;
        case MemoEdit::Keep:
            break;
    }
}

void CliFrame::ShowLines(const std::vector<std::string>& lines) {
    if (!live_) {
        EndLine();
        for (const std::string& line : lines) std::fprintf(out_, "%s\n", line.c_str());
        std::fflush(out_);
        return;
    }
    EndOpenLine();
    Sync(true);
    fresh_ = true;
    wanted_ = lines;
    Sync(true);
}

void CliFrame::BeforeWait() {
    if (live_) Sync(true);
}

void CliFrame::AfterWait(int milliseconds) {
    if (!live_ || screen_.empty() || milliseconds <= 0) return;
    const std::string before = WaitedSuffix();
    waitedMs_ += milliseconds;
    if (WaitedSuffix() != before) PrintLastLine(true);
}

std::string CliFrame::WaitedSuffix() const {
    if (!repeated_ || waitedMs_ < 1000) return {};
    return " (" + std::to_string(waitedMs_ / 1000) + " s)";
}

void CliFrame::PrintLastLine(bool rewrite) {
    std::string line = screen_.back();
    const std::string suffix = WaitedSuffix();
    // A suffix that would not fit the line is left out rather than wrapped.
    if (!suffix.empty() && line.size() + suffix.size() < static_cast<std::size_t>(width_)) line += suffix;
    if (rewrite) {
        // Back to the start of the line, the new text over the old, blanks over the rest of the old.
        std::fputc('\r', out_);
        std::fputs(line.c_str(), out_);
        if (shownLength_ > line.size()) {
            std::fputs(std::string(shownLength_ - line.size(), ' ').c_str(), out_);
            std::fputc('\r', out_);
            std::fputs(line.c_str(), out_);
        }
    } else {
        std::fputs(line.c_str(), out_);
    }
    shownLength_ = line.size();
    std::fflush(out_);
}

void CliFrame::Sync(bool final) {
    if (wanted_.empty()) return;  // an emptied memo shows nothing new
    std::size_t same = 0;
    while (same < wanted_.size() && same < screen_.size() && wanted_[same] == screen_[same]) ++same;
    if (same == wanted_.size() && same == screen_.size()) {
        // The screen shows it already; shown anew, it is a wait that repeats itself.
        if (fresh_) repeated_ = true;
        fresh_ = false;
        return;
    }
    if (!final) {
        // The memo may still grow into what the screen shows: wait and see.
        const bool prefix = same == wanted_.size() || (same + 1 == wanted_.size() && same < screen_.size() &&
                                                       screen_[same].starts_with(wanted_[same]));
        if (prefix) return;
    }
    const auto fits = [this](std::size_t length) { return length < static_cast<std::size_t>(width_); };
    std::size_t from = 0;  // the first wanted line to print on a line of its own
    if (!screen_.empty() && same == screen_.size()) {
        from = same;  // more lines below the ones shown
    } else if (same + 1 == screen_.size() && same + 1 == wanted_.size() && shownLength_ == screen_[same].size() &&
               wanted_[same].starts_with(screen_[same])) {
        // Text added to the last line: only what is new.
        std::fputs(wanted_[same].c_str() + screen_[same].size(), out_);
        shownLength_ = wanted_[same].size();
        waitedMs_ = 0;
        repeated_ = false;
        fresh_ = false;
        from = wanted_.size();
    } else if (same > 0 && same + 1 == screen_.size() && same < wanted_.size() && fits(shownLength_) &&
               fits(wanted_[same].size())) {
        // Only the last line below the same lines changed (a countdown): rewritten in place.
        screen_.back() = wanted_[same];
        waitedMs_ = 0;
        repeated_ = false;
        fresh_ = false;
        PrintLastLine(true);
        from = same + 1;
    }
    for (std::size_t i = from; i < wanted_.size(); ++i) {
        if (!screen_.empty() || i > from) std::fputc('\n', out_);
        std::fputs(wanted_[i].c_str(), out_);
        shownLength_ = wanted_[i].size();
        waitedMs_ = 0;
        repeated_ = false;
        fresh_ = false;
    }
    std::fflush(out_);
    screen_ = wanted_;
}

void CliFrame::ReportingCode(Result code) {
    reportedCode_ = code;
    redLinesAtReport_ = redLines_;
}

void CliFrame::BeginOperation() {
    EndLine();
    reportsBefore_ = ErrorReports();
    cellsBefore_ = AdjustedCells();
}

bool CliFrame::Succeeding() const {
    return ErrorReports() == reportsBefore_ && !(MemoColour() == TextColour::Red && !Memo().empty());
}

bool CliFrame::EndOperation() {
    EndLine();
    if (ErrorReports() != reportsBefore_ && redLines_ == redLinesAtReport_) {
        // The report had no message for this code: say at least what the printer or link gave.
        const unsigned code = reportedCode_;
        char hex[8];
        std::snprintf(hex, sizeof hex, "%04X", code);
        const std::string line =
            reportedCode_ == rc::PrinterError
                ? Format(Tr("error: the printer reported error %1 (code %2, 0x%3)"),
                         {std::to_string(static_cast<unsigned>(Status().PrinterError())), std::to_string(code), hex})
                : Format(Tr("error: the printer or link reported code %1 (0x%2)"), {std::to_string(code), hex});
        std::fprintf(err_, "%s\n", line.c_str());
        std::fflush(err_);
    }
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
    return Succeeding();
}

std::string CliFrame::CellTitle(const std::string& objectName) {
    if (const AdjustedCellInfo* cell = FindAdjustedCell(objectName)) return Tr(std::string(cell->title));
    return objectName;
}

}  // namespace svc::cli
