// DecisionDiagram: reduced ordered binary decision diagrams over a fixed
// number of variables, the exact sets of the packet-space engine. A set is a
// node id (Node); equal sets have equal ids, so emptiness and equality are
// id tests, and a union or difference costs the size of its operands, not
// the number of pieces it would fragment into as boxes.
//
// One diagram serves one analysis and is dropped with it: nodes are never
// freed on their own, and every node made is charged to the one budget of
// the analysis (maxNodes). Past it an operation throws SpaceExhausted, which
// the caller turns into an answer per line; nothing is left half built.
//
//   DecisionDiagram dd(16);
//   Node a = dd.literal(3, true);               // variable 3 set
//   Node b = dd.diff(DecisionDiagram::kAll, a);  // variable 3 clear
//   assert(dd.conjoin(a, b) == DecisionDiagram::kNone);
#ifndef DORVEX_SPACE_DECISION_DIAGRAM_H_
#define DORVEX_SPACE_DECISION_DIAGRAM_H_

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace dorvex {

using Node = std::uint32_t;

// Thrown when an operation would take the diagram past its node budget.
class SpaceExhausted : public std::runtime_error {
 public:
  explicit SpaceExhausted(std::size_t nodes) : std::runtime_error("memory guard"), nodes(nodes) {}
  std::size_t nodes;
};

class DecisionDiagram {
 public:
  static constexpr Node kNone = 0;  // the empty set
  static constexpr Node kAll = 1;   // every assignment

  // REQUIRES: 0 < variables; maxNodes >= 2.
  explicit DecisionDiagram(int variables, std::size_t maxNodes = std::size_t{1} << 23);

  int variables() const { return variables_; }
  std::size_t nodeCount() const { return nodes_.size(); }
  std::size_t maxNodes() const { return maxNodes_; }
  // A lower guard for a while (a share of the budget for one question).
  void setMaxNodes(std::size_t maxNodes) { maxNodes_ = maxNodes; }

  // The set where `var` is `value`.
  Node literal(int var, bool value);
  // The node testing `var` (above every variable of `low` and `high`).
  Node make(int var, Node low, Node high);

  Node conjoin(Node a, Node b) { return apply(kAnd, a, b); }
  Node join(Node a, Node b) { return apply(kOr, a, b); }
  // a minus b.
  Node diff(Node a, Node b) { return apply(kDiff, a, b); }
  Node negate(Node a) { return apply(kDiff, kAll, a); }
  bool meets(Node a, Node b) { return conjoin(a, b) != kNone; }
  bool within(Node inner, Node outer) { return diff(inner, outer) == kNone; }

  // Drops every node made after the first `count` (ids from `count` on are
  // no longer valid) and empties the operation cache. REQUIRES: count >= 2.
  void truncate(std::size_t count);

  // The variable a node tests, and its two branches. REQUIRES: n > kAll.
  int var(Node n) const { return static_cast<int>(nodes_[n].var); }
  Node low(Node n) const { return nodes_[n].low; }
  Node high(Node n) const { return nodes_[n].high; }

  // Whether the assignment `bits` (bit(var) gives each variable) is in `n`.
  template <typename Bit>
  bool holds(Node n, Bit bit) const {
    while (n > kAll) n = bit(var(n)) ? high(n) : low(n);
    return n == kAll;
  }

  // The set `n` of `from` (over the same variables) as a set of this one.
  Node copyFrom(const DecisionDiagram& from, Node n);

  // The number of assignments of `n`, as a floating value.
  long double count(Node n);
  // Marks in `out` (one flag per variable) every variable `n` tests.
  void support(Node n, std::vector<bool>& out) const;

 private:
  enum Op : std::uint32_t { kAnd = 1, kOr = 2, kDiff = 3 };
  struct NodeData {
    std::uint32_t var;
    Node low, high;
  };
  struct CacheEntry {
    std::uint32_t op = 0;
    Node a = 0, b = 0, result = 0;
    std::uint32_t epoch = 0;
  };

  struct CountEntry {
    Node node = 0;
    std::uint32_t stamp = 0;
    long double value = 0;
  };

  Node apply(Op op, Node a, Node b);
  void growTable();

  int variables_;
  std::size_t maxNodes_;
  std::vector<NodeData> nodes_;
  // Open addressing, 0 = empty slot; a slot holds a node id under the
  // high 32 bits of its hash (slotOf()).
  std::vector<std::uint64_t> table_;
  static std::uint64_t slotOf(std::size_t hash, Node id) {
    return (static_cast<std::uint64_t>(hash) & ~std::uint64_t{0xFFFFFFFF}) | id;
  }
  static Node idOf(std::uint64_t slot) { return static_cast<Node>(slot); }
  std::vector<CacheEntry> cache_;
  std::uint32_t cacheEpoch_ = 1;
  std::vector<CountEntry> countTable_ = std::vector<CountEntry>(std::size_t{1} << 10);
  std::uint32_t countGeneration_ = 0;
};

}  // namespace dorvex

#endif  // DORVEX_SPACE_DECISION_DIAGRAM_H_
