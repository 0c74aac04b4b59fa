// The reader of each kind of page (Readers.cpp); Read() picks one.
#pragma once

#include "pagereader/PageReader.h"

namespace svc::pagereader::detail {

Reading ReadBid(const Image& page, const Context& context);
Reading ReadPf(const Image& page, const Context& context);
Reading ReadHeadAngular(const Image& page, const Context& context);
Reading ReadPw(const Image& page, const Context& context);
Reading ReadPixelShift(const Image& page, const Context& context);
Reading ReadFirstDot(const Image& page, const Context& context);
Reading ReadCut(const Image& page, const Context& context);

// A value read as `estimate` (in steps) from samples that spread by
// `spread` steps: the whole step it proposes and how sure that is (0 when
// the estimate lies half-way between two steps or the samples disagree).
struct Rounded {
    int value = 0;
    double confidence = 0;
};
Rounded RoundEstimate(double estimate, double spread);

// Below this confidence an item gets no value: the page does not show it clearly.
inline constexpr double kMinConfidence = 0.3;

}  // namespace svc::pagereader::detail
