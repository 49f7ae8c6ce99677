// The lines that can be removed together, against the first-match
// reference over every packet class of random lists: removing the set
// changes no packet's decision, and no other finding can join it.
#include "space/list_within.h"
#include "space/removal_set.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "packet_reference.h"
#include "rule_generator.h"

namespace dorvex {
namespace {

using reference::Unknown;

// The rules of `list` but those marked.
std::vector<CoverRule> without(const std::vector<CoverRule>& list, const std::vector<bool>& gone) {
  std::vector<CoverRule> kept;
  for (std::size_t p = 0; p < list.size(); ++p) {
    if (!gone[p]) kept.push_back(list[p]);
  }
  return kept;
}

bool sameDecisions(const std::vector<CoverRule>& a, const std::vector<CoverRule>& b,
                   const std::vector<Packet>& packets) {
  for (const Packet& p : packets) {
    const Action x = reference::actionOf(a, reference::firstMatch(a, p, Unknown::all));
    const Action y = reference::actionOf(b, reference::firstMatch(b, p, Unknown::all));
    if (x != y) return false;
  }
  return true;
}

// Checks the set of `rules` against the reference; counts the findings
// offered and refused.
void checkSet(const std::vector<CoverRule>& rules, int& offered, int& refused) {
  const RuleList list(rules);
  std::vector<RemovalCandidate> order;
  for (FindingKind kind : {FindingKind::unreachable, FindingKind::redundant}) {
    for (const Finding& f : within(list)) {
      if (f.kind != kind) continue;
      RemovalCandidate c{f.line - 1, kind == FindingKind::unreachable, {}};
      for (int line : f.lines) {
        if (line > 0) c.leansOn.push_back(line - 1);
      }
      order.push_back(c);
    }
  }
  if (order.empty()) return;
  const std::vector<bool> chosen = removableTogether(list, order, {}, false);
  std::vector<bool> gone(rules.size(), false);
  for (std::size_t k = 0; k < order.size(); ++k) {
    if (chosen[k]) gone[static_cast<std::size_t>(order[k].position)] = true;
  }
  std::vector<Box> boxes;
  for (const CoverRule& r : rules) boxes.insert(boxes.end(), r.boxes.begin(), r.boxes.end());
  const std::vector<Packet> packets = reference::packetClasses(boxes);
  EXPECT_TRUE(sameDecisions(rules, without(rules, gone), packets));
  EXPECT_LT(std::count(gone.begin(), gone.end(), true), static_cast<long>(rules.size()));
  // Each finding left out changes some decision when it joins the set,
  // unless it was the last line standing.
  for (std::size_t k = 0; k < order.size(); ++k) {
    if (chosen[k]) {
      ++offered;
      continue;
    }
    ++refused;
    std::vector<bool> more = gone;
    more[static_cast<std::size_t>(order[k].position)] = true;
    const bool last = std::count(more.begin(), more.end(), false) == 0;
    EXPECT_TRUE(last || !sameDecisions(rules, without(rules, more), packets))
        << "line " << order[k].position + 1 << " could have joined";
  }
  // The change review agrees that the set changes nothing.
  EXPECT_EQ(chosen, removableTogether(list, order));
}

// A TCP permit to destination ports [low, high], and one to all but `port`.
CoverRule ports(int line, std::uint32_t low, std::uint32_t high) {
  CoverRule rule;
  rule.line = line;
  Box box;
  box.setRange(kProtocol, 6, 6);
  box.setRange(kDstPort, low, high);
  rule.boxes.push_back(box);
  return rule;
}
CoverRule allBut(int line, std::uint32_t port) {
  CoverRule rule = ports(line, 0, port - 1);
  rule.boxes.push_back(ports(line, port + 1, 65535).boxes[0]);
  return rule;
}

TEST(RemovalSetTest, RemovesNothingDecidedAndMissesNoLine) {
  int offered = 0, refused = 0;
  const std::vector<std::vector<CoverRule>> lists = {
      // Each redundant beside the others: removed all, ports 0-5 are denied.
      {ports(1, 1, 1), ports(2, 6, 65535), ports(3, 0, 9), allBut(4, 15), ports(5, 20, 25)},
      // A line twice: each hides or repeats the other, one of them stays.
      {ports(1, 80, 80), ports(2, 80, 80), ports(3, 443, 443)},
  };
  for (const std::vector<CoverRule>& rules : lists) checkSet(rules, offered, refused);
  EXPECT_EQ(4, offered);
  EXPECT_EQ(2, refused);
  for (unsigned seed = 1; seed <= 1000 && !HasFailure(); ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Generator gen(seed);
    gen.unknownOdds = 1'000'000;
    std::vector<CoverRule> rules;
    const int size = 2 + int(gen.pick(9));
    for (int line = 1; line <= size; ++line) rules.push_back(gen.make(line));
    checkSet(rules, offered, refused);
  }
  // The random lists must exercise both answers.
  EXPECT_GT(offered, 300) << refused;
  EXPECT_GT(refused, 20) << offered;
}

}  // namespace
}  // namespace dorvex
