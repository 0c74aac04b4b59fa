#include "link/StatusReport.h"

#include "journal/Recorder.h"
#include "link/Host.h"
#include "link/OutsideLibraries.h"
#include "link/VexRaster.h"
#include "link/VexStatusControl.h"
#include "link/ErrorDetails.h"
#include "link/Features.h"

#include <algorithm>
#include <iterator>

namespace svc {

namespace {

const char* const kCommunicationErrorOccurred = "Communication error occurred.";
const char* const kCheckCable = "Check the I/F cable connection and power of printer.";
const char* const kClearLine = "Clear the error and click the [Get Status] button.";
const char* const kRestartLine = "Restart the printer and click the [Get Status] button.";

// One row of the detail tables of the checking features.
struct DetailRow {
    Result group;
    std::int16_t detail;
    const char* focus;
    const char* text;
    const char* secondLine;
};

const DetailRow kDetailRows[] = {
    {rc::HeadId, 1, "", "The read head ID is invalid.", ""},
    {rc::HeadId, 16, "", "The number of digit is wrong.", ""},
    {rc::HeadId, 17, "", "First digit is wrong.", ""},
    {rc::HeadId, 18, "", "Second and third digit are wrong.", ""},
    {rc::HeadId, 20, "", "Fourth and fifth digit are wrong.", ""},
    {rc::HeadId, 22, "", "Sixth and seventh digit are wrong.", ""},
    {rc::HeadId, 24, "", "Eighth and ninth digit are wrong.", ""},
    {rc::HeadId, 26, "", "Tenth digit is wrong.", ""},
    // Details 27-41 name the digit (detail - 16), each spelled with "th".
    {rc::HeadId, 27, "", "11th digit is wrong.", ""},
    {rc::HeadId, 28, "", "12th digit is wrong.", ""},
    {rc::HeadId, 29, "", "13th digit is wrong.", ""},
    {rc::HeadId, 30, "", "14th digit is wrong.", ""},
    {rc::HeadId, 31, "", "15th digit is wrong.", ""},
    {rc::HeadId, 32, "", "16th digit is wrong.", ""},
    {rc::HeadId, 33, "", "17th digit is wrong.", ""},
    {rc::HeadId, 34, "", "18th digit is wrong.", ""},
    {rc::HeadId, 35, "", "19th digit is wrong.", ""},
    {rc::HeadId, 36, "", "20th digit is wrong.", ""},
    {rc::HeadId, 37, "", "21th digit is wrong.", ""},
    {rc::HeadId, 38, "", "22th digit is wrong.", ""},
    {rc::HeadId, 39, "", "23th digit is wrong.", ""},
    {rc::HeadId, 40, "", "24th digit is wrong.", ""},
    {rc::HeadId, 41, "", "25th digit is wrong.", ""},
    {rc::Bid, 1, "BidVSD1BkInputEdit", "VSD1 Black value is wrong.", ""},
    {rc::Bid, 2, "BidVSD2BkInputEdit", "VSD2 Black value is wrong.", ""},
    {rc::Bid, 3, "BidVSD4BkInputEdit", "VSD4 Black value is wrong.", ""},
    {rc::Bid, 4, "BidVSD2DBkInputEdit", "VSD2' Black value is wrong.", ""},
    {rc::Bid, 5, "BidVSD1CLInputEdit", "VSD1 Color value is wrong.", ""},
    {rc::Bid, 6, "BidVSD2CLInputEdit", "VSD2 Color value is wrong.", ""},
    {rc::Bid, 7, "BidVSD4CLInputEdit", "VSD4 Color value is wrong.", ""},
    {rc::Bid, 8, "BidVSD2DCLInputEdit", "VSD2' Color value is wrong.", ""},
    {rc::UsbId, 1, "", "The Number of digit is wrong.", ""},
    {rc::UsbId, 2, "", "Parameter is only number & alphabet.", ""},
    {rc::UsbId, 16, "", "The USB ID is wrong.", ""},
    {rc::PwSensor, 1, "PWSensorHMXUEdit", "A range of input value is -8 to 24.", ""},
    {rc::PwSensor, 2, "PWSensorHMXDEdit", "A range of input value is -8 to 24.", ""},
    {rc::PwSensor, 3, "PWSensorHMYUEdit", "A range of input value is -16 to 16.", ""},
    {rc::PwSensor, 4, "PWSensorHMYDEdit", "A range of input value is -16 to 16.", ""},
    {rc::PixelShift, 1, "ColorShiftAInputEdit", "A range of input value is -5 to 5.", ""},
    {rc::PixelShift, 2, "ColorShiftBInputEdit", "A range of input value is -5 to 5.", ""},
    {rc::PixelShift, 3, "ColorShiftCInputEdit", "A range of input value is -5 to 5.", ""},
    {rc::PixelShift, 4, "ColorShiftDInputEdit", "A range of input value is -5 to 5.", ""},
    {rc::PixelShift, 5, "ColorShiftEInputEdit", "A range of input value is -5 to 5.", ""},
    {rc::PixelShift, 6, "ColorShiftFInputEdit", "A range of input value is -5 to 5.", ""},
    {rc::Ieee1394Id, 1, "IEEE1394IDInputEdit", "The Number of digit is wrong.", ""},
    {rc::Ieee1394Id, 2, "IEEE1394IDInputEdit", "The IEEE 1394 ID is wrong.", ""},
    {rc::Ieee1394Id, 3, "", "The read ID is invalid.", ""},
    {rc::EepromCopy, 1, "", "The read data is invalid. ", "Replace the main board with new one."},
    {rc::EepromCopy, 2, "", "Cannot create file.", ""},
    {rc::EepromCopy, 3, "", "Cannot read data from file.", ""},
};

struct PrinterErrorRow {
    std::uint8_t code;
    const char* text;
    bool clearLine;
};

const PrinterErrorRow kPrinterErrors[] = {
    {0, "Fatal error.", false},
    {1, "Communication error.", false},
    {3, "Release lever position error.", true},
    {4, "Paper jam error.", true},
    {5, "Ink out error.", true},
    {6, "Paper out error.", true},
    {7, "Paper gap error.", true},
    {16, "Maintenance error.", false},
    {17, "Tear off mode selected.", true},
    {18, "Double feed error.", true},
    {28, "Cutter position error.", true},
    {29, "Cutter jam error.", true},
    {30, "Incompatible combination of ink cartridges installed.", true},
};

// Port error details that the port switch reports as a plain communication error.
bool IsPlainCommunicationError(std::int16_t detail) {
    return detail == -105 || detail == -104 || detail == -103 || detail == -82 || detail == -81;
}

std::int16_t DetailOfGroup(Result group) {
    switch (group) {
    case rc::HeadId: return HeadIdErrorDetail;
    case rc::Bid: return BidErrorDetail;
    case rc::UsbId: return UsbIdErrorDetail;
    case rc::PwSensor: return PwSensorErrorDetail;
    case rc::PixelShift: return PixelShiftErrorDetail;
    case rc::Ieee1394Id: return Ieee1394IdErrorDetail;
    case rc::EepromCopy: return EepromCopyErrorDetail;
    default: return 0;
    }
}

void ReportPrinterError(StatusFrame& frame) {
    if (auto message = PrinterErrorMessageFor(Status().PrinterError())) {
        frame.SetOperationState(mode::Error, message->text);
        if (message->clearLine) frame.SetOperationState(mode::Line, kClearLine);
    }
    SetFeatureAvailability(frame, 2);
}

void ReportDetail(StatusFrame& frame, Result group) {
    const std::int16_t detail = DetailOfGroup(group);
    if (auto message = DetailMessageFor(group, detail)) {
        if (!message->focus.empty()) frame.FocusField(message->focus);
        frame.SetOperationState(mode::Error, message->text);
        if (!message->secondLine.empty()) frame.SetOperationState(mode::Line, message->secondLine);
    } else if (group == rc::UsbId) {
        // An unlisted USB ID detail still leaves the memo in its error form, empty.
        frame.SetOperationState(mode::Error, "");
    }
}

// Mode 4 with the communication message, then the features go.
void ReportLostCommunication(StatusFrame& frame, const std::string& text) {
    frame.SetOperationState(mode::Error, text);
    SetFeatureAvailability(frame, 3);
}

void ReportInks(StatusFrame& frame) {
    const InkLevels inks = Status().Inks();
    const auto& l = inks.level;  // black, cyan, magenta, yellow, light cyan, light magenta, gray
    auto pct = [](std::int16_t level) { return std::to_string(level) + "%"; };
    frame.SetOperationState(mode::Line, "Ink remaining amount;");
    frame.SetOperationState(mode::Line, " Black: ");
    frame.SetOperationState(mode::Append, pct(l[0]) + ", Gray: " + pct(l[6]) + ", Cyan: " + pct(l[1]) +
                                              ", Magenta: " + pct(l[2]));
    frame.SetOperationState(mode::Line, " Yellow: ");
    frame.SetOperationState(mode::Append,
                            pct(l[3]) + ", Light Cyan: " + pct(l[4]) + ", Light Magenta: " + pct(l[5]));
}

}  // namespace

Result WaitForMode(StatusFrame& frame, ReadyWait wait) {
    switch (wait) {
    case ReadyWait::None: return rc::Ok;
    case ReadyWait::Quiet:
        if (Result r = WaitUntilReady(frame, 0); r != rc::Ok) {
            ReportErrorCode(frame, r);
            return r;
        }
        return rc::Ok;
    case ReadyWait::WithMessages: return WaitUntilReady(frame, 1);
    }
    return rc::Ok;
}

ModeEffect EffectOfMode(int m) {
    using enum ReadyWait;
    switch (m) {
    case mode::Report:
        return {None, MemoEdit::Replace, TextColour::Black, CursorChange::Keep, WindowChange::Keep};
    case mode::Done:
        return {Quiet, MemoEdit::Replace, TextColour::Black, CursorChange::Normal, WindowChange::EnableByTimer};
    case mode::Busy:
        return {WithMessages, MemoEdit::Replace, TextColour::Blue, CursorChange::Hourglass, WindowChange::Disable};
    case mode::Error:
        return {None, MemoEdit::Replace, TextColour::Red, CursorChange::Normal, WindowChange::EnableNow};
    case mode::Append:
        return {None, MemoEdit::Append, TextColour::Keep, CursorChange::Keep, WindowChange::Keep};
    case mode::Line:
        return {None, MemoEdit::NewLine, TextColour::Keep, CursorChange::Keep, WindowChange::Keep};
    case mode::DoneNoWait:
        return {None, MemoEdit::Replace, TextColour::Black, CursorChange::Normal, WindowChange::EnableByTimer};
    case mode::BusyNoWait:
        return {None, MemoEdit::Replace, TextColour::Blue, CursorChange::Hourglass, WindowChange::Disable};
    default:
        return {};
    }
}

std::optional<Availability> AvailabilityFor(int level) {
    Availability a;
    switch (level) {
    case 1:
        a.adjustment.fill(true);
        a.maintenance.fill(true);
        a.checkPatternGroup = true;
        a.appendix.fill(true);
        return a;
    case 2:
        // Only what works on a printer in error: the destination, the counter,
        // the EEPROM copy and the appendix.
        for (const FeatureInfo& f : Features()) {
            if (!f.usableInError) continue;
            switch (f.group) {
            case Group::Adjustment: a.adjustment[static_cast<std::size_t>(f.item)] = true; break;
            case Group::Maintenance: a.maintenance[static_cast<std::size_t>(f.item)] = true; break;
            case Group::Appendix: a.appendix[static_cast<std::size_t>(f.item)] = true; break;
            case Group::CheckPattern: break;
            }
        }
        a.checkPatternGroup = false;
        return a;
    case 3:
        a.restartLine = true;
        return a;
    default:
        return std::nullopt;
    }
}

Result WaitUntilReady(StatusFrame& frame, int showMessages) {
    for (;;) {
        if (Result r = Status().Inquire(); r != rc::Ok) return r;
        const char* activity = nullptr;
        switch (Status().PrinterState()) {
        case state::Ready: return rc::Ok;
        case state::Error:
        case state::BeforeInkCharge: return rc::PrinterError;
        case state::Busy: activity = "Printer is busy."; break;
        case state::Printing: activity = "Printer is printing."; break;
        case state::Cleaning: activity = "Printer is cleaning."; break;
        default: break;
        }
        if (activity && showMessages == 1) {
            if (Result r = frame.SetOperationState(mode::BusyNoWait, activity); r != rc::Ok) return r;
            frame.SetOperationState(mode::Line, "Please wait..");
        }
        host().RepaintMainWindow();
        if (Result r = SendInitialize(JobStream()); r != rc::Ok) return r;
        if (Result r = JobStream().Flush(); r != rc::Ok) return r;
        host().Sleep(1000);
    }
}

void GetStatus(StatusFrame& frame, std::uint16_t portCode) {
    PortCloseByOsSw();
    // The start window also accepts a device ID of 4097; a printer without
    // the packet protocol is of no use here.
    if (PortOpenByOsSw(portCode) != rc::Ok || GetDeviceIDByOsSw() != rc::Ok) {
        frame.SetOperationState(mode::Error, kCommunicationErrorOccurred);
        frame.SetOperationState(mode::Line, kCheckCable);
        return;
    }
    if (D4Negotiation() != rc::Ok || ReadStatus() != rc::Ok) {
        ReportLostCommunication(frame, kCommunicationErrorOccurred);
        return;
    }
    switch (Status().PrinterState()) {
    case state::Error: ReportPrinterError(frame); return;
    case state::Busy: frame.SetOperationState(mode::Report, "Printer is busy."); break;
    case state::Printing: frame.SetOperationState(mode::Report, "Printer is printing."); break;
    case state::Cleaning: frame.SetOperationState(mode::Report, "Printer is cleaning."); break;
    case state::BeforeInkCharge:
        frame.SetOperationState(mode::Error, "Printer is before initial ink charge.");
        break;
    case state::Ready:
        frame.SetOperationState(mode::Report, "Printer is ready.");
        ReportInks(frame);
        break;
    default: break;
    }
    SetFeatureAvailability(frame, 1);
}

void SetFeatureAvailability(StatusFrame& frame, int level) {
    const auto availability = AvailabilityFor(level);
    if (!availability) return;
    frame.EnableItems(*availability);
    if (availability->restartLine) frame.SetOperationState(mode::Line, kRestartLine);
}

void ReportErrorCode(StatusFrame& frame, Result code) {
    journal::Journal().NoteResult(code);
    // The operation is over: what it left unsent in the job stream is the
    // tail of an aborted job, which the printer would read as part of the
    // next one (even ahead of the readiness wait's reset).
    JobStream().Discard();
    frame.EnableForReport();
    frame.ReportingCode(code);
    switch (code) {
    case rc::PortIo: {
        std::int16_t detail = 0;
        GetIoErrorCodeByOsSw(&detail);
        ReportLostCommunication(frame, IsPlainCommunicationError(detail) ? "Communication error."
                                                                         : kCommunicationErrorOccurred);
        break;
    }
    case rc::NoPacketProtocol:
    case rc::Link3000: ReportLostCommunication(frame, kCommunicationErrorOccurred); break;
    case rc::BadPortCode:
        frame.SetOperationState(mode::Error, kCommunicationErrorOccurred);
        frame.SetOperationState(mode::Line, kCheckCable);
        SetFeatureAvailability(frame, 3);
        break;
    case rc::Channel:
        GetD4ErrorCode();  // read to clear the library's detail; the message is the same for all
        ReportLostCommunication(frame, kCommunicationErrorOccurred);
        break;
    case rc::FileOpen: frame.SetOperationState(mode::Error, "Cannot file open."); break;
    case rc::PrinterError: ReportPrinterError(frame); break;
    case rc::NoLibrary: frame.SetOperationState(mode::Error, "Cannot found the DLL files."); break;
    case rc::NoMemory:
        frame.SetOperationState(mode::Error, "There is not enough free memory to run this program.");
        frame.SetOperationState(mode::Line, "Quit one or more programs, and then try again.");
        break;
    case rc::HeadId:
    case rc::Bid:
    case rc::UsbId:
    case rc::PwSensor:
    case rc::PixelShift:
    case rc::Ieee1394Id:
    case rc::EepromCopy: ReportDetail(frame, code); break;
    default: break;
    }
}

std::optional<DetailMessage> DetailMessageFor(Result group, std::int16_t detail) {
    auto row = std::find_if(std::begin(kDetailRows), std::end(kDetailRows),
                            [&](const DetailRow& r) { return r.group == group && r.detail == detail; });
    if (row == std::end(kDetailRows)) return std::nullopt;
    return DetailMessage{row->focus, row->text, row->secondLine};
}

std::vector<std::string> DetailFocusFields() {
    std::vector<std::string> fields;
    for (const DetailRow& row : kDetailRows)
        if (*row.focus && std::find(fields.begin(), fields.end(), row.focus) == fields.end())
            fields.emplace_back(row.focus);
    return fields;
}

std::optional<PrinterErrorMessage> PrinterErrorMessageFor(std::uint8_t errorCode) {
    auto row = std::find_if(std::begin(kPrinterErrors), std::end(kPrinterErrors),
                            [&](const PrinterErrorRow& r) { return r.code == errorCode; });
    if (row == std::end(kPrinterErrors)) return std::nullopt;
    return PrinterErrorMessage{row->text, row->clearLine};
}

}  // namespace svc
