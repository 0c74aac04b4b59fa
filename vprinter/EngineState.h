// The print engine's part of the control socket's "state" line: carriage,
// mechanism activity, adjustment values in use, engine faults and the last
// page written.
#pragma once

#include <string>

namespace vp {

class PrintEngine;

// " carriage=... carriage_at=... activity=... ..." (leading blank).
std::string EngineStateFields(const PrintEngine& engine);

// Named carriage positions: "home", "pg1" (630, main shaft right), "pg2"
// (2580, main left), "pg3" (1020, sub right), "pg4" (2180, sub left),
// "center" (1580), "exchange" (2900), else "-".
const char* CarriagePlace(int position, bool locked);

// Blanks and '%' in a field value as %20 and %25, so a field never splits.
std::string FieldValue(const std::string& text);

}  // namespace vp
