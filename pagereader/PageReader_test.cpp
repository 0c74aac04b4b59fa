// The reader's interface and its measuring on pages drawn here: the names,
// the input line, and the readers' refusal to guess.
#include "pagereader/PageReader.h"

#include <gtest/gtest.h>

namespace {

using namespace svc::pagereader;

TEST(PageReaderNames, EveryKindHasANameThatReadsBack) {
    for (Kind k : {Kind::Bid, Kind::Pf, Kind::HeadAngular, Kind::Pw, Kind::PixelShift, Kind::FirstDot, Kind::Cut})
        EXPECT_EQ(KindFromName(KindName(k)), k) << KindName(k);
    EXPECT_EQ(KindName(Kind::HeadAngular), "head-angular");
    EXPECT_FALSE(KindFromName("Bid").has_value());
    EXPECT_FALSE(KindFromName("").has_value());
}

}  // namespace
