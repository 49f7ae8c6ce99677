// ClassBench filter sets (bench/data/classbench) as access lists: as the
// list cover's input for the benchmarks, and as access-list text for the
// whole check.
//
// A filter line reads
//   @SRC/LEN <tab> DST/LEN <tab> SPLO : SPHI <tab> DPLO : DPHI <tab> PROTO/MASK <tab> FLAGS/MASK
// The line order is the list order; every seventh rule (lines 7, 14, ...)
// denies, the others permit; the flags are ignored. Ports count only for
// TCP and UDP: a list line cannot give them to another protocol.
#ifndef DORVEX_BENCH_CLASSBENCH_LISTS_H_
#define DORVEX_BENCH_CLASSBENCH_LISTS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "space/rule_list.h"

namespace dorvex::bench {

struct FilterRule {
  std::uint32_t src = 0, dst = 0;  // network addresses, host bits cleared
  int src_len = 0, dst_len = 0;
  std::uint32_t sp_low = 0, sp_high = 65535, dp_low = 0, dp_high = 65535;
  int protocol = -1;  // -1: any
  Action action = Action::permit;
};

// Reads the filter file at `path` into `rules`. Returns false iff it cannot
// be read or a line is malformed; `error` then says which.
bool readFilterFile(const std::string& path, std::vector<FilterRule>& rules, std::string& error);

// The rules as the list cover's input; rule k (from 0) gets line
// firstLine + k.
std::vector<CoverRule> coverRules(const std::vector<FilterRule>& rules, int firstLine = 1);

// The rules as one access list: numbered ("access-list NAME permit ...",
// a rule's line is its position from 1) when `named` is false, else
// "ip access-list extended NAME" and one indented line per rule (a rule's
// line is its position plus 1).
std::string accessListText(const std::vector<FilterRule>& rules, const std::string& name,
                           bool named);

// The rules rotated by half their count, each taking the action of its new
// line: a setting list that differs from its source in order and action.
std::vector<FilterRule> shiftedHalf(const std::vector<FilterRule>& rules);

// The folder of the filter files: $DORVEX_CLASSBENCH when set, else the copy
// in the source tree.
std::string filterFolder();

}  // namespace dorvex::bench

#endif  // DORVEX_BENCH_CLASSBENCH_LISTS_H_
