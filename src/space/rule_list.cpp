#include "space/rule_list.h"

#include <algorithm>
#include <bit>
#include <utility>

namespace dorvex {

namespace {

// Lists of at most so many boxes are scanned: building the keys would cost
// more than testing every box.
constexpr std::size_t kScanLimit = 64;

// `count` bits of the 128-bit address (high, low), starting `start` bits
// below the top.
std::uint64_t addressBits(std::uint64_t high, std::uint64_t low, int start, int count) {
  std::uint64_t mask = (std::uint64_t{1} << count) - 1;
  int end = start + count;  // bits from the top through the last one taken
  if (end <= 64) return (high >> (64 - end)) & mask;
  if (start >= 64) return (low >> (128 - end)) & mask;
  return ((high << (end - 64)) | (low >> (128 - end))) & mask;
}

bool caresAll(const Box& box, int side, int start, int count) {
  std::uint64_t mask = (std::uint64_t{1} << count) - 1;
  return addressBits(box.care[side], box.care[side + 1], start, count) == mask;
}

// How many of the 16 bits from `start` `box` cares about, from the first
// on, without a hole.
int caredRun(const Box& box, int side, int start) {
  const auto cared =
      static_cast<std::uint32_t>(addressBits(box.care[side], box.care[side + 1], start, 16));
  return std::countl_one(cared << 16);
}

}  // namespace

Box hullOf(const std::vector<Box>& boxes) {
  Box hull;
  bool first = true;
  for (const Box& box : boxes) {
    if (box.isEmpty()) continue;
    if (first) {
      hull = box;
      first = false;
      continue;
    }
    for (int f = 0; f < kRangeFields; ++f) {
      hull.lo[f] = std::min(hull.lo[f], box.lo[f]);
      hull.hi[f] = std::max(hull.hi[f], box.hi[f]);
    }
    for (int w = 0; w < kMaskWords; ++w) {
      hull.care[w] &= box.care[w] & ~(hull.value[w] ^ box.value[w]);
      hull.value[w] &= hull.care[w];
    }
  }
  if (first) hull.setRange(kProtocol, 1, 0);
  return hull;
}

std::vector<Box> indexBoxesOf(const CoverRule& rule) {
  std::vector<Box> boxes = rule.boxes;
  Box part;
  for (const BoxProduct& product : rule.products) {
    // The parts constrain other fields: their hulls meet in one box.
    if (intersect(hullOf(product.source), hullOf(product.destin), part) &&
        intersect(part, hullOf(product.service), part)) {
      boxes.push_back(part);
    }
  }
  return boxes;
}

RuleList::RuleList(std::vector<CoverRule> rules) : rules_(std::move(rules)) {
  for (int r = 0; r < int(rules_.size()); ++r) {
    rules_[r].boxes = disjointUnion(rules_[r].boxes);
    grouped_ = grouped_ || !rules_[r].products.empty();
    for (const Box& box : indexBoxesOf(rules_[r])) {
      if (!box.isEmpty()) entries_.push_back({box, r});
    }
  }
  indexed_ = entries_.size() > kScanLimit;
  if (!indexed_ || entries_.empty()) return;
  buildSide(sides_[0], kSrcHigh);
  buildSide(sides_[1], kDstHigh);
}

void RuleList::buildSide(SideIndex& index, int side) {
  index.side = side;
  // The leading bits every box cares about with the same value.
  std::uint64_t alike[2] = {~0ull, ~0ull};
  const Box& first = entries_.front().box;
  for (const Entry& entry : entries_) {
    for (int w = 0; w < 2; ++w) {
      alike[w] &= entry.box.care[side + w] & ~(entry.box.value[side + w] ^ first.value[side + w]);
    }
  }
  int skip = std::countl_one(alike[0]);
  if (skip == 64) skip += std::countl_one(alike[1]);
  index.skip = std::min(skip, 112);
  index.skipValue[0] = first.value[side] & alike[0];
  index.skipValue[1] = first.value[side + 1] & alike[1];
  for (int e = 0; e < int(entries_.size()); ++e) {
    const Box& box = entries_[e].box;
    auto key = [&](int count) {
      return std::uint32_t(addressBits(box.value[side], box.value[side + 1], index.skip, count));
    };
    const int run = caredRun(box, side, index.skip);
    int level = 0;
    while (level < kLevels && kLevelBits[level] > run) ++level;
    if (level == kLevels) {
      index.wide.push_back(e);
    } else {
      index.byLevel[level].push_back({key(kLevelBits[level]), e});
    }
  }
  for (auto& keys : index.byLevel) std::sort(keys.begin(), keys.end());
}

template <typename Visit>
std::size_t RuleList::probe(const SideIndex& index, const Box& box, const Visit* visit) const {
  auto keyRange = [](const std::vector<KeyEntry>& keys, std::uint32_t low, std::uint32_t high) {
    auto begin = std::lower_bound(keys.begin(), keys.end(), KeyEntry{low, -1});
    auto end = std::lower_bound(begin, keys.end(), KeyEntry{high + 1, -1});
    return std::make_pair(begin, end);
  };
  int side = index.side;
  bool keyed = true;
  for (int start = 0; keyed && start < index.skip; start += 16) {
    keyed = caresAll(box, side, start, std::min(16, index.skip - start));
  }
  if (!keyed) {
    // The box spans the shared bits' other values: every entry may meet it.
    if (visit) {
      for (int e = 0; e < int(entries_.size()); ++e) (*visit)(e);
    }
    return entries_.size();
  }
  std::uint64_t cared[2] = {box.care[side], box.care[side + 1]};
  for (int w = 0; w < 2; ++w) {
    std::uint64_t skipMask = w == 0 ? (index.skip >= 64 ? ~0ull : ~(~0ull >> index.skip))
                                    : (index.skip <= 64 ? 0 : ~(~0ull >> (index.skip - 64)));
    if ((box.value[side + w] ^ index.skipValue[w]) & cared[w] & skipMask) return 0;
  }
  // At each level the keys that agree with the bits the box cares about
  // from the first on: one key, or a run of them.
  const int run = caredRun(box, side, index.skip);
  const auto top =
      static_cast<std::uint32_t>(addressBits(box.value[side], box.value[side + 1], index.skip, 16));
  using Range =
      std::pair<std::vector<KeyEntry>::const_iterator, std::vector<KeyEntry>::const_iterator>;
  Range ranges[kLevels];
  std::size_t count = index.wide.size();
  for (int level = 0; level < kLevels; ++level) {
    const int bits = kLevelBits[level];
    const int fixed = std::min(run, bits);
    const std::uint32_t low = (top >> (16 - fixed)) << (bits - fixed);
    const std::uint32_t high = low | ((std::uint32_t{1} << (bits - fixed)) - 1);
    ranges[level] = keyRange(index.byLevel[level], low, high);
    count += static_cast<std::size_t>(ranges[level].second - ranges[level].first);
  }
  if (visit) {
    for (const Range& range : ranges) {
      for (auto it = range.first; it != range.second; ++it) (*visit)(it->entry);
    }
    for (int e : index.wide) (*visit)(e);
  }
  return count;
}

void RuleList::candidates(const std::vector<Box>& boxes, std::vector<int>& out) const {
  out.clear();
  auto take = [&](int e) {
    for (const Box& box : boxes) {
      if (intersects(entries_[e].box, box)) {
        out.push_back(entries_[e].rule);
        return;
      }
    }
  };
  if (!indexed_) {
    for (int e = 0; e < int(entries_.size()); ++e) take(e);
  } else {
    for (const Box& box : boxes) {
      // An entry a probe of this box visits is tested against this box
      // alone: the others' probes find what meets them.
      auto meets = [&](int e) {
        if (intersects(entries_[e].box, box)) out.push_back(entries_[e].rule);
      };
      using Meets = decltype(meets);
      std::size_t bySource = probe<Meets>(sides_[0], box, nullptr);
      std::size_t byDestination = probe<Meets>(sides_[1], box, nullptr);
      probe(sides_[bySource <= byDestination ? 0 : 1], box, &meets);
    }
    std::sort(out.begin(), out.end());
  }
  out.erase(std::unique(out.begin(), out.end()), out.end());
}

}  // namespace dorvex
