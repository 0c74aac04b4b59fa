#include "vprinter/engine/Deviations.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <random>

namespace vp {

namespace {

struct Entry {
    std::string name;
    int lo, hi;
    const char* unit;
    std::function<int&(Deviations&)> field;
    int multiple = 1;  // the value must be a multiple of this
};

// The clog.INK names, in the order of vp::Ink.
constexpr const char* kClogInks[7] = {"black", "cyan", "magenta", "yellow", "light-cyan", "light-magenta", "gray"};
constexpr int kMostCleanings = 9;

int ClogInk(const std::string& name) {
    for (int i = 0; i < 7; ++i)
        if (name == std::string("clog.") + kClogInks[i]) return i;
    return -1;
}

bool ParseNumber(const std::string& text, int& out) {
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    if (begin != end && *begin == '+') ++begin;
    const auto [at, ec] = std::from_chars(begin, end, out);
    return begin != end && ec == std::errc() && at == end;
}

// "none" (or "0"), or nozzles 1-48 separated by commas, each with ":N" for
// the cleanings it needs (1 without).
bool ParseClogs(const std::string& value, std::array<std::uint8_t, Deviations::kNozzles>& out, std::string* error) {
    std::array<std::uint8_t, Deviations::kNozzles> clogs{};
    if (value != "none" && value != "0") {
        std::size_t at = 0;
        while (at <= value.size()) {
            const std::size_t comma = std::min(value.find(',', at), value.size());
            const std::string item = value.substr(at, comma - at);
            const std::size_t colon = item.find(':');
            int nozzle = 0, times = 1;
            if (!ParseNumber(item.substr(0, colon), nozzle) ||
                (colon != std::string::npos && !ParseNumber(item.substr(colon + 1), times))) {
                if (error) *error = "'" + item + "' is not NOZZLE or NOZZLE:CLEANINGS";
                return false;
            }
            if (nozzle < 1 || nozzle > Deviations::kNozzles || times < 1 || times > kMostCleanings) {
                if (error)
                    *error = "'" + item + "': nozzles are 1 to " + std::to_string(Deviations::kNozzles) +
                             ", cleanings 1 to " + std::to_string(kMostCleanings);
                return false;
            }
            clogs[static_cast<std::size_t>(nozzle - 1)] = static_cast<std::uint8_t>(times);
            at = comma + 1;
        }
    }
    out = clogs;
    return true;
}

std::string ShowClogs(const std::array<std::uint8_t, Deviations::kNozzles>& clogs) {
    std::string text;
    for (int n = 0; n < Deviations::kNozzles; ++n) {
        const int times = clogs[static_cast<std::size_t>(n)];
        if (times == 0) continue;
        text += (text.empty() ? "" : ",") + std::to_string(n + 1);
        if (times > 1) text += ":" + std::to_string(times);
    }
    return text.empty() ? "none" : text;
}

const std::vector<Entry>& Table() {
    static const std::vector<Entry> table = [] {
        std::vector<Entry> t;
        static const char* kVsd[4] = {"vsd1", "vsd2", "vsd2d", "vsd4"};
        for (int v = 0; v < 4; ++v)
            for (int head = 0; head < 2; ++head)
                t.push_back({std::string("bid.") + kVsd[v] + (head == 0 ? ".black" : ".color"), -72, 72,
                             "1/1440 inch, return pass lands (value - error) to the left",
                             [head, v](Deviations& d) -> int& {
                                 return d.bid[static_cast<std::size_t>(head)][static_cast<std::size_t>(v)];
                             }});
        t.push_back({"pf", -4, 4, "0.5 % of each feed, feed is (value - error) x 0.5 % long",
                     [](Deviations& d) -> int& { return d.pf; }});
        t.push_back(
            {"head-angle", -20, 20, "lever steps, 0 straight", [](Deviations& d) -> int& { return d.headAngle; }});
        t.push_back({"pw.top", -16, 16, "1/180 inch", [](Deviations& d) -> int& { return d.pwTop; }});
        t.push_back({"pw.bottom", -16, 16, "1/180 inch", [](Deviations& d) -> int& { return d.pwBottom; }});
        t.push_back({"pw.left", -8, 24, "1/180 inch", [](Deviations& d) -> int& { return d.pwLeft; }});
        t.push_back({"pw.right", -8, 24, "1/180 inch", [](Deviations& d) -> int& { return d.pwRight; }});
        t.push_back({"pg.main-right", -5, 5, "platen gap steps at the main shaft right point",
                     [](Deviations& d) -> int& { return d.pgMainRight; }});
        t.push_back({"pg.main-left", -5, 5, "platen gap steps at the main shaft left point",
                     [](Deviations& d) -> int& { return d.pgMainLeft; }});
        t.push_back({"pg.sub-right", -5, 5, "platen gap steps at the sub shaft right point",
                     [](Deviations& d) -> int& { return d.pgSubRight; }});
        t.push_back({"pg.sub-left", -5, 5, "platen gap steps at the sub shaft left point",
                     [](Deviations& d) -> int& { return d.pgSubLeft; }});
        for (int line = 0; line < 6; ++line)
            t.push_back({std::string("shift.") + static_cast<char>('a' + line), -5, 5, "1/1440 inch",
                         [line](Deviations& d) -> int& { return d.shift[static_cast<std::size_t>(line)]; }});
        t.push_back({"first-dot", -72, 72, "1/2880 inch", [](Deviations& d) -> int& { return d.firstDot; }});
        // The cut value is chosen from a list in steps of 8: an error between
        // two steps could not be put right, so the cutter is off by whole steps.
        t.push_back({"cut", -64, 64, "1/360 inch, a multiple of 8", [](Deviations& d) -> int& { return d.cut; }, 8});
        return t;
    }();
    return table;
}

const Entry* Find(const std::string& name) {
    for (const Entry& e : Table())
        if (e.name == name) return &e;
    return nullptr;
}

}  // namespace

bool Deviations::Set(const std::string& assignment, std::string* error) {
    const std::size_t eq = assignment.find('=');
    if (eq == std::string::npos) {
        if (error) *error = "'" + assignment + "' is not NAME=VALUE";
        return false;
    }
    return Set(assignment.substr(0, eq), assignment.substr(eq + 1), error);
}

bool Deviations::Set(const std::string& name, const std::string& value, std::string* error) {
    if (const int ink = ClogInk(name); ink >= 0) {
        std::string why;
        if (ParseClogs(value, clogs[static_cast<std::size_t>(ink)], &why)) return true;
        if (error) *error = "deviation " + name + ": " + why;
        return false;
    }
    const Entry* entry = Find(name);
    if (!entry) {
        if (error)
            *error = "unknown deviation '" + name + "' (known: " + [] {
                std::string all;
                for (const std::string& n : Names()) all += (all.empty() ? "" : ", ") + n;
                return all;
            }() + ")";
        return false;
    }
    const char* begin = value.data();
    const char* end = value.data() + value.size();
    if (begin != end && *begin == '+') ++begin;
    int v = 0;
    const auto [at, ec] = std::from_chars(begin, end, v);
    if (begin == end || ec != std::errc() || at != end) {
        if (error) *error = "deviation " + name + ": '" + value + "' is not a whole number";
        return false;
    }
    if (v < entry->lo || v > entry->hi) {
        if (error)
            *error = "deviation " + name + ": " + value + " is outside " + std::to_string(entry->lo) + " to " +
                     std::to_string(entry->hi);
        return false;
    }
    if (v % entry->multiple != 0) {
        if (error)
            *error = "deviation " + name + ": " + value + " is not a multiple of " + std::to_string(entry->multiple);
        return false;
    }
    entry->field(*this) = v;
    return true;
}

std::optional<int> Deviations::Get(const std::string& name) const {
    if (const int ink = ClogInk(name); ink >= 0) {
        int count = 0;
        for (const std::uint8_t times : clogs[static_cast<std::size_t>(ink)]) count += times > 0;
        return count;
    }
    const Entry* entry = Find(name);
    if (!entry) return std::nullopt;
    Deviations copy = *this;
    return entry->field(copy);
}

std::optional<std::string> Deviations::Show(const std::string& name) const {
    if (const int ink = ClogInk(name); ink >= 0) return ShowClogs(clogs[static_cast<std::size_t>(ink)]);
    const std::optional<int> v = Get(name);
    if (!v) return std::nullopt;
    return std::to_string(*v);
}

double Deviations::PlatenTilt(double across) const {
    const double main = pgMainLeft + (pgMainRight - pgMainLeft) * across;
    const double sub = pgSubLeft + (pgSubRight - pgSubLeft) * across;
    return main - sub;
}

void Deviations::Clean(int times) {
    for (auto& ink : clogs)
        for (std::uint8_t& t : ink) t = static_cast<std::uint8_t>(std::max(0, t - times));
}

std::vector<std::string> Deviations::Names() {
    std::vector<std::string> names;
    for (const Entry& e : Table()) names.push_back(e.name);
    for (const char* ink : kClogInks) names.push_back(std::string("clog.") + ink);
    return names;
}

std::string Deviations::Help() {
    std::string text;
    for (const Entry& e : Table()) {
        std::string line = "      " + e.name;
        line.resize(24, ' ');
        line += std::to_string(e.lo) + " to " + std::to_string(e.hi);
        line.resize(36, ' ');
        text += line + e.unit + "\n";
    }
    text +=
        "      clog.INK          nozzles 1 to 48: N,N:CLEANINGS,... or none; INK one of black, cyan,\n"
        "                        magenta, yellow, light-cyan, light-magenta, gray\n";
    return text;
}

std::string Deviations::Summary() const {
    std::string text;
    for (const std::string& name : Names())
        if (*Get(name) != 0) text += (text.empty() ? "" : " ") + name + "=" + *Show(name);
    return text.empty() ? "none" : text;
}

Deviations Deviations::Random(std::uint32_t seed) {
    std::mt19937 random(seed);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    Deviations d;
    d.headAngle = pick(-20, 20);
    for (auto& head : d.bid)
        for (int& v : head) v = pick(-72, 72);
    d.pf = pick(-4, 4);
    d.pwTop = pick(-16, 16);
    d.pwBottom = pick(-16, 16);
    d.pwLeft = pick(-8, 24);
    d.pwRight = pick(-8, 24);
    for (int& s : d.shift) s = pick(-5, 5);
    d.firstDot = pick(-72, 72);
    d.cut = 8 * pick(-8, 8);
    return d;
}

}  // namespace vp
