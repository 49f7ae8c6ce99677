#include "space/decision_diagram.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace dorvex {

namespace {

std::size_t hashOf(std::uint32_t var, Node low, Node high) {
  std::uint64_t h = (std::uint64_t{var} * 0x9E3779B97F4A7C15ull) ^
                    (std::uint64_t{low} * 0xC2B2AE3D27D4EB4Full) ^
                    (std::uint64_t{high} * 0x165667B19E3779F9ull);
  return static_cast<std::size_t>(h ^ (h >> 29));
}

}  // namespace

DecisionDiagram::DecisionDiagram(int variables, std::size_t maxNodes)
    : variables_(variables), maxNodes_(maxNodes) {
  const auto terminal = static_cast<std::uint32_t>(variables);
  nodes_.push_back(NodeData{terminal, kNone, kNone});
  nodes_.push_back(NodeData{terminal, kAll, kAll});
  table_.assign(std::size_t{1} << 12, 0);
  cache_.resize(std::size_t{1} << 16);
}

void DecisionDiagram::growTable() {
  std::vector<std::uint64_t> bigger(table_.size() * 2, 0);
  const std::size_t mask = bigger.size() - 1;
  for (Node n = 2; n < nodes_.size(); ++n) {
    const std::size_t hash = hashOf(nodes_[n].var, nodes_[n].low, nodes_[n].high);
    std::size_t at = hash & mask;
    while (bigger[at] != 0) at = (at + 1) & mask;
    bigger[at] = slotOf(hash, n);
  }
  table_.swap(bigger);
  // The cache grows with the diagram, up to 4M entries.
  if (cache_.size() < table_.size() / 2 && cache_.size() < (std::size_t{1} << 22)) {
    cache_.assign(cache_.size() * 2, CacheEntry{});
  }
}

void DecisionDiagram::truncate(std::size_t count) {
  // Nothing dropped: the cache stays valid.
  if (count >= nodes_.size()) return;
  // Only the dropped nodes leave the table (backward-shift deletion keeps
  // every probe chain whole), and a new cache epoch voids every entry:
  // a question costs what it made, not the size of the tables.
  const std::size_t mask = table_.size() - 1;
  for (std::size_t id = nodes_.size(); id-- > std::max<std::size_t>(count, 2);) {
    const NodeData& n = nodes_[id];
    std::size_t hole = hashOf(n.var, n.low, n.high) & mask;
    while (idOf(table_[hole]) != id) hole = (hole + 1) & mask;
    for (std::size_t at = (hole + 1) & mask; table_[at] != 0; at = (at + 1) & mask) {
      const NodeData& m = nodes_[idOf(table_[at])];
      const std::size_t home = hashOf(m.var, m.low, m.high) & mask;
      // The entry may move back to the hole when its home is not in (hole, at].
      if (((at - home) & mask) >= ((at - hole) & mask)) {
        table_[hole] = table_[at];
        table_[at] = 0;
        hole = at;
      }
    }
    table_[hole] = 0;
  }
  nodes_.resize(std::min(count, nodes_.size()));
  if (++cacheEpoch_ == 0) {
    std::fill(cache_.begin(), cache_.end(), CacheEntry{});
    cacheEpoch_ = 1;
  }
}

Node DecisionDiagram::make(int var, Node low, Node high) {
  if (low == high) return low;
  const auto v = static_cast<std::uint32_t>(var);
  const std::size_t mask = table_.size() - 1;
  const std::size_t hash = hashOf(v, low, high);
  const std::uint64_t tag = slotOf(hash, 0);
  std::size_t at = hash & mask;
  // A slot whose tag differs holds another node: most probes of a chain
  // are so passed without reading the node.
  for (std::uint64_t slot; (slot = table_[at]) != 0; at = (at + 1) & mask) {
    if ((slot & ~std::uint64_t{0xFFFFFFFF}) != tag) continue;
    const NodeData& n = nodes_[idOf(slot)];
    if (n.var == v && n.low == low && n.high == high) return idOf(slot);
  }
  if (nodes_.size() >= maxNodes_) throw SpaceExhausted(nodes_.size());
  const auto id = static_cast<Node>(nodes_.size());
  nodes_.push_back(NodeData{v, low, high});
  table_[at] = tag | id;
  if (nodes_.size() * 2 > table_.size()) growTable();
  return id;
}

Node DecisionDiagram::literal(int var, bool value) {
  return value ? make(var, kNone, kAll) : make(var, kAll, kNone);
}

