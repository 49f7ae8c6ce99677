#include "space/rule_alignment.h"

#include <algorithm>
#include <cstddef>
#include <utility>

namespace dorvex {

Alignment alignRules(int n, int m, const std::function<bool(int, int)>& same) {
  Alignment out;
  out.ofFirst.assign(static_cast<std::size_t>(n), -1);
  out.ofSecond.assign(static_cast<std::size_t>(m), -1);
  const auto pair = [&](int i, int j) {
    out.ofFirst[static_cast<std::size_t>(i)] = j;
    out.ofSecond[static_cast<std::size_t>(j)] = i;
  };
  int head = 0;
  while (head < n && head < m && same(head, head)) pair(head, head), ++head;
  int tailA = n, tailB = m;
  while (tailA > head && tailB > head && same(tailA - 1, tailB - 1)) {
    --tailA, --tailB;
    pair(tailA, tailB);
  }
  const int na = tailA - head, nb = tailB - head;
  const auto sameIn = [&](int x, int y) { return same(head + x, head + y); };
  // trace[d][k + d]: the furthest x on diagonal k after d edits.
  std::vector<std::vector<int>> trace;
  int edits = -1;
  for (int d = 0; d <= std::min(kMaxAlignEdits, na + nb) && edits < 0; ++d) {
    std::vector<int> row(static_cast<std::size_t>(2 * d + 1));
    auto prev = [&](int k) {
      return trace[static_cast<std::size_t>(d - 1)][static_cast<std::size_t>(k + d - 1)];
    };
    for (int k = -d; k <= d; k += 2) {
      int x = d == 0                                               ? 0
              : (k == -d || (k != d && prev(k - 1) < prev(k + 1))) ? prev(k + 1)
                                                                   : prev(k - 1) + 1;
      int y = x - k;
      while (x < na && y < nb && sameIn(x, y)) ++x, ++y;
      row[static_cast<std::size_t>(k + d)] = x;
      if (x >= na && y >= nb) edits = d;
    }
    trace.push_back(std::move(row));
  }
  if (edits < 0) return out;  // past the limit: the middle stays unaligned
  int x = na, y = nb;
  for (int d = edits; d > 0; --d) {
    const std::vector<int>& before = trace[static_cast<std::size_t>(d - 1)];
    auto at = [&](int k) { return before[static_cast<std::size_t>(k + d - 1)]; };
    const int k = x - y;
    const bool down = k == -d || (k != d && at(k - 1) < at(k + 1));
    const int prevK = down ? k + 1 : k - 1;
    const int prevX = at(prevK), prevY = prevX - prevK;
    const int startX = down ? prevX : prevX + 1;
    while (x > startX) --x, --y, pair(head + x, head + y);
    x = prevX, y = prevY;
  }
  while (x > 0) --x, --y, pair(head + x, head + y);
  return out;
}

}  // namespace dorvex
