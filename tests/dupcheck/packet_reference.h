// A plain reference for the list cover: first match packet by packet, over
// every packet class that the boxes of a case can tell apart.
#ifndef DORVEX_TESTS_DUPCHECK_PACKET_REFERENCE_H_
#define DORVEX_TESTS_DUPCHECK_PACKET_REFERENCE_H_

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "space/rule_list.h"

namespace dorvex::reference {

// One packet of each nonempty class of packets that lie in the same boxes
// of `boxes`, classes in no box left out. Built field by field (each mask
// word bit by bit): the boxes a partial packet still lies in fix all that
// follows, so partial packets alike in them are kept once.
inline std::vector<Packet> packetClasses(const std::vector<Box>& boxes) {
  using Alive = std::vector<bool>;
  std::map<Alive, Packet> frontier{{Alive(boxes.size(), true), Packet{}}};
  auto refine = [&](auto&& valuesOf, auto&& inBox, auto&& setValue) {
    std::map<Alive, Packet> next;
    for (const auto& [alive, packet] : frontier) {
      for (std::uint64_t v : valuesOf(alive)) {
        Alive kept(boxes.size(), false);
        bool any = false;
        for (std::size_t b = 0; b < boxes.size(); ++b) {
          kept[b] = alive[b] && inBox(boxes[b], v);
          any = any || kept[b];
        }
        Packet p = packet;
        setValue(p, v);
        if (any) next.emplace(kept, p);
      }
    }
    frontier.swap(next);
  };
  for (int f = 0; f < kRangeFields; ++f) {
    refine(  // a value of each stretch between the alive boxes' bounds
        [&](const Alive& alive) {
          std::vector<std::uint64_t> starts{0};
          for (std::size_t b = 0; b < boxes.size(); ++b) {
            if (alive[b]) starts.push_back(boxes[b].lo[f]), starts.push_back(boxes[b].hi[f] + 1ull);
          }
          return starts;
        },
        [&](const Box& box, std::uint64_t v) { return box.lo[f] <= v && v <= box.hi[f]; },
        [&](Packet& p, std::uint64_t v) { p.field[f] = std::uint32_t(v); });
  }
  for (int w = 0; w < kMaskWords; ++w) {
    for (int bit = 63; bit >= 0; --bit) {
      std::uint64_t m = std::uint64_t{1} << bit;
      // A bit no box cares about, or all alike, splits nothing worth keeping.
      int caring = 0, ones = 0;
      for (const Box& box : boxes)
        caring += (box.care[w] & m) != 0, ones += (box.value[w] & m) != 0;
      if (caring == 0 || (caring == int(boxes.size()) && (ones == 0 || ones == caring))) {
        for (auto& entry : frontier) entry.second.word[w] |= ones ? m : 0;
        continue;
      }
      refine(
          [&](const Alive&) {
            return std::vector<std::uint64_t>{0, m};
          },
          [&](const Box& box, std::uint64_t v) {
            return !(box.care[w] & m) || (box.value[w] & m) == v;
          },
          [&](Packet& p, std::uint64_t v) { p.word[w] |= v; });
    }
  }
  std::vector<Packet> packets;
  for (const auto& entry : frontier) packets.push_back(entry.second);
  return packets;
}

// Which packets a rule not exactly known matches: all of its boxes, none,
// or a fixed pseudo-random half.
enum class Unknown { all, none, half };

inline bool ruleMatches(const CoverRule& rule, const Packet& p, Unknown unknown) {
  bool inBoxes = false;
  for (const Box& box : rule.boxes) inBoxes = inBoxes || matches(box, p);
  if (!inBoxes || rule.exact || unknown == Unknown::all) return inBoxes;
  if (unknown == Unknown::none) return false;
  std::uint64_t h = std::uint64_t(rule.line) * 0x9E3779B97F4A7C15ull;
  for (int f = 0; f < kRangeFields; ++f) h = (h ^ p.field[f]) * 0x100000001B3ull;
  for (int w = 0; w < kMaskWords; ++w) h = (h ^ p.word[w]) * 0x100000001B3ull;
  return (h >> 29) & 1;
}

// The position of the first rule of `rules` matching `p` other than `skip`,
// or -1 for the implicit deny.
inline int firstMatch(const std::vector<CoverRule>& rules, const Packet& p, Unknown unknown,
                      int skip = -1) {
  for (int r = 0; r < int(rules.size()); ++r) {
    if (r != skip && ruleMatches(rules[r], p, unknown)) return r;
  }
  return -1;
}

inline Action actionOf(const std::vector<CoverRule>& rules, int position) {
  return position < 0 ? Action::deny : rules[position].action;
}

inline int lineOf(const std::vector<CoverRule>& rules, int position) {
  return position < 0 ? 0 : rules[position].line;
}

}  // namespace dorvex::reference

#endif  // DORVEX_TESTS_DUPCHECK_PACKET_REFERENCE_H_
