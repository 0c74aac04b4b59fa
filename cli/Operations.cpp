#include "cli/Operations.h"

#include "cli/CliFrame.h"
#include "link/StatusReport.h"
#include "i18n/Translate.h"

#include <cstdio>

namespace svc::cli {

OperationList FrameOperations() {
    OperationList ops;
    ops.push_back({"get-status", "", SVC_N("the Get Status button: reconnect, read the status, show the ink levels"), 0,
                   0, Group::Adjustment, -1, nullptr, [](CliFrame& frame, const Arguments&) {
                       GetStatus(frame, frame.PortCode());
                       return std::string();
                   }});
    ops.push_back({"paper-feed", "", SVC_N("a \"Paper feed\" button: feed the paper five lines"), 0, 0,
                   Group::Adjustment, -1, nullptr, [](CliFrame& frame, const Arguments&) {
                       PaperFeed(frame);
                       return std::string();
                   }});
    return ops;
}

const OperationList& AllOperations() {
    static const OperationList all = [] {
        OperationList list;
        for (OperationList part :
             {FrameOperations(), EepromOperations(), CheckAdjustOperations(), PositionAdjustOperations(),
              ServiceOperations(), JournalOperations(), ReadPageOperations()})
            for (Operation& op : part) list.push_back(std::move(op));
        return list;
    }();
    return all;
}

const Operation* FindOperation(const std::string& name) {
    for (const Operation& op : AllOperations())
        if (op.name == name) return &op;
    return nullptr;
}

std::string CheckArguments(const Operation& op, const Arguments& args) {
    if (!op.check) return {};
    const std::string error = op.check(args);
    return error.empty() ? error : op.name + ": " + error;
}

std::string Shown(const std::string& word) {
    constexpr std::size_t kLongest = 64;
    std::string shown;
    for (std::size_t i = 0; i < word.size() && i < kLongest; ++i) {
        const auto c = static_cast<unsigned char>(word[i]);
        if (c < 0x20 || c == 0x7F) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            shown += hex;
        } else {
            shown += static_cast<char>(c);
        }
    }
    if (word.size() > kLongest) shown += "...";
    return shown;
}

bool SplitAssignments(const Arguments& args, std::vector<std::pair<std::string, std::string>>& out) {
    out.clear();
    for (const std::string& a : args) {
        const std::size_t eq = a.find('=');
        if (eq == std::string::npos || eq == 0) return false;
        out.emplace_back(a.substr(0, eq), a.substr(eq + 1));
    }
    return true;
}

}  // namespace svc::cli
