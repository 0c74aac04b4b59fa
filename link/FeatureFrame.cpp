#include "link/FeatureFrame.h"

#include "link/OutsideLibraries.h"
#include "link/VexRaster.h"

#include <charconv>

namespace svc {

void PaperFeed(FeatureFrame& frame) {
    Result r = SendLineFeeds(JobStream(), 5);
    if (r == rc::Ok) r = JobStream().Flush();
    if (r == rc::Ok)
        frame.SetFlag(WindowFlag::CarriageAtHome, 1);
    else
        frame.ReportErrorCode(r);
}

void CloseChannelUnlessExchanging(FeatureFrame& frame) {
    if (frame.Flag(WindowFlag::ExchangeStarted) == 0) {
        D4Termination();
        PortCloseByOsSw();
    } else {
        frame.SetFlag(WindowFlag::ExchangeStarted, 0);
    }
}

int NumberFromText(std::string_view text, int notANumber) {
    std::size_t digitsFrom = 0;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) digitsFrom = 1;
    if (digitsFrom == text.size()) return notANumber;
    for (std::size_t i = digitsFrom; i < text.size(); ++i)
        if (text[i] < '0' || text[i] > '9') return notANumber;
    // from_chars takes a minus sign but not a plus sign.
    const char* first = text.data() + (text[0] == '+' ? 1 : 0);
    int value = 0;
    const auto [end, error] = std::from_chars(first, text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return notANumber;
    return value;
}

}  // namespace svc
