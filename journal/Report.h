// The service report: what was done to a printer in a session, for the
// customer, as one self-contained HTML page (the window prints it to PDF).
// It reads the journal only; every text from the journal is escaped.
#pragma once

#include "journal/Store.h"

#include <cstdint>
#include <string>

namespace svc::journal {

struct ReportScope {
    std::string printer;       // USB ID or head ID; empty: every printer
    std::int64_t session = 0;  // one session; 0: every session of the printer(s)
};

// The report as HTML. Throws StoreError when the journal cannot be read.
std::string ServiceReportHtml(Store& store, const ReportScope& scope);

// Text made safe inside HTML elements and attribute values.
std::string EscapeHtml(const std::string& text);

}  // namespace svc::journal
