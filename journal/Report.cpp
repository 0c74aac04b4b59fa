#include "journal/Report.h"

#include "journal/Recorder.h"
#include "i18n/Translate.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <set>

namespace svc::journal {

namespace {

std::string Hex(int v) {
    char b[8];
    std::snprintf(b, sizeof b, "0x%02X", v & 0xFF);
    return b;
}

std::string ModelText(int code) {
    if (code == 1) return "Corvid Lumen 4100";
    if (code == 2) return "Corvid Lumen 4200";
    return Format(Tr("model %1"), {std::to_string(code)});
}

std::string PortText(int code) {
    static const std::pair<int, const char*> kPorts[] = {{1028, "LPT1"},   {1029, "LPT2"},   {1030, "LPT3"},
                                                         {1025, "ZQUSB1"}, {1026, "ZQUSB2"}, {1027, "ZQUSB3"}};
    for (const auto& [port, name] : kPorts)
        if (port == code) return name;
    return Format(Tr("port %1"), {std::to_string(code)});
}

// The length of the valid UTF-8 sequence at `i`, or 0.
std::size_t Utf8Length(const std::string& s, std::size_t i) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (n == 0 || (n == 2 && c < 0xC2) || i + n > s.size()) return 0;
    for (std::size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
    if (n == 3) {
        const auto c1 = static_cast<unsigned char>(s[i + 1]);
        if ((c == 0xE0 && c1 < 0xA0) || (c == 0xED && c1 >= 0xA0)) return 0;  // overlong, surrogate
    }
    if (n == 4) {
        const auto c1 = static_cast<unsigned char>(s[i + 1]);
        if ((c == 0xF0 && c1 < 0x90) || c > 0xF4 || (c == 0xF4 && c1 >= 0x90)) return 0;
    }
    return n;
}

// An item's bytes as one operation (or session) changed them.
struct Change {
    Item item;
    std::map<int, std::optional<std::uint8_t>> before;  // address -> value before the first write
    std::map<int, std::uint8_t> after;                  // address -> last value written
    bool unsure = false;                                // a last write may not have arrived
};

bool IsCounter(const std::string& name) {
    return name.find("count") != std::string::npos || name.find("Count") != std::string::npos;
}

// Items whose value is one signed byte, shown also as a number.
bool IsSignedAdjustment(const std::string& name) {
    for (const char* prefix : {"PW sensor", "VSD", "First dot", "PF adjustment", "Pixel shift", "CR motor"})
        if (name.rfind(prefix, 0) == 0) return true;
    return false;
}

std::vector<Change> Changes(const OperationRecord& op) {
    std::vector<Change> out;
    for (const ByteRecord& b : op.bytes) {
        if (b.access != Access::Write) continue;
        const Item item = ItemAt(b.address);
        auto it = std::find_if(out.begin(), out.end(), [&](const Change& c) { return c.item.first == item.first; });
        if (it == out.end()) {
            out.push_back({item, {}, {}, false});
            it = out.end() - 1;
        }
        if (!it->before.count(b.address)) it->before[b.address] = b.previous;
        it->after[b.address] = b.value;
    }
    // Whether each item's last write arrived.
    for (Change& c : out) {
        for (auto r = op.bytes.rbegin(); r != op.bytes.rend(); ++r)
            if (r->access == Access::Write && c.after.count(r->address)) {
                if (r->result != 1) c.unsure = true;
                break;
            }
    }
    return out;
}

std::string Bytes(const Change& c, bool before) {
    std::string out;
    for (const auto& [address, value] : c.after) {
        std::optional<std::uint8_t> v = before ? c.before.at(address) : std::optional<std::uint8_t>(value);
        out += (out.empty() ? "" : " ") + (v ? Hex(*v) : std::string("?"));
    }
    // A counter (little-endian, unsigned) also as its number, when all its bytes are known.
    if (IsCounter(c.item.name) && static_cast<int>(c.after.size()) == c.item.size && c.item.size <= 4) {
        std::uint32_t value = 0;
        int shift = 0;
        for (const auto& [address, after] : c.after) {
            const std::optional<std::uint8_t> v = before ? c.before.at(address) : std::optional<std::uint8_t>(after);
            if (!v) return out;
            value |= static_cast<std::uint32_t>(*v) << shift;
            shift += 8;
        }
        out += " (" + std::to_string(value) + ")";
    }
    if (c.after.size() == 1 && IsSignedAdjustment(c.item.name)) {
        const auto v = before ? c.before.begin()->second : std::optional<std::uint8_t>(c.after.begin()->second);
        if (v) out += " (" + std::to_string(static_cast<int>(static_cast<std::int8_t>(*v))) + ")";
    }
    return out;
}

std::string Addresses(const Change& c) {
    const int first = c.after.begin()->first, last = c.after.rbegin()->first;
    return first == last ? Hex(first) : Hex(first) + "-" + Hex(last);
}

bool AllZero(const Change& c) {
    return std::all_of(c.after.begin(), c.after.end(), [](const auto& kv) { return kv.second == 0; });
}

const char* const kStyle =
    "body{font-family:sans-serif;font-size:10pt;margin:2em}"
    "h1{font-size:16pt}h2{font-size:13pt;margin-top:1.5em;border-bottom:1px solid #888}"
    "table{border-collapse:collapse;margin:0.5em 0}td,th{border:1px solid #999;padding:2px 6px;text-align:left}"
    "th{background:#eee}.failed{color:#b00000}.note{color:#555}";

}  // namespace

std::string EscapeHtml(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        const std::size_t n = Utf8Length(text, i);
        if (n == 0) {  // not UTF-8: the replacement character
            out += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        if (n > 1) {
            out.append(text, i, n);
            i += n;
            continue;
        }
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n')
                    out += "\xEF\xBF\xBD";
                else
                    out += c;
        }
        ++i;
    }
    return out;
}

