#include "archive/EntryChecks.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Claim {
  int64_t start, end;
  bool granted;
};

// Each row is one pass: its claims in order, each granted or refused.
TEST(ClaimedSpans, ASpanIsGrantedOnlyWhereNoEarlierOneLies) {
  const std::vector<std::vector<Claim>> passes = {
      // In the order of the data, touching: granted; one byte back: refused.
      {{0, 10, true}, {10, 20, true}, {19, 30, false}, {20, 30, true}},
      {{0, 10, true}, {0, 10, false}, {5, 6, false}},
      // Out of order, filling the gaps exactly, then on past the end.
      {{100, 110, true}, {0, 10, true}, {10, 100, true}, {110, 120, true}},
      // Out of order: one byte into any earlier span, either side, is refused.
      {{100, 110, true}, {0, 10, true}, {9, 12, false}, {99, 101, false}, {109, 111, false},
       {119, 121, true}, {120, 130, false}, {50, 60, true}, {45, 51, false}, {59, 61, false}},
      // An empty span still claims its first byte.
      {{0, 10, true}, {10, 10, true}, {10, 11, false}, {11, 11, true}},
  };
  for (size_t p = 0; p < passes.size(); ++p) {
    unzip::TClaimedSpans spans;
    for (size_t i = 0; i < passes[p].size(); ++i) {
      const Claim& claim = passes[p][i];
      EXPECT_EQ(spans.Claim(claim.start, claim.end), claim.granted) << "pass " << p << ", claim " << i;
    }
    spans.Clear();
    EXPECT_TRUE(spans.Claim(passes[p][0].start, passes[p][0].end)) << "pass " << p << " after Clear";
  }
}

}  // namespace
