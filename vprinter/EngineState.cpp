#include "vprinter/EngineState.h"

#include "vprinter/engine/PrintEngine.h"

namespace vp {

namespace {

const char* ActivityName(Mechanism::Activity a) {
    switch (a) {
        case Mechanism::Activity::Idle:
            return "idle";
        case Mechanism::Activity::Moving:
            return "moving";
        case Mechanism::Activity::Measuring:
            return "measuring";
        case Mechanism::Activity::Cleaning:
            return "cleaning";
        case Mechanism::Activity::InkCharge:
            return "inkcharge";
        case Mechanism::Activity::Exchange:
            return "exchange";
        case Mechanism::Activity::Ejecting:
            return "ejecting";
    }
    return "-";
}

}  // namespace

const char* CarriagePlace(int position, bool locked) {
    if (locked && position == 0) return "home";
    switch (position) {
        case 630:
            return "pg1";
        case 2580:
            return "pg2";
        case 1020:
            return "pg3";
        case 2180:
            return "pg4";
        case 1580:
            return "center";
        case Mechanism::kExchangePosition:
            return "exchange";
        default:
            return "-";
    }
}

std::string FieldValue(const std::string& text) {
    if (text.empty()) return "-";
    std::string out;
    for (char c : text) {
        if (c == ' ')
            out += "%20";
        else if (c == '%')
            out += "%25";
        else
            out += c;
    }
    return out;
}

std::string EngineStateFields(const PrintEngine& engine) {
    const Mechanism& m = engine.Mech();
    std::string s = " carriage=" + std::to_string(m.CarriagePosition());
    s += std::string(" carriage_at=") + CarriagePlace(m.CarriagePosition(), m.CarriageLocked());
    s += std::string(" locked=") + (m.CarriageLocked() ? "1" : "0");
    s += std::string(" activity=") + ActivityName(m.Current());
    s += " exchange_steps=" + std::to_string(m.ExchangeStepsDone());
    s += " engine_fault=" + (m.Fault() ? std::to_string(*m.Fault()) : std::string("-"));
    s += " bid=";
    for (int head = 0; head < 2; ++head)
        for (int vsd = 0; vsd < 4; ++vsd) s += (head || vsd ? "," : "") + std::to_string(m.Bid(head == 0, vsd));
    s += " pf=" + std::to_string(m.Pf()) + " first_dot=" + std::to_string(m.FirstDot());
    s += " page_serial=" + std::to_string(engine.PagesEjected());
    s += " page=" + (engine.PageFiles().empty() ? std::string("-") : FieldValue(engine.PageFiles().back()));
    if (!engine.RefusalReason().empty()) s += " refused=" + FieldValue(engine.RefusalReason());
    return s;
}

}  // namespace vp
