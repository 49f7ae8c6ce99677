#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dupcheck/rule_cover.h"

namespace dorvex {
namespace {

constexpr int kNone = -1, kEq = 0, kGt = 1, kLt = 2, kNeq = 3, kRange = 4;

// The ports of 0..65535 that an operand admits, as at most two intervals.
struct PortSet {
  std::vector<std::pair<int, int>> intervals;
  bool empty() const { return intervals.empty(); }
};

PortSet admitted(int op, int low, int high) {
  PortSet set;
  auto add = [&](int first, int last) {
    if (first < 0) first = 0;
    if (last > 65535) last = 65535;
    if (first <= last) set.intervals.push_back({first, last});
  };
  switch (op) {
    case kNone: add(0, 65535); break;
    case kEq: add(low, low); break;
    case kGt: add(low + 1, 65535); break;
    case kLt: add(0, low - 1); break;
    case kNeq: add(0, low - 1); add(low + 1, 65535); break;
    case kRange: add(low, high); break;
  }
  return set;
}

bool includes(const PortSet& outer, const PortSet& inner) {
  for (auto [first, last] : inner.intervals) {
    bool inside = false;
    for (auto [outerFirst, outerLast] : outer.intervals) {
      if (outerFirst <= first && last <= outerLast) inside = true;
    }
    if (!inside) return false;
  }
  return true;
}

std::string describe(int op, int low, int high) {
  static const char* const kNames[] = {"none", "eq", "gt", "lt", "neq", "range"};
  return std::string(kNames[op + 1]) + " " + std::to_string(low) + " " + std::to_string(high);
}

// Away from the fixed decisions (a covered operand without ports, empty port
// sets), the cover table is exactly the inclusion of the admitted port sets.
TEST(PortsCoverTest, EveryCellAgreesWithPortSetInclusion) {
  const int kValues[] = {0, 1, 2, 79, 80, 81, 1023, 1024, 65533, 65534, 65535};
  int compared = 0;
  for (int coverOp = kNone; coverOp <= kRange; ++coverOp) {
    for (int op = kEq; op <= kRange; ++op) {
      for (int a : kValues) {
        for (int b : kValues) {
          if (coverOp != kRange && b != a) continue;
          if (coverOp == kRange && b < a) continue;
          for (int c : kValues) {
            for (int d : kValues) {
              if (op != kRange && d != c) continue;
              if (op == kRange && d < c) continue;
              int coverHigh = coverOp == kRange ? b : -1;
              int high = op == kRange ? d : -1;
              PortSet covered = admitted(op, c, d);
              if (covered.empty()) continue;
              SCOPED_TRACE(describe(coverOp, a, coverHigh) + " covers? " + describe(op, c, high));
              EXPECT_EQ(includes(admitted(coverOp, a, b), covered),
                        portsCover(coverOp, a, coverHigh, op, c, high));
              ++compared;
            }
          }
        }
      }
    }
  }
  EXPECT_GT(compared, 10000);
}

struct CoverCase {
  const char* what;
  int coverOp, coverLow, coverHigh, op, low, high;
  bool expected;
};

TEST(PortsCoverTest, FixedDecisions) {
  const CoverCase kCases[] = {
      {"no ports covers every operand", kNone, -1, -1, kNeq, 5, -1, true},
      {"no ports covers no ports", kNone, -1, -1, kNone, -1, -1, true},
      {"eq does not cover no ports", kEq, 80, -1, kNone, -1, -1, false},
      {"full range does not cover no ports", kRange, 0, 65535, kNone, -1, -1, false},
      {"full range covers neq", kRange, 0, 65535, kNeq, 5, -1, true},
      {"full range covers eq above 65535", kRange, 0, 65535, kEq, 70000, -1, true},
      {"full range covers an unknown code", kRange, 0, 65535, 7, 1, 1, true},
      {"eq 80 covers range 80 80", kEq, 80, -1, kRange, 80, 80, true},
      {"eq 80 does not cover range 80 81", kEq, 80, -1, kRange, 80, 81, false},
      {"range 1 1024 covers eq 80", kRange, 1, 1024, kEq, 80, -1, true},
      {"gt 1023 covers range 2000 3000", kGt, 1023, -1, kRange, 2000, 3000, true},
      {"empty lt 0 gets no special treatment", kEq, 5, -1, kLt, 0, -1, false},
      {"empty gt 65535 gets no special treatment", kLt, 5, -1, kGt, 65535, -1, false},
      {"covered code above 4", kNone, -1, -1, 5, 1, 1, false},
      {"covered code below -1", kNone, -1, -1, -2, 1, 1, false},
      {"covering code above 4", 5, 1, 1, kEq, 1, -1, false},
      {"covering code below -1", -2, 1, 1, kEq, 1, -1, false},
  };
  for (const CoverCase& c : kCases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.expected, portsCover(c.coverOp, c.coverLow, c.coverHigh, c.op, c.low, c.high));
  }
}

struct AddressCase {
  unsigned char cover[4], wildcard[4], address[4];
  bool expected;
};

TEST(AddressCoversTest, OnlyTheCoveringWildcardCounts) {
  const AddressCase kCases[] = {
      {{10, 1, 1, 0}, {0, 0, 0, 255}, {10, 1, 1, 5}, true},
      {{10, 1, 1, 0}, {0, 0, 0, 255}, {10, 1, 2, 5}, false},
      {{10, 1, 1, 0}, {0, 0, 0, 0}, {10, 1, 1, 0}, true},
      {{10, 1, 1, 0}, {0, 0, 0, 0}, {10, 1, 1, 5}, false},
      {{0, 0, 0, 0}, {255, 255, 255, 255}, {1, 2, 3, 4}, true},
      {{10, 0, 0, 0}, {0, 255, 255, 255}, {0, 0, 0, 0}, false},
      // Address bits under the wildcard are ignored on both sides.
      {{10, 1, 1, 77}, {0, 0, 0, 255}, {10, 1, 1, 5}, true},
      // A non-contiguous wildcard tests the bits it leaves clear.
      {{10, 0, 1, 0}, {0, 255, 0, 255}, {10, 9, 1, 9}, true},
      {{10, 0, 1, 0}, {0, 255, 0, 255}, {10, 9, 2, 9}, false},
      {{192, 168, 0, 0}, {0, 0, 0, 1}, {192, 168, 0, 1}, true},
      {{192, 168, 0, 0}, {0, 0, 0, 1}, {192, 168, 0, 2}, false},
  };
  for (const AddressCase& c : kCases) {
    SCOPED_TRACE(std::to_string(c.address[0]) + "." + std::to_string(c.address[1]) + "." +
                 std::to_string(c.address[2]) + "." + std::to_string(c.address[3]));
    EXPECT_EQ(c.expected, addressCovers(c.cover, c.wildcard, c.address));
  }
}

}  // namespace
}  // namespace dorvex
