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
           "fault clear             clear every fault and a refused job\n"
           "deviation NAME VALUE    set a hidden mechanical error (see vprinter --help for names)\n"
           "deviation [NAME]        show the errors that are not zero, or one error\n"
           "deviation clog.INK N,.. clog nozzles of one ink (1-48; N:K needs K head cleanings)\n"
           "head-angle N            turn the head-angle lever to position N (-20 to 20, 0 straight;\n"
           "                        the carriage must be away from home)\n"
           "pg-set                  set the platen gap right at the PG adjustment point where the\n"
           "                        carriage stands (PG adjustment: move it there first)\n"
           "roll on|off             roll paper (form feeds cut the roll) or cut sheets\n";
}

std::function<std::optional<std::string>(const std::vector<std::string>&)> EngineControl(
    PrintEngine& engine, std::function<void()> powerOff) {
    return [&engine, powerOff = std::move(powerOff)](const std::vector<std::string>& w) -> std::optional<std::string> {
        if (w.empty()) return std::nullopt;
        if (w[0] == "deviation") {
            if (w.size() == 1) return "OK deviation " + engine.Deviation().Summary();
            if (w.size() == 2) {
                const std::optional<std::string> v = engine.Deviation().Show(w[1]);
                if (!v) return "ERR unknown deviation '" + w[1] + "'";
                return "OK deviation " + w[1] + " " + *v;
            }
            if (w.size() != 3) return std::string("ERR usage: deviation [NAME [VALUE]]");
            Deviations d = engine.Deviation();
            std::string error;
            if (!d.Set(w[1], w[2], &error)) return "ERR " + error;
            engine.SetDeviations(d);
            return "OK deviation " + w[1] + " " + *d.Show(w[1]);
        }
        if (w[0] == "head-angle") {
            if (w.size() != 2) return std::string("ERR usage: head-angle N");
            Deviations probe;
            std::string error;
            if (!probe.Set("head-angle", w[1], &error)) return "ERR " + error;
            if (!engine.TurnHeadAngleLever(*probe.Get("head-angle"), &error)) return "ERR " + error;
            return "OK head-angle " + std::to_string(engine.Deviation().headAngle);
        }
        if (w[0] == "pg-set") {
            if (w.size() != 1) return std::string("ERR usage: pg-set");
            std::string error;
            if (!engine.SetPlatenGap(&error)) return "ERR " + error;
            return std::string("OK pg-set");
        }
        if (w[0] == "roll") {
            if (w.size() != 2 || (w[1] != "on" && w[1] != "off")) return std::string("ERR usage: roll on|off");
            engine.SetRollPaper(w[1] == "on");
            return "OK roll " + w[1];
        }
        if (w[0] != "fault") return std::nullopt;
        if (w.size() != 2) return std::string("ERR usage: fault jam|inkout|cover|lever|paperout|poweroff|clear");
        const std::string& what = w[1];
        if (what == "paperout")
            engine.InjectFault(Fault::PaperOut);
        else if (what == "jam")
            engine.InjectFault(Fault::PaperJam);
        else if (what == "inkout")
            engine.InjectFault(Fault::InkOut);
        else if (what == "cover")
            engine.InjectFault(Fault::CoverOpen);
        else if (what == "lever")
            engine.InjectFault(Fault::Lever);
        else if (what == "clear")
            engine.ClearFaults();
        else if (what == "poweroff")
            powerOff();
        else
            return "ERR unknown fault '" + what + "'";
        return "OK fault " + what;
    };
}

}  // namespace vp
