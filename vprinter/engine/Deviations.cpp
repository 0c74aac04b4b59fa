#include "vprinter/engine/Deviations.h"

#include <charconv>
#include <functional>

namespace vp {

namespace {

struct Entry {
    std::string name;
    int lo, hi;
    const char* unit;
    std::function<int&(Deviations&)> field;
};

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
        t.push_back({"head-angle", -20, 20, "lever steps, 0 straight",
                     [](Deviations& d) -> int& { return d.headAngle; }});
        t.push_back({"pw.top", -16, 16, "1/180 inch", [](Deviations& d) -> int& { return d.pwTop; }});
        t.push_back({"pw.bottom", -16, 16, "1/180 inch", [](Deviations& d) -> int& { return d.pwBottom; }});
        t.push_back({"pw.left", -8, 24, "1/180 inch", [](Deviations& d) -> int& { return d.pwLeft; }});
        t.push_back({"pw.right", -8, 24, "1/180 inch", [](Deviations& d) -> int& { return d.pwRight; }});
        for (int line = 0; line < 6; ++line)
            t.push_back({std::string("shift.") + static_cast<char>('a' + line), -5, 5, "1/1440 inch",
                         [line](Deviations& d) -> int& { return d.shift[static_cast<std::size_t>(line)]; }});
        t.push_back({"first-dot", -72, 72, "1/2880 inch", [](Deviations& d) -> int& { return d.firstDot; }});
        t.push_back({"cut", -64, 64, "1/360 inch", [](Deviations& d) -> int& { return d.cut; }});
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
    const Entry* entry = Find(name);
    if (!entry) {
        if (error) *error = "unknown deviation '" + name + "' (known: " + [] {
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
    entry->field(*this) = v;
    return true;
}

std::optional<int> Deviations::Get(const std::string& name) const {
    const Entry* entry = Find(name);
    if (!entry) return std::nullopt;
    Deviations copy = *this;
    return entry->field(copy);
}

std::vector<std::string> Deviations::Names() {
    std::vector<std::string> names;
    for (const Entry& e : Table()) names.push_back(e.name);
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
    return text;
}

std::string Deviations::Summary() const {
    std::string text;
    for (const std::string& name : Names())
        if (const int v = *Get(name); v != 0) text += (text.empty() ? "" : " ") + name + "=" + std::to_string(v);
    return text.empty() ? "none" : text;
}

}  // namespace vp
