#include "cli/Operations.h"

#include "adjust/ColorShiftAdjust.h"
#include "adjust/CutPositionAdjust.h"
#include "adjust/FirstDotAdjust.h"
#include "adjust/PwAdjust.h"
#include "cli/CliFrame.h"
#include "i18n/Translate.h"

#include <cstdio>

namespace svc::cli {

namespace {

// PW sensor: "Top=3 Right=-2". Each named edge gets its text and its check
// box (as typing does); the edges not named are left unchecked, so exactly
// the named ones are written. Without a frame it only checks the names.
std::string PutPwValues(CliFrame* frame, const Arguments& args) {
    std::vector<std::pair<std::string, std::string>> values;
    if (!SplitAssignments(args, values)) return Tr("values are EDGE=VALUE (Top, Bottom, Left, Right)");
    for (const auto& [edge, value] : values)
        if (!TPPWAdjust::FindEdge(edge) || edge.find("PWSensor") == 0)
            return Format(Tr("unknown edge '%1' (Top, Bottom, Left, Right)"), {Shown(edge)});
    if (!frame) return {};
    for (const TPPWAdjust::Edge& e : TPPWAdjust::Edges()) frame->SetChecked(e.checkBox, false);
    for (const auto& [edge, value] : values) {
        const TPPWAdjust::Edge& e = *TPPWAdjust::FindEdge(edge);
        // The whole text goes in (the window's field stops at three
        // characters; cutting it here would turn -100 into -10).
        frame->SetText(e.edit, value);
        PWAdjust().EditChange(*frame, e);
    }
    return {};
}

// Pixel shift: "A=2 F=-1", as above for the lines A to F.
std::string PutPixelShiftValues(CliFrame* frame, const Arguments& args) {
    std::vector<std::pair<std::string, std::string>> values;
    if (!SplitAssignments(args, values)) return Tr("values are LINE=VALUE (A to F)");
    for (const auto& [line, value] : values)
        if (line.size() != 1 || !TPColorShiftAdjust::FindLine(line))
            return Format(Tr("unknown line '%1' (A to F)"), {Shown(line)});
    if (!frame) return {};
    for (const TPColorShiftAdjust::Line& l : TPColorShiftAdjust::Lines()) frame->SetChecked(l.checkBox, false);
    for (const auto& [line, value] : values) {
        const TPColorShiftAdjust::Line& l = *TPColorShiftAdjust::FindLine(line);
        frame->SetText(l.edit, value);  // whole, as above
        ColorShiftAdjust().EditChange(*frame, l);
    }
    return {};
}

// Cut position: the number of a mark, "1" to "17".
std::string CheckCutMark(const Arguments& args) {
    const int mark = NumberFromText(args.at(0), 0);
    if (mark < 1 || mark > cutpos::kItems || args[0] != std::to_string(mark))
        return Format(Tr("the mark is one of 1 to %1, not '%2'"), {std::to_string(cutpos::kItems), Shown(args[0])});
    return {};
}

// What the first dot panel shows: value, gauges and millimetres.
void PrintFirstDot(CliFrame& frame) {
    if (!frame.Succeeding()) return;
    frame.EndLine();
    std::fprintf(frame.Out(), "%s\n",
                 Format(Tr("First dot position: %1 (%2), left margin %3 %, right margin %4 %"),
                        {frame.Text(firstdot::kEdit), frame.Text(firstdot::kRealValue),
                         std::to_string(frame.Position(firstdot::kLeftGauge)),
                         std::to_string(frame.Position(firstdot::kRightGauge))})
                     .c_str());
}

Operation FirstDotStep(const char* name, const char* help, void (*handler)(FeatureFrame&)) {
    return {
        name, "", help, 0, 0, Group::Adjustment, kFirstDotItem, nullptr, [handler](CliFrame& frame, const Arguments&) {
            handler(frame);
            PrintFirstDot(frame);
            return std::string();
        }};
}

}  // namespace

void SetInitialPanelValues(CliFrame& frame) {
    // As the window creates the first dot panel: edit "0", the display of 0.
    const firstdot::Display display = firstdot::DisplayOf(0);
    frame.SetText(firstdot::kEdit, "0");
    frame.SetPosition(firstdot::kLeftGauge, display.left);
    frame.SetPosition(firstdot::kRightGauge, display.right);
    frame.SetText(firstdot::kRealValue, display.millimetres);
}

OperationList PositionAdjustOperations() {
    OperationList ops;

    // ---- PW sensor adjustment ----
    const auto pwChosen = [](CliFrame& frame) { PWAdjust().Chosen(frame); };
    ops.push_back({"pw-print", "", SVC_N("PW sensor \"Print\": print the PW adjustment pattern on plain paper"), 0, 0,
                   Group::Adjustment, kPwItem, pwChosen, [](CliFrame& frame, const Arguments&) {
                       PWAdjust().PWSensorPrintBtnClick(frame);
                       return std::string();
                   }});
    ops.push_back({"pw-read", "", SVC_N("PW sensor \"Read\": show the four stored values"), 0, 0, Group::Adjustment,
                   kPwItem, pwChosen, [](CliFrame& frame, const Arguments&) {
                       PWAdjust().PWSensorCheckBtnClick(frame);
                       if (!frame.Succeeding()) return std::string();
                       frame.EndLine();
                       for (const char* name : {"Top", "Bottom", "Left", "Right"})
                           std::fprintf(frame.Out(), "%s: %s\n", Tr(name),
                                        frame.Text(TPPWAdjust::FindEdge(name)->edit).c_str());
                       return std::string();
                   }});
    ops.push_back({"pw-input", "EDGE=VALUE...",
                   SVC_N("PW sensor \"Input\": write the named edges (Top, Bottom -16..16; Left, Right -8..24)"), 1, 4,
                   Group::Adjustment, kPwItem, pwChosen,
                   [](CliFrame& frame, const Arguments& args) {
                       if (std::string error = PutPwValues(&frame, args); !error.empty()) return error;
                       PWAdjust().PWSensorInputBtnClick(frame);
                       return std::string();
                   },
                   [](const Arguments& args) { return PutPwValues(nullptr, args); }});

    // ---- pixel shift adjustment ----
    const auto shiftChosen = [](CliFrame& frame) { ColorShiftAdjust().Chosen(frame); };
    ops.push_back({"pixel-shift-print", "", SVC_N("pixel shift \"Print\": print the pattern on photo paper"), 0, 0,
                   Group::Adjustment, kPixelShiftItem, shiftChosen, [](CliFrame& frame, const Arguments&) {
                       ColorShiftAdjust().ColorShiftPrintBtnClick(frame);
                       return std::string();
                   }});
    ops.push_back({"pixel-shift-read", "", SVC_N("pixel shift \"Read\": show the six stored values"), 0, 0,
                   Group::Adjustment, kPixelShiftItem, shiftChosen, [](CliFrame& frame, const Arguments&) {
                       ColorShiftAdjust().ColorShiftReadBtnClick(frame);
                       if (!frame.Succeeding()) return std::string();
                       frame.EndLine();
                       for (const TPColorShiftAdjust::Line& l : TPColorShiftAdjust::Lines())
                           std::fprintf(frame.Out(), "%s: %s\n", Tr(l.label), frame.Text(l.edit).c_str());
                       return std::string();
                   }});
    ops.push_back({"pixel-shift-input", "LINE=VALUE...",
                   SVC_N("pixel shift \"Input\": write the named lines A to F (-5..5)"), 1, 6, Group::Adjustment,
                   kPixelShiftItem, shiftChosen,
                   [](CliFrame& frame, const Arguments& args) {
                       if (std::string error = PutPixelShiftValues(&frame, args); !error.empty()) return error;
                       ColorShiftAdjust().ColorShiftInputOKBtnClick(frame);
                       return std::string();
                   },
                   [](const Arguments& args) { return PutPixelShiftValues(nullptr, args); }});

    // ---- first dot position adjustment ----
    ops.push_back({"first-dot-print", "", SVC_N("first dot position \"Print\": print the one-line pattern"), 0, 0,
                   Group::Adjustment, kFirstDotItem, nullptr, [](CliFrame& frame, const Arguments&) {
                       LandMarginPrintBtnClick(frame);
                       return std::string();
                   }});
    ops.push_back({"first-dot-read", "", SVC_N("first dot position \"Read\": show the stored value"), 0, 0,
                   Group::Adjustment, kFirstDotItem, nullptr, [](CliFrame& frame, const Arguments&) {
                       LandMarginCheckBtnClick(frame);
                       PrintFirstDot(frame);
                       return std::string();
                   }});
    ops.push_back({"first-dot-input", "[VALUE]",
                   SVC_N("first dot position \"Input\": write VALUE (-72..72), or else the value the panel holds "
                         "(0 until a read or an arrow operation changes it)"),
                   0, 1, Group::Adjustment, kFirstDotItem, nullptr, [](CliFrame& frame, const Arguments& args) {
                       if (!args.empty()) {
                           frame.SetText(firstdot::kEdit, args[0]);
                           LandMarginInputUpDownClick(frame);
                       }
                       LandMarginInputBtnClick(frame);
                       return std::string();
                   }});
    ops.push_back(FirstDotStep("first-dot-left-edge", SVC_N("first dot position: to the edge of left (-72)"),
                               GotoLeftEdgeBitBtnClick));
    ops.push_back(FirstDotStep("first-dot-step-left", SVC_N("first dot position: to the left four points at a time"),
                               SteptoLeftBitBtnClick));
    ops.push_back(
        FirstDotStep("first-dot-centering", SVC_N("first dot position: centering (0)"), CenteringBitBtnClick));
    ops.push_back(FirstDotStep("first-dot-step-right", SVC_N("first dot position: to the right four points at a time"),
                               SteptoRightBitBtnClick));
    ops.push_back(FirstDotStep("first-dot-right-edge", SVC_N("first dot position: to the edge of right (72)"),
                               GotoRightEdgeBitBtnClick));

    // ---- cut position adjustment ----
    ops.push_back({"cut-print", "", SVC_N("cut position \"Print\": print the cut position pattern on roll paper"), 0, 0,
                   Group::Adjustment, kCutPositionItem, nullptr, [](CliFrame& frame, const Arguments&) {
                       CutPosAdjustPrintBtnClick(frame);
                       return std::string();
                   }});
    ops.push_back({"cut-input", "MARK",
                   SVC_N("cut position \"Input\": send the number of the mark cut correctly, 1 to 17 (the middle "
                         "mark, 9, is the value 0); needs cut-print first"),
                   1, 1, Group::Adjustment, kCutPositionItem, nullptr,
                   [](CliFrame& frame, const Arguments& args) {
                       if (std::string error = CheckCutMark(args); !error.empty()) return error;
                       frame.SetItemIndex(cutpos::kList, NumberFromText(args[0], 0) - 1);
                       frame.SetText(cutpos::kList, args[0]);
                       CutPosAdjustInputBtnClick(frame);
                       return std::string();
                   },
                   CheckCutMark});
    return ops;
}

}  // namespace svc::cli
