#include "vprinter/engine/EngineControl.h"

#include "vprinter/engine/PrintEngine.h"

namespace vp {

const char* EngineControlHelp() {
    return "fault paperout          paper out (printer error 6) until the paper button is pressed\n"
           "fault jam               paper jam (error 4) until the paper button is pressed\n"
           "fault inkout            ink out (error 5) until fault clear, which puts in new cartridges\n"
           "fault cover             cover open (error 2) until fault clear\n"
           "fault lever             release lever position error (error 3) until fault clear\n"
           "fault poweroff          the printer switches itself off\n"
           "fault clear             clear every fault and a refused job\n";
}

std::function<std::optional<std::string>(const std::vector<std::string>&)> EngineControl(
    PrintEngine& engine, std::function<void()> powerOff) {
    return [&engine, powerOff = std::move(powerOff)](const std::vector<std::string>& w) -> std::optional<std::string> {
        if (w.empty() || w[0] != "fault") return std::nullopt;
        if (w.size() != 2) return std::string("ERR usage: fault jam|inkout|cover|lever|paperout|poweroff|clear");
        const std::string& what = w[1];
        if (what == "paperout") engine.InjectFault(Fault::PaperOut);
        else if (what == "jam") engine.InjectFault(Fault::PaperJam);
        else if (what == "inkout") engine.InjectFault(Fault::InkOut);
        else if (what == "cover") engine.InjectFault(Fault::CoverOpen);
        else if (what == "lever") engine.InjectFault(Fault::Lever);
        else if (what == "clear") engine.ClearFaults();
        else if (what == "poweroff") powerOff();
        else return "ERR unknown fault '" + what + "'";
        return "OK fault " + what;
    };
}

}  // namespace vp
