// A page straight from a scanner, through SANE, for the reader: colour, at a
// resolution the reader reads well, with whatever else the scanner needs set
// by name as scanimage would (source=Flatbed, filename=... for SANE's file
// reader). The image carries the resolution the scanner was set to.
#pragma once

#include "pagereader/Image.h"

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace svc::pagereader {

struct ScanRequest {
    std::string device;  // SANE's device name ("test:0"); empty: the first scanner found
    int dpi = 300;       // the resolution asked for; the nearest the scanner offers is taken
    // Options of the scanner's own, set after mode and resolution, in order.
    std::vector<std::pair<std::string, std::string>> options;
    // The scan is given up when the scanner sends nothing for this long (a
    // lamp warming up and a slow first line included).
    std::chrono::milliseconds stall{std::chrono::seconds(120)};
};

// False when this build was made without SANE.
bool ScanningAvailable();

// Scans one page; std::nullopt with a reason a person can act on when no
// scanner answers, an option cannot be set, or the scan stops.
std::optional<Image> ScanPage(const ScanRequest& request, std::string* error);

// "NAME=VALUE NAME=VALUE ..." (SVCADJUST_SCAN_OPTIONS) as options; false
// with the word that is not NAME=VALUE.
bool ParseScanOptions(const std::string& text, std::vector<std::pair<std::string, std::string>>* options,
                      std::string* error);

}  // namespace svc::pagereader