Node DecisionDiagram::apply(Op op, Node a, Node b) {
  switch (op) {
    case kAnd:
      if (a == kNone || b == kNone) return kNone;
      if (a == kAll || a == b) return b;
      if (b == kAll) return a;
      if (a > b) std::swap(a, b);
      break;
    case kOr:
      if (a == kAll || b == kAll) return kAll;
      if (a == kNone || a == b) return b;
      if (b == kNone) return a;
      if (a > b) std::swap(a, b);
      break;
    case kDiff:
      if (a == kNone || b == kAll || a == b) return kNone;
      if (b == kNone) return a;
      break;
  }
  const std::size_t hash = hashOf(op, a, b);
  {
    const CacheEntry& hit = cache_[hash & (cache_.size() - 1)];
    if (hit.op == op && hit.a == a && hit.b == b && hit.epoch == cacheEpoch_) return hit.result;
  }
  const std::uint32_t va = nodes_[a].var, vb = nodes_[b].var;
  const std::uint32_t top = va < vb ? va : vb;
  const Node aLow = va == top ? nodes_[a].low : a, aHigh = va == top ? nodes_[a].high : a;
  const Node bLow = vb == top ? nodes_[b].low : b, bHigh = vb == top ? nodes_[b].high : b;
  const Node low = apply(op, aLow, bLow);
  const Node high = apply(op, aHigh, bHigh);
  const Node result = make(static_cast<int>(top), low, high);
  // The table may have grown: the slot is taken again.
  CacheEntry& entry = cache_[hash & (cache_.size() - 1)];
  entry = CacheEntry{op, a, b, result, cacheEpoch_};
  return result;
}

Node DecisionDiagram::copyFrom(const DecisionDiagram& from, Node root) {
  std::unordered_map<Node, Node> copied{{kNone, kNone}, {kAll, kAll}};
  std::vector<Node> stack{root};
  while (!stack.empty()) {
    const Node n = stack.back();
    if (copied.count(n)) {
      stack.pop_back();
      continue;
    }
    const auto low = copied.find(from.low(n)), high = copied.find(from.high(n));
    if (low == copied.end()) stack.push_back(from.low(n));
    if (high == copied.end()) stack.push_back(from.high(n));
    if (low == copied.end() || high == copied.end()) continue;
    copied[n] = make(from.var(n), low->second, high->second);
    stack.pop_back();
  }
  return copied[root];
}

long double DecisionDiagram::count(Node root) {
  if (root <= kAll) return root == kAll ? std::ldexp(1.0L, variables_) : 0;
  // Assignments below each node, counted from its own variable down, in a
  // table kept between calls: a generation stamp empties it at once.
  if (++countGeneration_ == 0) {
    std::fill(countTable_.begin(), countTable_.end(), CountEntry{});
    countGeneration_ = 1;
  }
  std::size_t used = 0;
  auto slotOf = [&](Node n) -> CountEntry& {
    std::size_t mask = countTable_.size() - 1;
    std::size_t at = hashOf(n, n, n) & mask;
    while (countTable_[at].stamp == countGeneration_ && countTable_[at].node != n) {
      at = (at + 1) & mask;
    }
    return countTable_[at];
  };
  auto below = [&](Node child, int level) -> long double {
    const int childLevel = static_cast<int>(nodes_[child].var);
    const long double base = child <= kAll ? child : slotOf(child).value;
    return std::ldexp(base, childLevel - level - 1);
  };
  std::vector<std::pair<Node, bool>> stack{{root, false}};
  while (!stack.empty()) {
    const auto [n, ready] = stack.back();
    stack.pop_back();
    if (n <= kAll) continue;
    if (!ready) {
      if (slotOf(n).stamp == countGeneration_) continue;
      stack.push_back({n, true});
      stack.push_back({low(n), false});
      stack.push_back({high(n), false});
      continue;
    }
    const int level = static_cast<int>(nodes_[n].var);
    const long double value = below(low(n), level) + below(high(n), level);
    if (2 * (used + 1) > countTable_.size()) {
      // Grows, keeping this call's entries.
      std::vector<CountEntry> old(countTable_.size() * 2);
      old.swap(countTable_);
      for (const CountEntry& e : old) {
        if (e.stamp == countGeneration_) slotOf(e.node) = e;
      }
    }
    CountEntry& slot = slotOf(n);
    if (slot.stamp != countGeneration_) ++used;
    slot = CountEntry{n, countGeneration_, value};
  }
  return std::ldexp(slotOf(root).value, static_cast<int>(nodes_[root].var));
}

void DecisionDiagram::support(Node root, std::vector<bool>& out) const {
  out.assign(static_cast<std::size_t>(variables_), false);
  // The sets asked about are small beside the diagram: a set of the nodes
  // met, not a flag per node of the diagram.
  std::unordered_set<Node> seen;
  std::vector<Node> stack{root};
  while (!stack.empty()) {
    const Node n = stack.back();
    stack.pop_back();
    if (n <= kAll || !seen.insert(n).second) continue;
    out[nodes_[n].var] = true;
    stack.push_back(low(n));
    stack.push_back(high(n));
  }
}

}  // namespace dorvex
