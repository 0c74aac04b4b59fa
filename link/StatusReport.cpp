#include "link/StatusReport.h"

#include "i18n/Translate.h"

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

const char* const kCommunicationErrorOccurred = SVC_N("Communication error occurred.");
const char* const kCheckCable = SVC_N("Check the I/F cable connection and power of printer.");
const char* const kClearLine = SVC_N("Clear the error and click the [Get Status] button.");
const char* const kRestartLine = SVC_N("Restart the printer and click the [Get Status] button.");

// One row of the detail tables of the checking features.
struct DetailRow {
    Result group;
    std::int16_t detail;
    const char* focus;
    const char* text;
    const char* secondLine;
};

const DetailRow kDetailRows[] = {
    {rc::HeadId, 1, "", SVC_N("The read head ID is invalid."), ""},
    {rc::HeadId, 16, "", SVC_N("The number of digit is wrong."), ""},
    {rc::HeadId, 17, "", SVC_N("First digit is wrong."), ""},
    {rc::HeadId, 18, "", SVC_N("Second and third digit are wrong."), ""},
    {rc::HeadId, 20, "", SVC_N("Fourth and fifth digit are wrong."), ""},
    {rc::HeadId, 22, "", SVC_N("Sixth and seventh digit are wrong."), ""},
    {rc::HeadId, 24, "", SVC_N("Eighth and ninth digit are wrong."), ""},
    {rc::HeadId, 26, "", SVC_N("Tenth digit is wrong."), ""},
    // Details 27-41 name the digit (detail - 16), each spelled with "th".
    {rc::HeadId, 27, "", SVC_N("11th digit is wrong."), ""},
    {rc::HeadId, 28, "", SVC_N("12th digit is wrong."), ""},
    {rc::HeadId, 29, "", SVC_N("13th digit is wrong."), ""},
    {rc::HeadId, 30, "", SVC_N("14th digit is wrong."), ""},
    {rc::HeadId, 31, "", SVC_N("15th digit is wrong."), ""},
    {rc::HeadId, 32, "", SVC_N("16th digit is wrong."), ""},
    {rc::HeadId, 33, "", SVC_N("17th digit is wrong."), ""},
    {rc::HeadId, 34, "", SVC_N("18th digit is wrong."), ""},
    {rc::HeadId, 35, "", SVC_N("19th digit is wrong."), ""},
    {rc::HeadId, 36, "", SVC_N("20th digit is wrong."), ""},
    {rc::HeadId, 37, "", SVC_N("21th digit is wrong."), ""},
    {rc::HeadId, 38, "", SVC_N("22th digit is wrong."), ""},
    {rc::HeadId, 39, "", SVC_N("23th digit is wrong."), ""},
    {rc::HeadId, 40, "", SVC_N("24th digit is wrong."), ""},
    {rc::HeadId, 41, "", SVC_N("25th digit is wrong."), ""},
    {rc::Bid, 1, "BidVSD1BkInputEdit", SVC_N("VSD1 Black value is wrong."), ""},
    {rc::Bid, 2, "BidVSD2BkInputEdit", SVC_N("VSD2 Black value is wrong."), ""},
    {rc::Bid, 3, "BidVSD4BkInputEdit", SVC_N("VSD4 Black value is wrong."), ""},
    {rc::Bid, 4, "BidVSD2DBkInputEdit", SVC_N("VSD2' Black value is wrong."), ""},
    {rc::Bid, 5, "BidVSD1CLInputEdit", SVC_N("VSD1 Color value is wrong."), ""},
    {rc::Bid, 6, "BidVSD2CLInputEdit", SVC_N("VSD2 Color value is wrong."), ""},
    {rc::Bid, 7, "BidVSD4CLInputEdit", SVC_N("VSD4 Color value is wrong."), ""},
    {rc::Bid, 8, "BidVSD2DCLInputEdit", SVC_N("VSD2' Color value is wrong."), ""},
    {rc::UsbId, 1, "", SVC_N("The Number of digit is wrong."), ""},
    {rc::UsbId, 2, "", SVC_N("Parameter is only number & alphabet."), ""},
    {rc::UsbId, 16, "", SVC_N("The USB ID is wrong."), ""},
    {rc::PwSensor, 1, "PWSensorHMXUEdit", SVC_N("A range of input value is -8 to 24."), ""},
    {rc::PwSensor, 2, "PWSensorHMXDEdit", SVC_N("A range of input value is -8 to 24."), ""},
    {rc::PwSensor, 3, "PWSensorHMYUEdit", SVC_N("A range of input value is -16 to 16."), ""},
    {rc::PwSensor, 4, "PWSensorHMYDEdit", SVC_N("A range of input value is -16 to 16."), ""},
    {rc::PixelShift, 1, "ColorShiftAInputEdit", SVC_N("A range of input value is -5 to 5."), ""},
    {rc::PixelShift, 2, "ColorShiftBInputEdit", SVC_N("A range of input value is -5 to 5."), ""},
    {rc::PixelShift, 3, "ColorShiftCInputEdit", SVC_N("A range of input value is -5 to 5."), ""},
    {rc::PixelShift, 4, "ColorShiftDInputEdit", SVC_N("A range of input value is -5 to 5."), ""},
    {rc::PixelShift, 5, "ColorShiftEInputEdit", SVC_N("A range of input value is -5 to 5."), ""},
    {rc::PixelShift, 6, "ColorShiftFInputEdit", SVC_N("A range of input value is -5 to 5."), ""},
    {rc::Ieee1394Id, 1, "IEEE1394IDInputEdit", SVC_N("The Number of digit is wrong."), ""},
    {rc::Ieee1394Id, 2, "IEEE1394IDInputEdit", SVC_N("The IEEE 1394 ID is wrong."), ""},
    {rc::Ieee1394Id, 3, "", SVC_N("The read ID is invalid."), ""},
    {rc::EepromCopy, 1, "", SVC_N("The read data is invalid. "), SVC_N("Replace the main board with new one.")},
    {rc::EepromCopy, 2, "", SVC_N("Cannot create file."), ""},
    {rc::EepromCopy, 3, "", SVC_N("Cannot read data from file."), ""},
};

