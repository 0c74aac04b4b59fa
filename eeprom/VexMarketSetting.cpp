#include "eeprom/VexMarketSetting.h"

#include "eeprom/FeatureStart.h"
#include "eeprom/VexEeprom.h"
#include "link/Host.h"
#include "link/OutsideLibraries.h"

#include <array>

namespace svc {

void DefaultSetOKBtnClick(FeatureFrame& frame) {
    if (!eepfeature::BeginLenient(frame, "Writing now...")) return;
    if (const Result r = RunWrites(MarketDestinationWrites(frame.ModelCode())); r != rc::Ok) {
        frame.ReportErrorCode(r);
        return;
    }
    frame.SetOperationState(mode::DoneNoWait, "The market destination setting value has written properly.");
    host().MessageBox(BoxOwner::MainWindow, "Click the [OK] button to restart the printer.", "Information",
                      BoxIcon::Information, BoxButtons::Ok);
    frame.SetOperationState(mode::Line,
                            "After a printer finished the initialize operation of printer, click the [Check] button.");
}

void DestCheckBtnClick(FeatureFrame& frame) {
    if (!eepfeature::BeginLenient(frame, "Reading now...")) return;
    std::uint8_t destination = 0, mark = 0, flag = 0;
    Result r = EepromRead(eep::MarketDestination, destination);
    if (r == rc::Ok) r = EepromRead(eep::DestinationMark, mark);
    if (r == rc::Ok) r = EepromRead(eep::DestinationFlag, flag);
    std::array<char, 30> name{};
    if (r == rc::Ok) r = GetModelNameByOsSw(name.data());
    const bool world = frame.ModelCode() == kModel4100;
    std::array<std::uint8_t, eep::ModelNameLength> modelName{};
    if (r == rc::Ok && !world) r = EepromReadBytes(eep::ModelName, modelName);
    if (r != rc::Ok) {
        frame.ReportErrorCode(r);
        return;
    }
    bool right = mark == eep::DestinationMarkSet && flag == eep::DestinationFlagSet;
    if (world) {
        right = right && destination == eep::DestinationWorld;
    } else {
        right = right && destination == eep::DestinationTrnVlk;
        // The string and its terminating 0x00; bytes after the 0x00 are not compared.
        for (std::size_t i = 0; i <= eep::TrnVlkModelName.size(); ++i) {
            const std::uint8_t expected =
                i < eep::TrnVlkModelName.size() ? static_cast<std::uint8_t>(eep::TrnVlkModelName[i]) : 0;
            right = right && modelName[i] == expected;
        }
    }
    if (right) {
        frame.SetOperationState(mode::DoneNoWait, "The market destination is ");
        frame.SetOperationState(mode::Append, world ? "world standard." : "TRN/VLK.");
    } else {
        frame.SetOperationState(mode::Error, "The present market destination setting value is wrong.");
        frame.SetOperationState(mode::Line,
                                "Click the [OK] button to write the market destination setting value in EEPROM.");
    }
    name.back() = '\0';  // the library's string ends within the buffer
    frame.SetOperationState(mode::Line, "The present model name is ");
    frame.SetOperationState(mode::Append, name.data());
}

}  // namespace svc
