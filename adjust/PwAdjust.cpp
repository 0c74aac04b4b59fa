#include "adjust/PwAdjust.h"

#include "adjust/FactoryInJob.h"
#include "link/ErrorDetails.h"
#include "link/VexRemoteComm.h"
#include "service/VexFactory.h"

#include <cstdio>

namespace svc {

namespace {

constexpr int kPwNotANumber = 50;  // outside both ranges: refused

const std::array<TPPWAdjust::Edge, 4> kEdges{{
    {"Right", "PWSensorHMXUCheckBox", "PWSensorHMXUEdit", eep::PwSensorRight, -8, 24, 1, "PWSensorRightPnl"},
    {"Left", "PWSensorHMXDCheckBox", "PWSensorHMXDEdit", eep::PwSensorLeft, -8, 24, 2, "PWSensorLeftPnl"},
    {"Bottom", "PWSensorHMYDCheckBox", "PWSensorHMYDEdit", eep::PwSensorBottom, -16, 16, 4, "PWSensorBottomPnl"},
    {"Top", "PWSensorHMYUCheckBox", "PWSensorHMYUEdit", eep::PwSensorTop, -16, 16, 3, "PWSensorTopPnl"},
}};

// Read order of the Read button: Right, Left, Top, Bottom.
constexpr std::array<int, 4> kReadOrder{0, 1, 3, 2};
// The "Adjusted items" cells are filled Top, Bottom, Right, Left.
constexpr std::array<int, 4> kCellOrder{3, 2, 0, 1};

Result AppendText(TPRaster& stream, const std::string& text) {
    return stream.Append(reinterpret_cast<const std::uint8_t*>(text.data()), static_cast<int>(text.size()));
}

// One black raster block of bytesPerLine x 96 lines, each line given by `line`.
template <typename Line>
Result BlackBlock(TPRaster& s, std::uint16_t bytesPerLine, Line line) {
    if (Result r = SendRasterHeader(s, ink::Black, 1, 2, bytesPerLine, 96); r != rc::Ok) return r;
    for (int j = 0; j < 96; ++j)
        if (Result r = line(j); r != rc::Ok) return r;
    return rc::Ok;
}

#define SVC_TRY(expr)                                    \
    do {                                                 \
        if (Result r_ = (expr); r_ != rc::Ok) return r_; \
    } while (0)

}  // namespace

const std::array<TPPWAdjust::Edge, 4>& TPPWAdjust::Edges() { return kEdges; }

const TPPWAdjust::Edge* TPPWAdjust::FindEdge(std::string_view name) {
    for (const Edge& e : kEdges)
        if (name == e.name || name == e.edit || name == e.checkBox) return &e;
    return nullptr;
}

std::string PwTopScale() {
    return std::string("-16       -12      -8        -4        0        4         8        12       16") + '\0';
}

std::string PwBottomScale() {
    return std::string(" 16        12       8        4         0        -4       -8       -12      -16\r") + '\0';
}

// The value right-aligned in five characters, blanks, the value again at the
// end, CR: "   -8", 70 blanks, "-8"; "    0", 71 blanks, "0"; "   24", 70 blanks, "24".
std::string PwRowLabel(int value) {
    char field[16];
    std::snprintf(field, sizeof field, "%5d", value);
    const std::string tail = std::to_string(value);
    return field + std::string(77 - 5 - tail.size(), ' ') + tail + '\r';
}

const std::array<std::uint8_t, 23>& PwRowEndBlock() {
    static const std::array<std::uint8_t, 23> block{0x1B, 0x40, 0x1B, 0x28, 0x47, 0x01, 0x00, 0x01,
                                                    0x1B, 0x28, 0x55, 0x01, 0x00, 0x0A, 0x1B, 0x28,
                                                    0x76, 0x02, 0x00, 0x51, 0x00, 0x1B, 0x40};
    return block;
}

Result PwFramePattern(TPRaster& s) {
    SVC_TRY(SendJobHeader(s, 10, 0, 10, 0));
    // The same staircase twice, with only a new raster resolution between the blocks.
    for (int block = 0; block < 2; ++block) {
        SVC_TRY(SendRasterResolution(s, 104, 1, 2, 1));
        SVC_TRY(BlackBlock(s, 720, [&s](int j) -> Result {
            if (j < 31 || j > 64 || j % 2 == 0) return RepeatSendLong(s, 720, 0x00);
            const int k = (j - 31) / 2;
            if (k > 0) SVC_TRY(RepeatSendLong(s, 42 * k, 0x00));
            SVC_TRY(RepeatSendLong(s, 40, 0xFF));
            return RepeatSendLong(s, 680 - 42 * k, 0x00);
        }));
    }
    SVC_TRY(SendInitialize(s));
    return s.Flush();
}

Result PwLinePattern(TPRaster& s, int position, bool advance) {
    SVC_TRY(SendJobHeader(s, 10, 0, 10, 0));
    SVC_TRY(SendRasterResolution(s, 104, 1, 2, 1));
    SVC_TRY(BlackBlock(s, 33, [&s, position](int j) -> Result {
        if (j < 8 || j > 87) return RepeatSendLong(s, 33, 0x00);
        SVC_TRY(RepeatSendLong(s, position + 12, 0x00));
        SVC_TRY(RepeatSendLong(s, 1, 0x03));
        return RepeatSendLong(s, 20 - position, 0x00);
    }));
    if (advance) SVC_TRY(SendVerticalMove(s, 81));
    SVC_TRY(SendInitialize(s));
    return s.Flush();
}

// The carriage moves make the printer slower than the host, so a factory
// command can meet a full input buffer: it is then sent again as the job
// stream sends its blocks, rather than ending the print as a communication
// error.
Result TPPWAdjust::PrintPattern(TPRaster& s, TPRemoteComm& remote, TPFactory& factory) {
    SVC_TRY(remote.SendSNBlock());
    SVC_TRY(SendFactoryInJob([&] { return factory.CommandD1(0); }));
    SVC_TRY(SendLineFeeds(s, 1));
    SVC_TRY(s.Flush());
    SVC_TRY(SendFactoryInJob([&] { return factory.CommandC5(24, 1, 2100); }));
    SVC_TRY(SendFactoryInJob([&] { return factory.CommandC5(24, 0, 250); }));
    SVC_TRY(SendFactoryInJob([&] { return factory.MoveCarriage(4, 660, 0); }));
    SVC_TRY(SendFactoryInJob([&] { return factory.CommandF1(0, 1000, 599, 0); }));
    SVC_TRY(PwFramePattern(s));
    SVC_TRY(SendLineFeeds(s, 3));
    SVC_TRY(AppendText(s, PwTopScale()));
    SVC_TRY(SendLineFeeds(s, 1));
    SVC_TRY(s.Flush());
    for (int r = 0; r <= 16; ++r) {
        SVC_TRY(SendFactoryInJob([&] { return factory.MoveCarriage(4, 59, 0); }));
        SVC_TRY(SendFactoryInJob([&] { return factory.CommandF2(1); }));
        SVC_TRY(PwLinePattern(s, r + 1, false));
        SVC_TRY(SendFactoryInJob([&] { return factory.MoveCarriage(4, 2300, 0); }));
        SVC_TRY(SendFactoryInJob([&] { return factory.CommandF2(0); }));
        SVC_TRY(PwLinePattern(s, r + 1, true));
        // Only the even rows carry a label (every second value) and its flush.
        if (r % 2 == 0) {
            SVC_TRY(AppendText(s, PwRowLabel(-8 + 2 * r)));
            SVC_TRY(s.Flush());
        }
        SVC_TRY(s.Append(PwRowEndBlock().data(), static_cast<int>(PwRowEndBlock().size())));
        SVC_TRY(s.Flush());
    }
    SVC_TRY(SendLineFeeds(s, 10));
    SVC_TRY(AppendText(s, PwBottomScale()));
    SVC_TRY(s.Flush());
    SVC_TRY(SendFactoryInJob([&] { return factory.MoveCarriage(4, 660, 0); }));
    SVC_TRY(SendFactoryInJob([&] { return factory.CommandF1(0, 5000, 33, 1); }));
    SVC_TRY(PwFramePattern(s));
    SVC_TRY(SendFactoryInJob([&] { return factory.CommandD1(255); }));
    return SendEndOfJob(s);
}

void TPPWAdjust::PWSensorPrintBtnClick(FeatureFrame& frame) {
    Result r = frame.SetOperationState(mode::Busy, "Printing now...");
    if (r == rc::Ok) r = PrintPattern(JobStream(), RemoteComm(), Factory());
    if (r == rc::Ok)
        r = frame.SetOperationState(mode::Done, "The PW adjustment pattern print has completed.");
    else
        frame.ReportErrorCode(r);
}

void TPPWAdjust::PWSensorInputBtnClick(FeatureFrame& frame) {
    bool any = false;
    for (const Edge& e : kEdges) any = any || frame.Checked(e.checkBox);
    if (!any) {
        frame.SetOperationState(mode::Error, "Please select item.");
        return;
    }
    Result r = frame.SetOperationState(mode::Busy, "Writing now...");
    for (const Edge& e : kEdges) {
        if (r != rc::Ok) break;
        if (!frame.Checked(e.checkBox)) continue;
        const int value = NumberFromText(frame.Text(e.edit), kPwNotANumber);
        if (value < e.low || value > e.high) {
            PwSensorErrorDetail = e.errorItem;
            r = rc::PwSensor;
            break;
        }
        r = EepromWrite(e.address, ByteFromSigned(value));
    }
    if (r == rc::Ok) r = Factory().ApplySettings();
    if (r != rc::Ok) {
        frame.ReportErrorCode(r);
        return;
    }
    // A failed readiness wait reports itself.
    if (frame.SetOperationState(mode::Done, "The PW adjustment value has written properly.") != rc::Ok) return;
    for (int i : kCellOrder)
        if (frame.Checked(kEdges[i].checkBox)) frame.SetAdjustedCell(kEdges[i].cell, frame.Text(kEdges[i].edit));
}

void TPPWAdjust::PWSensorCheckBtnClick(FeatureFrame& frame) {
    for (const Edge& e : kEdges) frame.SetText(e.edit, "");
    Result r = frame.SetOperationState(mode::Busy, "Reading now...");
    std::array<int, 4> values{};
    for (int i : kReadOrder) {
        if (r != rc::Ok) break;
        r = EepromReadSigned(kEdges[i].address, values[i]);
    }
    if (r != rc::Ok) {
        frame.ReportErrorCode(r);
        return;
    }
    for (int i : kReadOrder) frame.SetText(kEdges[i].edit, std::to_string(values[i]));
    for (const Edge& e : kEdges) frame.SetChecked(e.checkBox, false);
    frame.SetOperationState(mode::Done, "The PW adjustment value has read properly.");
}

void TPPWAdjust::EditChange(FeatureFrame& frame, const Edge& edge) {
    frame.SetChecked(edge.checkBox, !frame.Text(edge.edit).empty());
}

void TPPWAdjust::Chosen(FeatureFrame& frame) {
    for (const Edge& e : kEdges) {
        frame.SetText(e.edit, "");
        frame.SetChecked(e.checkBox, false);
    }
}

TPPWAdjust& PWAdjust() {
    static TPPWAdjust adjust;
    return adjust;
}

#undef SVC_TRY

}  // namespace svc