struct PrinterErrorRow {
    std::uint8_t code;
    const char* text;
    bool clearLine;
};

const PrinterErrorRow kPrinterErrors[] = {
    {0, SVC_N("Fatal error."), false},
    {1, SVC_N("Communication error."), false},
    {3, SVC_N("Release lever position error."), true},
    {4, SVC_N("Paper jam error."), true},
    {5, SVC_N("Ink out error."), true},
    {6, SVC_N("Paper out error."), true},
    {7, SVC_N("Paper gap error."), true},
    {16, SVC_N("Maintenance error."), false},
    {17, SVC_N("Tear off mode selected."), true},
    {18, SVC_N("Double feed error."), true},
    {28, SVC_N("Cutter position error."), true},
    {29, SVC_N("Cutter jam error."), true},
    {30, SVC_N("Incompatible combination of ink cartridges installed."), true},
};

// Port error details that the port switch reports as a plain communication error.
bool IsPlainCommunicationError(std::int16_t detail) {
    return detail == -105 || detail == -104 || detail == -103 || detail == -82 || detail == -81;
}

std::int16_t DetailOfGroup(Result group) {
    switch (group) {
        case rc::HeadId:
            return HeadIdErrorDetail;
        case rc::Bid:
            return BidErrorDetail;
        case rc::UsbId:
            return UsbIdErrorDetail;
        case rc::PwSensor:
            return PwSensorErrorDetail;
        case rc::PixelShift:
            return PixelShiftErrorDetail;
        case rc::Ieee1394Id:
            return Ieee1394IdErrorDetail;
        case rc::EepromCopy:
            return EepromCopyErrorDetail;
        default:
            return 0;
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
    frame.SetOperationState(
        mode::Append, Format(Tr("%1, Gray: %2, Cyan: %3, Magenta: %4"), {pct(l[0]), pct(l[6]), pct(l[1]), pct(l[2])}));
    frame.SetOperationState(mode::Line, " Yellow: ");
    frame.SetOperationState(mode::Append,
                            Format(Tr("%1, Light Cyan: %2, Light Magenta: %3"), {pct(l[3]), pct(l[4]), pct(l[5])}));
}

}  // namespace

Result WaitForMode(StatusFrame& frame, ReadyWait wait) {
    switch (wait) {
        case ReadyWait::None:
            return rc::Ok;
        case ReadyWait::Quiet:
            if (Result r = WaitUntilReady(frame, 0); r != rc::Ok) {
                ReportErrorCode(frame, r);
                return r;
            }
            return rc::Ok;
        case ReadyWait::WithMessages:
            return WaitUntilReady(frame, 1);
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
                    case Group::Adjustment:
                        a.adjustment[static_cast<std::size_t>(f.item)] = true;
                        break;
                    case Group::Maintenance:
                        a.maintenance[static_cast<std::size_t>(f.item)] = true;
                        break;
                    case Group::Appendix:
                        a.appendix[static_cast<std::size_t>(f.item)] = true;
                        break;
                    case Group::CheckPattern:
                        break;
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
            case state::Ready:
                return rc::Ok;
            case state::Error:
            case state::BeforeInkCharge:
                return rc::PrinterError;
            case state::Busy:
                activity = "Printer is busy.";
                break;
            case state::Printing:
                activity = "Printer is printing.";
                break;
            case state::Cleaning:
                activity = "Printer is cleaning.";
                break;
            default:
                break;
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
        case state::Error:
            ReportPrinterError(frame);
            return;
        case state::Busy:
            frame.SetOperationState(mode::Report, "Printer is busy.");
            break;
        case state::Printing:
            frame.SetOperationState(mode::Report, "Printer is printing.");
            break;
        case state::Cleaning:
            frame.SetOperationState(mode::Report, "Printer is cleaning.");
            break;
        case state::BeforeInkCharge:
            frame.SetOperationState(mode::Error, "Printer is before initial ink charge.");
            break;
        case state::Ready:
            frame.SetOperationState(mode::Report, "Printer is ready.");
            ReportInks(frame);
            break;
        default:
            break;
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
            ReportLostCommunication(
                frame, IsPlainCommunicationError(detail) ? "Communication error." : kCommunicationErrorOccurred);
            break;
        }
        case rc::NoPacketProtocol:
        case rc::Link3000:
            ReportLostCommunication(frame, kCommunicationErrorOccurred);
            break;
        case rc::BadPortCode:
            frame.SetOperationState(mode::Error, kCommunicationErrorOccurred);
            frame.SetOperationState(mode::Line, kCheckCable);
            SetFeatureAvailability(frame, 3);
            break;
        case rc::Channel:
            GetD4ErrorCode();  // read to clear the library's detail; the message is the same for all
            ReportLostCommunication(frame, kCommunicationErrorOccurred);
            break;
        case rc::FileOpen:
            frame.SetOperationState(mode::Error, "Cannot file open.");
            break;
        case rc::PrinterError:
            ReportPrinterError(frame);
            break;
        case rc::NoLibrary:
            frame.SetOperationState(mode::Error, "Cannot found the DLL files.");
            break;
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
        case rc::EepromCopy:
            ReportDetail(frame, code);
            break;
        default:
            break;
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
