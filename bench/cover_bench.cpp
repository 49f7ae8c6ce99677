// Benchmarks of the list cover over the ClassBench filter sets, per family:
// a 10k source list against the family's 1k list and against itself
// rotated by half (classbench_lists.h), and the findings within the 10k list.
// Each run is one whole check; the counters give its outcome, so a change
// that trades verdicts for speed shows. The files are found in
// $DORVEX_CLASSBENCH, else in the copy in the source tree.
#include <benchmark/benchmark.h>

#include <map>
#include <string>

#include "classbench_lists.h"
#include "space/list_cover.h"
#include "space/list_within.h"

namespace dorvex::bench {

namespace {

const char* const kFamilies[] = {"acl2", "acl3", "fw2", "fw3", "ipc2"};

// The rules of a filter file, read once; empty when it cannot be read.
const std::vector<FilterRule>& filterRules(const std::string& file) {
  static std::map<std::string, std::vector<FilterRule>> cache;
  auto found = cache.find(file);
  if (found == cache.end()) {
    std::vector<FilterRule> rules;
    std::string error;
    if (!readFilterFile(filterFolder() + "/" + file, rules, error)) rules.clear();
    found = cache.emplace(file, std::move(rules)).first;
  }
  return found->second;
}

void coverCheck(benchmark::State& state, std::string family, bool shifted) {
  const std::vector<FilterRule>& source = filterRules(family + "_10k");
  const std::vector<FilterRule>& setting = shifted ? source : filterRules(family + "_1k");
  if (source.empty() || setting.empty()) {
    state.SkipWithError("filter files not found (set DORVEX_CLASSBENCH)");
    return;
  }
  std::vector<CoverRule> settingRules = coverRules(shifted ? shiftedHalf(source) : setting);
  int counts[3] = {};
  for (auto _ : state) {
    RuleList list(coverRules(source));
    counts[0] = counts[1] = counts[2] = 0;
    for (const CoverRule& rule : settingRules) ++counts[int(verdict(list, rule).kind)];
  }
  state.counters["covered"] = counts[0];
  state.counters["not_covered"] = counts[1];
  state.counters["undecided"] = counts[2];
}

void withinCheck(benchmark::State& state, std::string family) {
  const std::vector<FilterRule>& rules = filterRules(family + "_10k");
  if (rules.empty()) {
    state.SkipWithError("filter files not found (set DORVEX_CLASSBENCH)");
    return;
  }
  int counts[3] = {};
  for (auto _ : state) {
    counts[0] = counts[1] = counts[2] = 0;
    for (const Finding& f : within(RuleList(coverRules(rules)))) ++counts[int(f.kind)];
  }
  state.counters["unreachable"] = counts[0];
  state.counters["redundant"] = counts[1];
  state.counters["undecided"] = counts[2];
}

bool registerAll() {
  for (const char* family : kFamilies) {
    std::string name = family;
    benchmark::RegisterBenchmark(("Cover_10kVs1k/" + name).c_str(), coverCheck, name, false)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
    benchmark::RegisterBenchmark(("Cover_10kVsShifted10k/" + name).c_str(), coverCheck, name, true)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
    benchmark::RegisterBenchmark(("Cover_Within10k/" + name).c_str(), withinCheck, name)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
  }
  return true;
}

const bool registered = registerAll();

}  // namespace

}  // namespace dorvex::bench
