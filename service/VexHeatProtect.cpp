#include "service/VexHeatProtect.h"

#include "eeprom/VexEeprom.h"
#include "link/Host.h"
#include "service/VexFactory.h"
#include "i18n/Translate.h"

#include <cstdint>

namespace svc {

namespace {

const char* const kConfirm = "Confirm";
// clang-format off
const char* const kNotNecessary = SVC_N("It's not necessary to execute this function in case when you've not replaced 1.main board, 2.PS board, and 3.CR motor with new one.");
const char* const kWriteQuestion = SVC_N("Once you select OK button, a value for the CR motor drive dispersion will automatically be registered.");
// clang-format on
const char* const kRegistered = SVC_N("A value for the CR motor drive dispersion has successfully registered.");

// Measurement drives: mode 4 then mode 3, over the same distance.
constexpr std::uint8_t kModeA = 4;
constexpr std::uint8_t kModeB = 3;
constexpr std::int16_t kMeasureDistance = 1097;
constexpr std::int16_t kStartPosition = 97;
constexpr int kWarmUpRuns = 5;

// One run of measurement drives in one mode; adds each reading to `sum`.
Result MeasureRun(StatusFrame& frame, std::uint8_t driveMode, std::uint32_t& sum) {
    for (int i = 0; i < kCRMeasurementsPerMode; ++i) {
        if (Result r = Factory().MeasureCRDrive(driveMode, 0, kMeasureDistance); r != rc::Ok) return r;
        if (Result r = WaitUntilReady(frame, 0); r != rc::Ok) return r;
        std::uint8_t low = 0;
        std::uint8_t high = 0;
        if (Result r = EepromRead(eep::CrMeasurement, low); r != rc::Ok) return r;
        if (Result r = EepromRead(eep::CrMeasurement + 1, high); r != rc::Ok) return r;
        if (Result r = Factory().MoveCarriage(1, kStartPosition, 0); r != rc::Ok) return r;
        sum += static_cast<std::uint32_t>(high) * 256u + low;
    }
    return rc::Ok;
}

}  // namespace

int DispersionFromSums(std::uint32_t sumA, std::uint32_t sumB) {
    // Both sums stay far below 2^31, so their difference is exact.
    const long long d = (static_cast<long long>(sumA) - static_cast<long long>(sumB) + 711) / 3;
    long long v = d * 32 / 10 + 75;
    if (d > 50) v = 235;
    if (d < -70) v = -149;
    return static_cast<int>(v / 2);
}

Result TPHeatProtect::MeasureDispersion(StatusFrame& frame) {
    std::uint32_t sumA = 0;
    std::uint32_t sumB = 0;
    if (Result r = Factory().LeaveHome(); r != rc::Ok) return r;
    if (Result r = Factory().MoveCarriage(20, kStartPosition, 0); r != rc::Ok) return r;
    for (int i = 0; i < kWarmUpRuns; ++i) {
        if (Result r = Factory().MoveCarriage(1, kMeasureDistance, 0); r != rc::Ok) return r;
        if (Result r = Factory().MoveCarriage(1, kStartPosition, 0); r != rc::Ok) return r;
    }
    if (Result r = WaitUntilReady(frame, 0); r != rc::Ok) return r;
    if (Result r = MeasureRun(frame, kModeA, sumA); r != rc::Ok) return r;
    if (Result r = WaitUntilReady(frame, 0); r != rc::Ok) return r;
    if (Result r = MeasureRun(frame, kModeB, sumB); r != rc::Ok) return r;
    if (Result r = EepromWrite(eep::CrDispersion, ByteFromSigned(DispersionFromSums(sumA, sumB))); r != rc::Ok)
        return r;
    if (Result r = Factory().ApplySettings(); r != rc::Ok) return r;
    if (Result r = Factory().CarriageHome(); r != rc::Ok) return r;
    return rc::Ok;
}

Result TPHeatProtect::WriteStandardValue() { return EepromWrite(eep::CrDispersion, eep::CrDispersionSkipped); }

void TPHeatProtect::ClearReplacedParts(FeatureFrame& frame) {
    for (const char* box : kReplacedPartBoxes) frame.SetChecked(box, false);
}

void TPHeatProtect::CRHeatProtectOffsetOKBtnClick(FeatureFrame& frame) {
    frame.SetOperationState(mode::Report, "");
    host().RepaintMainWindow();
    const bool partReplaced =
        frame.Checked(kReplaceMainBoard) || frame.Checked(kReplaceCRMotor) || frame.Checked(kReplacePSBoard);
    if (!partReplaced) {
        host().Sleep(100);
        frame.SetOperationState(mode::Report, kNotNecessary);
        return;
    }
    const bool measure = frame.Checked(kReplaceCRMainShaft) && frame.Checked(kReplaceCRSubShaft);
    const char* question =
        measure ? SVC_N("Once you select OK button, the CR motor drive dispersion measurement sequence will be run.")
                : kWriteQuestion;
    if (host().MessageBox(BoxOwner::MainWindow, question, kConfirm, BoxIcon::Question, BoxButtons::OkCancel) !=
        BoxAnswer::Ok)
        return;
    const char* running = measure ? SVC_N("Now, CR motor drive dispersion measurement sequence is running.")
                                  : SVC_N("Now, a value for the CR motor drive dispersion is writing.");
    if (Result r = frame.SetOperationState(mode::Busy, running); r != rc::Ok) {
        frame.ReportErrorCode(r);
        return;
    }
    if (Result r = measure ? MeasureDispersion(frame) : WriteStandardValue(); r != rc::Ok) {
        frame.ReportErrorCode(r);
        return;
    }
    frame.SetOperationState(mode::Done, kRegistered);
}

TPHeatProtect& HeatProtect() {
    static TPHeatProtect heatProtect;
    return heatProtect;
}

}  // namespace svc