std::string ServiceReportHtml(Store& store, const ReportScope& scope) {
    std::vector<SessionRecord> sessions = store.Sessions(scope.printer);
    if (scope.session != 0)
        sessions.erase(std::remove_if(sessions.begin(), sessions.end(),
                                      [&](const SessionRecord& s) { return s.id != scope.session; }),
                       sessions.end());
    const std::vector<BackupRecord> backups = store.Backups("");

    // The report is for the customer, in the technician's language; the
    // texts are escaped like the values, whatever a translation holds.
    const auto F = [](const std::string& pattern, std::initializer_list<std::string_view> values) {
        return Format(EscapeHtml(pattern), values);
    };
    const std::string title = EscapeHtml(Tr("Service report"));
    std::string h;
    // TRANSLATORS: the language code of the service report (its HTML "lang"), "de" in German.
    h += "<!DOCTYPE html>\n<html lang=\"" + EscapeHtml(Tr("en")) + "\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
         title + "</title>\n";
    h += std::string("<style>") + kStyle + "</style>\n</head>\n<body>\n<h1>" + title + "</h1>\n";
    const std::string printer = EscapeHtml(scope.printer), number = std::to_string(scope.session);
    if (!scope.printer.empty()) h += "<p>" + F(Tr("Printer %1"), {printer}) + "</p>\n";
    if (sessions.empty()) {
        h += "<p>";
        if (scope.session != 0 && !scope.printer.empty())
            h += F(Tr("The service journal holds no session numbered %1 of printer %2."), {number, printer});
        else if (scope.session != 0)
            h += F(Tr("The service journal holds no session numbered %1."), {number});
        else if (!scope.printer.empty())
            h += F(Tr("The service journal holds no session of printer %1."), {printer});
        else
            h += EscapeHtml(Tr("The service journal holds no session."));
        h += "</p>\n";
    }
    for (const SessionRecord& s : sessions) {
        h += "<h2>" + F(Tr("Session %1, %2 UTC"), {std::to_string(s.id), EscapeHtml(s.started)}) + "</h2>\n<table>\n";
        h += "<tr><th>" + EscapeHtml(Tr("Printer")) + "</th><td>" + EscapeHtml(ModelText(s.model)) + "</td></tr>\n";
        h += "<tr><th>" + EscapeHtml(Tr("USB ID")) + "</th><td>" +
             (s.usbId.empty() ? EscapeHtml(Tr("(not read)")) : EscapeHtml(s.usbId)) + "</td></tr>\n";
        h += "<tr><th>" + EscapeHtml(Tr("Head ID")) + "</th><td>" +
             (s.headId.empty() ? EscapeHtml(Tr("(not read)")) : EscapeHtml(s.headId)) + "</td></tr>\n";
        h += "<tr><th>" + EscapeHtml(Tr("Bench")) + "</th><td>" + EscapeHtml(s.bench) + " (" +
             EscapeHtml(PortText(s.port)) + ")</td></tr>\n";
        h += "</table>\n";

        const std::vector<OperationRecord> ops = store.Operations(s.id);
        std::string adjusted, counters, failures, done;
        std::set<std::int64_t> opIds;
        for (const OperationRecord& op : ops) {
            opIds.insert(op.id);
            const std::string name = EscapeHtml(op.name + (op.arguments.empty() ? "" : " " + op.arguments));
            done += "<li>" + EscapeHtml(op.started) + " " + name +
                    (op.result == 1 ? "" : EscapeHtml(Tr(" (stopped)"))) + "</li>\n";
            for (const Change& c : Changes(op)) {
                const std::string row = "<tr><td>" + EscapeHtml(Tr(c.item.name)) + "</td><td>" + Addresses(c) +
                                        "</td><td>" + Bytes(c, true) + "</td><td>" + Bytes(c, false) +
                                        (c.unsure ? EscapeHtml(Tr(" (may not have arrived)")) : "") + "</td><td>" +
                                        name + "</td></tr>\n";
                if (IsCounter(c.item.name) && AllZero(c))
                    counters += row;
                else
                    adjusted += row;
            }
            if (op.result != 1) {
                char hex[16];
                std::snprintf(hex, sizeof hex, "0x%04X", static_cast<unsigned>(op.result));
                const std::string code =
                    op.result == 0 ? EscapeHtml(Tr("stopped")) : F(Tr("stopped with code %1"), {hex});
                failures += "<li class=\"failed\">" + EscapeHtml(op.started) + " " + name + ": " + code;
                for (const std::string& line : DescribeStop(op)) failures += "; " + EscapeHtml(line);
                for (const std::string& line : op.memo)
                    if (!line.empty()) failures += "<br><span class=\"note\">" + EscapeHtml(line) + "</span>";
                failures += "</li>\n";
            }
        }
        const std::string head = "<table>\n<tr><th>" + EscapeHtml(Tr("Item")) + "</th><th>" +
                                 EscapeHtml(Tr("Address")) + "</th><th>" + EscapeHtml(Tr("Before")) + "</th><th>" +
                                 EscapeHtml(Tr("After")) + "</th><th>" + EscapeHtml(Tr("Operation")) + "</th></tr>\n";
        h += "<h3>" + EscapeHtml(Tr("Adjustments")) + "</h3>\n";
        h += adjusted.empty() ? "<p>" + EscapeHtml(Tr("No value was changed.")) + "</p>\n"
                              : head + adjusted + "</table>\n";
        if (!counters.empty())
            h += "<h3>" + EscapeHtml(Tr("Counters reset")) + "</h3>\n" + head + counters + "</table>\n";
        std::string files;
        for (const BackupRecord& b : backups)
            if (opIds.count(b.operationId))
                files +=
                    "<li>" +
                    F(b.kind == "backup"     ? Tr("%1 UTC: backup taken, printer %2 (journal backup %3)")
                      : b.kind == "restored" ? Tr("%1 UTC: backup restored, printer %2 (journal backup %3)")
                                             : Tr("%1 UTC: earlier backup replaced, printer %2 (journal backup %3)"),
                      {EscapeHtml(b.taken), EscapeHtml(b.printer), std::to_string(b.id)}) +
                    "</li>\n";
        if (!files.empty()) h += "<h3>" + EscapeHtml(Tr("Backups")) + "</h3>\n<ul>\n" + files + "</ul>\n";
        if (!failures.empty()) h += "<h3>" + EscapeHtml(Tr("Failures")) + "</h3>\n<ul>\n" + failures + "</ul>\n";
        h += "<h3>" + EscapeHtml(Tr("Operations")) + "</h3>\n";
        h += done.empty() ? "<p>" + EscapeHtml(Tr("None.")) + "</p>\n" : "<ul>\n" + done + "</ul>\n";
    }
    h += "</body>\n</html>\n";
    return h;
}

}  // namespace svc::journal
