// The main window of svcadjust-cli: the controls are values (ValueFrame), and
// what the window would show goes to the terminal as it happens. Each memo
// line is printed as a line of its own; lines the window shows in red go to
// standard error with the prefix "error: ". After an operation the
// "Adjusted items" cells it changed are printed as "Name: value".
#pragma once

#include "service/ValueFrame.h"

#include <cstdio>
#include <map>
#include <string>

namespace svc::cli {

class CliFrame : public ValueFrame {
public:
    CliFrame(std::FILE* out, std::FILE* err) : out_(out), err_(err) {}

    // Ends the memo line being printed (before other output, and after an operation).
    void EndLine();
    // Remembers the "Adjusted items" cells, to print the ones an operation changes.
    void BeginOperation();
    // Prints the changed cells. True when the operation succeeded: it did not
    // end through ReportErrorCode and left no red message.
    bool EndOperation();

    std::FILE* Out() const { return out_; }
    std::FILE* Err() const { return err_; }

    // The name a person reads for an "Adjusted items" cell ("Bi-D VSD2' Black" for "BidVSD2DBkPnl").
    static std::string CellTitle(const std::string& objectName);

protected:
    void MemoChanged(MemoEdit edit, const std::string& text, TextColour colour) override;

private:
    void Write(const std::string& text);

    std::FILE* out_;
    std::FILE* err_;
    std::FILE* lineStream_ = nullptr;  // where the open line goes; null when no line is open
    bool red_ = false;
    int reportsBefore_ = 0;
    std::map<std::string, std::string, std::less<>> cellsBefore_;
};

}  // namespace svc::cli
