#include "journal/Refurbishment.h"

#include "i18n/Translate.h"

#include <algorithm>

namespace svc::journal {

namespace {

bool HasLine(const OperationRecord& op, const char* line) {
    return std::find(op.memo.begin(), op.memo.end(), line) != op.memo.end();
}

}  // namespace

bool IsRefurbishment(const OperationRecord& op) {
    return op.name == "doa" || op.name == "doa-finish" || op.name.find("ExchangePnl") != std::string::npos ||
           op.name.find("ExchangeSequence1Pnl") != std::string::npos;
}

std::optional<Interrupted> FindInterruptedRefurbishment(Store& store, const std::string& bench, int model, int port) {
    // Newest first: the last refurbishment that started the exchange decides.
    // One that stopped before it started the exchange changed nothing, so an
    // earlier interruption still stands behind it.
    const std::vector<SessionRecord> sessions = store.Sessions("");
    for (auto s = sessions.rbegin(); s != sessions.rend(); ++s) {
        if (s->bench != bench || s->model != model || s->port != port) continue;
        const std::vector<OperationRecord> ops = store.Operations(s->id);
        for (auto op = ops.rbegin(); op != ops.rend(); ++op) {
            if (!IsRefurbishment(*op)) continue;
            if (HasLine(*op, kStageDeliverySetting)) return std::nullopt;  // completed
            if (HasLine(*op, kStageExchangeRequested) || HasLine(*op, kStageExchangeRunning) ||
                HasLine(*op, kStageExchangeEnded)) {
                const bool ended = HasLine(*op, kStageExchangeEnded);
                return Interrupted{*s, *op, ended || HasLine(*op, kStageExchangeRunning), ended};
            }
        }
    }
    return std::nullopt;
}

std::string DescribeInterrupted(const Interrupted& found) {
    const char* const pattern =
        found.exchangeEnded
            ? Tr("A refurbishment for DOA of this printer (journal operation %1, %2 UTC) stopped after the "
                 "transportation liquid exchange, before the EEPROM was reset to the delivery setting.")
        : found.exchangeSeen
            ? Tr("A refurbishment for DOA of this printer (journal operation %1, %2 UTC) stopped during the "
                 "transportation liquid exchange.")
            : Tr("A refurbishment for DOA of this printer (journal operation %1, %2 UTC) stopped after the "
                 "transportation liquid exchange was started.");
    return Format(pattern, {std::to_string(found.operation.id), found.operation.started});
}

}  // namespace svc::journal
