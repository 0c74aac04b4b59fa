#include "service/VexPGAdjust.h"

#include "link/Host.h"
#include "service/VexFactory.h"
#include "i18n/Translate.h"

namespace svc {

namespace {

const char* const kMovingNow = SVC_N("Moving now...");
constexpr std::uint8_t kPGMoveMode = 16;

// Inclined carriage pattern geometry: three motifs of six 8-byte runs per
// line, 499 blank bytes between them.
constexpr std::uint16_t kInclinedBytesPerLine = 1142;
constexpr std::uint16_t kInclinedLines = 96;
constexpr std::uint8_t kMotifInk = 0xCC;
using Motif = std::array<bool, 6>;  // true: a run of 0xCC, false: a run of 0x00

Motif MotifOf(int row, int pass) {
    if (row == 1)
        return pass == 0 ? Motif{false, true, false, false, false, false}
                         : Motif{false, false, false, false, true, false};
    return pass == 0 ? Motif{true, false, true, false, false, false} : Motif{false, false, false, true, false, true};
}

Result InclinedLine(TPRaster& s, const Motif& motif) {
    for (int m = 0; m < 3; ++m) {
        if (m > 0) {
            for (int gap : {125, 125, 125, 124})
                if (Result r = RepeatSend(s, gap, 0x00); r != rc::Ok) return r;
        }
        for (bool inked : motif)
            if (Result r = RepeatSend(s, 8, inked ? kMotifInk : 0x00); r != rc::Ok) return r;
    }
    return rc::Ok;
}

}  // namespace

const PGPointInfo& InfoOf(PGPoint point) {
    for (const PGPointInfo& info : kPGPoints)
        if (info.point == point) return info;
    return kPGPoints[0];
}

Result InclinedCarriagePattern(TPRaster& s) {
    static const char kLabel[] = "Inclined Carridge\r\n";  // sent with its terminating NUL
    if (Result r = s.Append(reinterpret_cast<const std::uint8_t*>(kLabel), static_cast<int>(sizeof kLabel));
        r != rc::Ok)
        return r;
    if (Result r = SendJobHeader(s, 10, 1, 10, 1); r != rc::Ok) return r;
    for (int row = 0; row < 3; ++row) {
        for (int pass = 0; pass < 2; ++pass) {
            if (Result r = SendRasterResolution(s, 104, 1, 2, 1); r != rc::Ok) return r;
            if (Result r = SendRasterHeader(s, ink::Black, 1, 2, kInclinedBytesPerLine, kInclinedLines); r != rc::Ok)
                return r;
            const Motif motif = MotifOf(row, pass);
            for (int line = 0; line < kInclinedLines; ++line)
                if (Result r = InclinedLine(s, motif); r != rc::Ok) return r;
            if (Result r = SendLineReturn(s); r != rc::Ok) return r;
            if (Result r = SendVerticalMove(s, 0); r != rc::Ok) return r;
            if (Result r = SendDirection(s, 0); r != rc::Ok) return r;
        }
        if (Result r = SendVerticalMove(s, 96); r != rc::Ok) return r;
    }
    if (Result r = SendVerticalMove(s, 110); r != rc::Ok) return r;
    if (Result r = SendInitialize(s); r != rc::Ok) return r;
    return s.Flush();
}

void PGAdjustMove(FeatureFrame& frame, PGPoint point) {
    const PGPointInfo& info = InfoOf(point);
    if (host().MessageBox(BoxOwner::MainWindow, "Set the PG lever to \"+\" position.", "Information",
                          BoxIcon::Information, BoxButtons::OkCancel) != BoxAnswer::Ok)
        return;
    if (Result r = frame.SetOperationState(mode::Busy, kMovingNow); r != rc::Ok) {
        frame.ReportErrorCode(r);
        return;
    }
    if (frame.Flag(WindowFlag::CarriageAtHome) == 1) {
        // The first move of a visit: the carriage leaves home; later ones go point to point.
        if (Result r = Factory().LeaveHome(); r != rc::Ok) {
            frame.ReportErrorCode(r);
            return;
        }
        frame.SetFlag(WindowFlag::CarriageAtHome, 0);
    }
    if (Result r = Factory().MoveCarriage(kPGMoveMode, info.position, 0); r != rc::Ok) {
        frame.ReportErrorCode(r);
        return;
    }
    frame.SetOperationState(mode::Done, info.doneText);
}

void PGAdjustEndPnlClick(FeatureFrame& frame) {
    if (Result r = frame.SetOperationState(mode::Busy, kMovingNow); r != rc::Ok) {
        frame.ReportErrorCode(r);
        return;
    }
    if (Result r = Factory().CarriageHome(); r != rc::Ok) {
        frame.ReportErrorCode(r);
        return;
    }
    frame.SetFlag(WindowFlag::CarriageAtHome, 1);
    frame.SetOperationState(mode::Done, "The carriage has moved to home position.");
}

void PGAdjustPrintBtnClick(FeatureFrame& frame) {
    if (Result r = frame.SetOperationState(mode::Busy, "Printing now..."); r != rc::Ok) {
        frame.ReportErrorCode(r);
        return;
    }
    if (Result r = InclinedCarriagePattern(JobStream()); r != rc::Ok) {
        frame.ReportErrorCode(r);
        return;
    }
    if (Result r = SendEndOfJob(JobStream()); r != rc::Ok) {
        frame.ReportErrorCode(r);
        return;
    }
    frame.SetFlag(WindowFlag::CarriageAtHome, 1);
    frame.SetOperationState(mode::Done, "The PG adjustment pattern print has completed.");
}

}  // namespace svc
