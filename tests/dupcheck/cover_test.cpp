#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "dupcheck/rule_cover.h"
#include "parser/acl_entry.h"

namespace dorvex {
namespace {

// The ports of 0..65535 that an operand admits, as at most two intervals.
struct PortSet {
  std::vector<std::pair<int, int>> intervals;
  bool empty() const { return intervals.empty(); }
};

PortSet admitted(int op, int low, int high) {
  PortSet set;
  auto add = [&](int first, int last) {
    if (first < 0) first = 0;
    if (last > kMaxPort) last = kMaxPort;
    if (first <= last) set.intervals.push_back({first, last});
  };
  switch (op) {
    case kNoPort: add(0, kMaxPort); break;
    case kPortEq: add(low, low); break;
    case kPortGt: add(low + 1, kMaxPort); break;
    case kPortLt: add(0, low - 1); break;
    case kPortNeq:
      add(0, low - 1);
      add(low + 1, kMaxPort);
      break;
    case kPortRange: add(low, high); break;
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
  for (int coverOp = kNoPort; coverOp <= kPortRange; ++coverOp) {
    for (int op = kPortEq; op <= kPortRange; ++op) {
      for (int a : kValues) {
        for (int b : kValues) {
          if (coverOp != kPortRange && b != a) continue;
          if (coverOp == kPortRange && b < a) continue;
          for (int c : kValues) {
            for (int d : kValues) {
              if (op != kPortRange && d != c) continue;
              if (op == kPortRange && d < c) continue;
              int coverHigh = coverOp == kPortRange ? b : -1;
              int high = op == kPortRange ? d : -1;
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
      {"no ports covers every operand", kNoPort, -1, -1, kPortNeq, 5, -1, true},
      {"no ports covers no ports", kNoPort, -1, -1, kNoPort, -1, -1, true},
      {"eq does not cover no ports", kPortEq, 80, -1, kNoPort, -1, -1, false},
      {"full range does not cover no ports", kPortRange, 0, 65535, kNoPort, -1, -1, false},
      {"full range covers neq", kPortRange, 0, 65535, kPortNeq, 5, -1, true},
      {"full range covers eq above 65535", kPortRange, 0, 65535, kPortEq, 70000, -1, true},
      {"full range covers an unknown code", kPortRange, 0, 65535, 7, 1, 1, true},
      {"eq 80 covers range 80 80", kPortEq, 80, -1, kPortRange, 80, 80, true},
      {"eq 80 does not cover range 80 81", kPortEq, 80, -1, kPortRange, 80, 81, false},
      {"range 1 1024 covers eq 80", kPortRange, 1, 1024, kPortEq, 80, -1, true},
      {"gt 1023 covers range 2000 3000", kPortGt, 1023, -1, kPortRange, 2000, 3000, true},
      {"empty lt 0 gets no special treatment", kPortEq, 5, -1, kPortLt, 0, -1, false},
      {"empty gt 65535 gets no special treatment", kPortLt, 5, -1, kPortGt, 65535, -1, false},
      {"covered code above 4", kNoPort, -1, -1, 5, 1, 1, false},
      {"covered code below -1", kNoPort, -1, -1, -2, 1, 1, false},
      {"covering code above 4", 5, 1, 1, kPortEq, 1, -1, false},
      {"covering code below -1", -2, 1, 1, kPortEq, 1, -1, false},
  };
  for (const CoverCase& c : kCases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.expected, portsCover(c.coverOp, c.coverLow, c.coverHigh, c.op, c.low, c.high));
  }
}

// Ports as large as a number of the configuration may be (2147483647): the
// cover rules' arithmetic on them must not overflow.
TEST(PortsCoverTest, ExtremePorts) {
  constexpr int kMax = INT_MAX;
  const CoverCase kCases[] = {
      {"range 1 65535 covers gt 2147483647", kPortRange, 1, kMaxPort, kPortGt, kMax, -1, true},
      {"range 2 65535 covers gt 2147483647", kPortRange, 2, kMaxPort, kPortGt, kMax, -1, true},
      {"range 0 2147483647 covers lt 2147483647", kPortRange, 0, kMax, kPortLt, kMax, -1, true},
      {"range 0 65535 covers lt 2147483647", kPortRange, 0, kMaxPort, kPortLt, kMax, -1, true},
      {"range 1 65535 does not cover lt 2147483647", kPortRange, 1, kMaxPort, kPortLt, kMax, -1,
       false},
      {"range 0 2147483647 covers range 2147483647 2147483647", kPortRange, 0, kMax, kPortRange,
       kMax, kMax, true},
      {"eq 2147483647 covers eq 2147483647", kPortEq, kMax, -1, kPortEq, kMax, -1, true},
      {"gt 65535 covers eq 2147483647", kPortGt, kMaxPort, -1, kPortEq, kMax, -1, true},
      {"gt 2147483647 covers gt 2147483647", kPortGt, kMax, -1, kPortGt, kMax, -1, true},
      {"lt 2147483647 covers eq 65535", kPortLt, kMax, -1, kPortEq, kMaxPort, -1, true},
      {"neq 2147483647 covers range 0 65535", kPortNeq, kMax, -1, kPortRange, 0, kMaxPort, true},
      {"neq 0 covers gt 2147483647", kPortNeq, 0, -1, kPortGt, kMax, -1, true},
  };
  for (const CoverCase& c : kCases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.expected, portsCover(c.coverOp, c.coverLow, c.coverHigh, c.op, c.low, c.high));
  }
}

// eqCoveringPort() names exactly the one port of an "eq" operand that
// covers, or says there is none.
TEST(PortsCoverTest, EqCoveringPortAgreesWithTheCoverTable) {
  const int kValues[] = {0, 1, 2, 80, 65534, 65535, 65536, INT_MAX};
  int found = 0;
  for (int op = kNoPort - 1; op <= kPortRange + 1; ++op) {
    for (int low : kValues) {
      for (int high : kValues) {
        SCOPED_TRACE(std::to_string(op) + " " + std::to_string(low) + " " + std::to_string(high));
        int port = -7;
        const bool some = eqCoveringPort(op, low, high, port);
        for (int a : kValues) {
          EXPECT_EQ(some && a == port, portsCover(kPortEq, a, -1, op, low, high)) << "eq " << a;
        }
        if (!some) {
          EXPECT_EQ(-7, port);
        }
        found += some ? 1 : 0;
      }
    }
  }
  EXPECT_GT(found, 64);
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
