// The main window of svcadjust-cli: the controls are values (ValueFrame), and
// what the window would show goes to the terminal as it happens. Each memo
// line is printed as a line of its own; lines the window shows in red go to
// standard error with the prefix "error: ". After an operation the
// "Adjusted items" cells it changed are printed as "Name: value".
//
// On a terminal, a wait does not scroll: when the memo shows again what is
// on the screen ("Printer is busy." / "Please wait.." once a second, or a box
// that comes back), the lines stay and the last one counts the seconds since
// they first appeared; when only the last line changes (a countdown), it is
// rewritten in place. Elsewhere
// (a file, a pipe) every memo line is printed as it comes.
#pragma once

#include "service/ValueFrame.h"

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace svc::cli {

class CliFrame : public ValueFrame {
public:
    // Rewrites lines in place when `out` is a terminal.
    CliFrame(std::FILE* out, std::FILE* err);

    // Ends the memo line being printed (before other output, and after an operation).
    void EndLine();
    // Remembers the "Adjusted items" cells, to print the ones an operation changes.
    void BeginOperation();
    // Prints the changed cells. True when the operation succeeded: it did not
    // end through ReportErrorCode and left no red message. A report without
    // a message of its own is still named on standard error, with its code.
    bool EndOperation();
    // Whether the operation begun last has gone well so far.
    bool Succeeding() const;

    // Lines shown on a terminal that a repeat may keep (a box that comes back
    // once a second): as the memo's lines are (EndLine first when they are not).
    void ShowLines(const std::vector<std::string>& lines);
    // A wait begins: the screen shows the memo as it is now.
    void BeforeWait();
    // A wait of that long has ended: the waiting line shows the seconds.
    void AfterWait(int milliseconds);
    // Whether lines are rewritten in place (out is a terminal).
    bool Live() const { return live_; }
    // For tests: rewrite in place as on a terminal of this width.
    void SetLive(bool live, int width = 80);

    std::FILE* Out() const { return out_; }
    std::FILE* Err() const { return err_; }

    // The name a person reads for an "Adjusted items" cell ("Bi-D VSD2' Black" for "BidVSD2DBkPnl").
    static std::string CellTitle(const std::string& objectName);

protected:
    void MemoChanged(MemoEdit edit, const std::string& text, TextColour colour) override;
    void ReportingCode(Result code) override;

private:
    void Write(const std::string& text);
    void EndOpenLine();
    // Brings the screen up to the lines wanted; `final`: they are complete.
    void Sync(bool final);
    void PrintLastLine(bool rewrite);
    std::string WaitedSuffix() const;

    std::FILE* out_;
    std::FILE* err_;
    std::FILE* lineStream_ = nullptr;  // where the open line goes; null when no line is open
    bool red_ = false;
    int reportsBefore_ = 0;
    std::map<std::string, std::string, std::less<>> cellsBefore_;

    // The code of the last report, and the red lines printed up to it.
    Result reportedCode_ = 0;
    int redLines_ = 0;
    int redLinesAtReport_ = 0;

    // On a terminal: the lines wanted (the memo's), the lines on the screen
    // (the last one open, without its line break), and how long the screen
    // has stayed as it is.
    bool live_ = false;
    int width_ = 80;
    std::vector<std::string> wanted_;
    std::vector<std::string> screen_;
    std::size_t shownLength_ = 0;  // the last line on the screen, with its suffix
    int waitedMs_ = 0;
    bool fresh_ = false;     // the memo was replaced since the screen last matched it
    bool repeated_ = false;  // the screen was shown anew unchanged: the waited time counts on it
};

}  // namespace svc::cli
