// Benchmarks of the check: the duplication check (indexed and by pairs), the
// statement parser, and the whole console check against only reading the
// two files and splitting their lines into words.
//
// The benchmarks named Target_* measure one target of the performance issue
// each, as a ratio of two times taken in the same run (these machines are
// noisy; absolute times are not stable), the best of several runs each: the
// counters "ratio" (of processor times, which decides), "wall_ratio" and
// "limit", and a label with both times that says PASS or FAIL.
// bench/run_targets.sh runs them and prints the labels.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/console_driver.h"
#include "config_generator.h"
#include "dupcheck/duplication_check.h"
#include "parser/acl_config.h"
#include "platform/config_file.h"
#include "text/text_cursor.h"
#include "workspace/check_workspace.h"

namespace dorvex::bench {

namespace {

enum class Shape { manyLists, oneList, distinctPorts, distinctMasks };
enum class Method { indexed, pairs };

GeneratorShape shapeOf(Shape shape, int rules) {
  switch (shape) {
    case Shape::manyLists: return manyListsShape(rules);
    case Shape::oneList: return oneListShape(rules);
    case Shape::distinctPorts: return distinctPortsShape(rules);
    case Shape::distinctMasks: return distinctMasksShape(rules);
  }
  return manyListsShape(rules);
}

// Generated pairs, made once per shape and size.
const ConfigPair& pairFor(Shape shape, int rules) {
  static std::map<std::pair<Shape, int>, ConfigPair> cache;
  auto key = std::make_pair(shape, rules);
  auto found = cache.find(key);
  if (found == cache.end()) {
    found = cache.emplace(key, generateConfigPair(shapeOf(shape, rules))).first;
  }
  return found->second;
}

// The wall time and the processor time of the process (user and system)
// of one run of `work`, in seconds. The targets are judged on the processor
// time: on a busy machine the wall time also counts the time the process
// waits for a processor.
struct Times {
  double wall = 1e9;
  double cpu = 1e9;
  // Keeps the smaller of each time.
  void keepBest(const Times& other) {
    wall = std::min(wall, other.wall);
    cpu = std::min(cpu, other.cpu);
  }
};

double processSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

template <typename Work>
Times timesOf(Work&& work) {
  auto wallStart = std::chrono::steady_clock::now();
  double cpuStart = processSeconds();
  work();
  Times times;
  times.cpu = processSeconds() - cpuStart;
  times.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
  return times;
}

// The opt-in modes for running configurations.
constexpr CheckModes kFullExact{Syntax::full, Cover::exact};

// Loads and parses `pair` in `modes`: the workspace is then ready for a
// duplication check.
void prepare(CheckWorkspace& workspace, const ConfigPair& pair, CheckModes modes = {}) {
  workspace.load(pair.source, pair.setting, true, modes);
  workspace.checkConfigs(nullptr);
}

void runCheck(CheckWorkspace& workspace, Method method) {
  if (method == Method::indexed) {
    workspace.checkDuplicates(nullptr);
  } else {
    workspace.checkDuplicatesByPairs(nullptr);
  }
}

// The times of one duplication check of `pair`, parsing excluded.
Times timeCheck(CheckWorkspace& workspace, const ConfigPair& pair, Method method) {
  prepare(workspace, pair);
  return timesOf([&] { runCheck(workspace, method); });
}

// Two configuration files of `lines` lines each in a directory of their own,
// which also takes the reports; removed at exit.
class ConsoleFiles {
 public:
  explicit ConsoleFiles(int lines) {
    directory = std::filesystem::temp_directory_path() /
                ("dorvex_bench_" + std::to_string(lines) + "_" +
                 std::to_string(reinterpret_cast<std::uintptr_t>(this)));
    std::filesystem::create_directories(directory);
    ConfigPair pair = generateConfigPair(linesShape(lines));
    source = (directory / "source.cfg").string();
    setting = (directory / "setting.cfg").string();
    std::ofstream(source, std::ios::binary) << pair.source;
    std::ofstream(setting, std::ios::binary) << pair.setting;
  }
  ~ConsoleFiles() {
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
  }

  static const ConsoleFiles& forLines(int lines) {
    static std::map<int, std::unique_ptr<ConsoleFiles>> cache;
    auto& files = cache[lines];
    if (!files) files = std::make_unique<ConsoleFiles>(lines);
    return *files;
  }

  // Removes the reports of earlier checks, so that each check writes a new
  // report as a single run does, rather than replacing (and so deleting) the
  // report of a run in the same second.
  void removeReports() const {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(directory, ignored)) {
      if (entry.path().filename().string().rfind("Result", 0) == 0) {
        std::filesystem::remove(entry.path(), ignored);
      }
    }
  }

  std::filesystem::path directory;
  std::string source;
  std::string setting;
};

// The whole console check, as `dorvex -q -o DIR SOURCE SETTING` runs it (with
// `--syntax full --cover exact` for kFullExact).
int consoleCheck(const ConsoleFiles& files, CheckModes modes = {}) {
  DriverOptions options;
  options.modes = modes;
  options.sourcePath = files.source;
  options.settingPath = files.setting;
  options.outputDirectory = files.directory.string();
  options.quiet = true;
  std::ostringstream out, err;
  return runDriver(options, out, err);
}

// Only reading both files and splitting every line into words, copied into
// fixed word slots (TextCursor::splitLine): the fixed baseline of target 4.
// The statement parser now splits into views (WordRow), which costs less;
// the target keeps its baseline so that its figures compare across changes.
long long readAndSplit(const ConsoleFiles& files) {
  long long words = 0;
  constexpr int kSlots = 15;
  std::vector<char> slots(static_cast<std::size_t>(kWordSize) * (kSlots + 1));
  int lengths[kSlots + 1];
  for (const std::string* path : {&files.source, &files.setting}) {
    std::string text, reason;
    readConfigFile(*path, text, reason);
    TextCursor input;
    input.loadText(text);
    char c;
    while (input.peekChar(c) && c != '\0') {
      input.splitLine(slots.data(), lengths, kSlots, " \r");
      for (int k = 0; k < kSlots && lengths[k] > 0; ++k) ++words;
    }
  }
  return words;
}

// Sets the counters and the label of a target from the processor times
// `measured` and `base` (their ratio decides) and their wall-time ratio.
void report(benchmark::State& state, const char* measuredName, const Times& measured,
            const char* baseName, const Times& base, double limit, bool atMost) {
  const double ratio = measured.cpu / base.cpu;
  const bool pass = atMost ? ratio <= limit : ratio >= limit;
  state.counters["ratio"] = ratio;
  state.counters["wall_ratio"] = measured.wall / base.wall;
  state.counters["limit"] = limit;
  char label[200];
  std::snprintf(label, sizeof label, "%s %.1f ms / %s %.1f ms = %.2f (%s %.1f; wall %.2f): %s",
                measuredName, measured.cpu * 1e3, baseName, base.cpu * 1e3, ratio,
                atMost ? "at most" : "at least", limit, measured.wall / base.wall,
                pass ? "PASS" : "FAIL");
  state.SetLabel(label);
}

// ---- The single measurements, for the figures.

void BM_DuplicationCheck(benchmark::State& state, Shape shape, Method method,
                         CheckModes modes = {}) {
  const ConfigPair& pair = pairFor(shape, static_cast<int>(state.range(0)));
  auto workspace = std::make_unique<CheckWorkspace>();
  for (auto _ : state) {
    state.PauseTiming();
    prepare(*workspace, pair, modes);
    state.ResumeTiming();
    runCheck(*workspace, method);
  }
  state.counters["duplicates"] = static_cast<double>(workspace->duplicationCount());
}
BENCHMARK_CAPTURE(BM_DuplicationCheck, indexed_many_lists, Shape::manyLists, Method::indexed)
    ->Arg(3000)
    ->Arg(30000)
    ->Arg(60000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DuplicationCheck, indexed_one_list, Shape::oneList, Method::indexed)
    ->Arg(3000)
    ->Arg(30000)
    ->Arg(60000)
    ->Unit(benchmark::kMillisecond);
// One host with a port per rule, and a wildcard mask per rule: shapes that
// an index on addresses alone checks in quadratic time.
BENCHMARK_CAPTURE(BM_DuplicationCheck, indexed_distinct_ports, Shape::distinctPorts,
                  Method::indexed)
    ->Arg(10000)
    ->Arg(20000)
    ->Arg(40000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DuplicationCheck, indexed_distinct_masks, Shape::distinctMasks,
                  Method::indexed)
    ->Arg(10000)
    ->Arg(20000)
    ->Arg(40000)
    ->Arg(80000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DuplicationCheck, indexed_full_exact_many_lists, Shape::manyLists,
                  Method::indexed, kFullExact)
    ->Arg(30000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DuplicationCheck, indexed_full_exact_one_list, Shape::oneList, Method::indexed,
                  kFullExact)
    ->Arg(30000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DuplicationCheck, pairs_many_lists, Shape::manyLists, Method::pairs)
    ->Arg(3000)
    ->Arg(30000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DuplicationCheck, pairs_one_list, Shape::oneList, Method::pairs)
    ->Arg(3000)
    ->Arg(30000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

void BM_ParseBoth(benchmark::State& state) {
  const ConfigPair& pair = pairFor(Shape::manyLists, static_cast<int>(state.range(0)));
  auto workspace = std::make_unique<CheckWorkspace>();
  for (auto _ : state) {
    state.PauseTiming();
    workspace->load(pair.source, pair.setting);
    state.ResumeTiming();
    workspace->checkConfigs(nullptr);
  }
}
BENCHMARK(BM_ParseBoth)->Arg(3000)->Arg(30000)->Unit(benchmark::kMillisecond);

void BM_ConsoleCheck(benchmark::State& state) {
  const ConsoleFiles& files = ConsoleFiles::forLines(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    files.removeReports();
    state.ResumeTiming();
    benchmark::DoNotOptimize(consoleCheck(files));
  }
}
BENCHMARK(BM_ConsoleCheck)->Arg(3000)->Arg(30000)->Unit(benchmark::kMillisecond);

void BM_ReadAndSplit(benchmark::State& state) {
  const ConsoleFiles& files = ConsoleFiles::forLines(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(readAndSplit(files));
}
BENCHMARK(BM_ReadAndSplit)->Arg(3000)->Arg(30000)->Unit(benchmark::kMillisecond);

// ---- The targets, each a ratio of two times of this run.

constexpr int kTargetRules = 30000;
constexpr int kRepeats = 7;  // the best of so many runs counts

// Targets 1 and 2: the indexed check against the pair loop, with identical
// output.
void Target_IndexedVsPairs(benchmark::State& state, Shape shape, double limit) {
  const ConfigPair& pair = pairFor(shape, kTargetRules);
  auto workspace = std::make_unique<CheckWorkspace>();
  for (auto _ : state) {
    Times pairs = timeCheck(*workspace, pair, Method::pairs);
    std::string expected(workspace->duplicationDetails.view());
    std::string expectedSource(workspace->sourceSummary.view());
    std::string expectedSetting(workspace->settingSummary.view());
    long long expectedCount = workspace->duplicationCount();
    Times indexed;
    for (int k = 0; k < kRepeats; ++k)
      indexed.keepBest(timeCheck(*workspace, pair, Method::indexed));
    if (workspace->duplicationDetails.view() != expected ||
        workspace->duplicationCount() != expectedCount ||
        workspace->sourceSummary.view() != expectedSource ||
        workspace->settingSummary.view() != expectedSetting) {
      state.SkipWithError("the indexed check differs from the pair loop");
      return;
    }
    state.counters["duplicates"] = static_cast<double>(expectedCount);
    report(state, "pairs", pairs, "indexed", indexed, limit, false);
  }
}
BENCHMARK_CAPTURE(Target_IndexedVsPairs, 1_many_lists, Shape::manyLists, 50.0)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Target_IndexedVsPairs, 2_one_list, Shape::oneList, 10.0)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// Target 3: doubling the rules (from `rules`) at most 2.5 times the
// check's time.
void Target_Growth(benchmark::State& state, Shape shape, int rules) {
  const ConfigPair& small = pairFor(shape, rules);
  const ConfigPair& large = pairFor(shape, 2 * rules);
  auto workspace = std::make_unique<CheckWorkspace>();
  const std::string smallName = std::to_string(rules / 1000) + "k";
  const std::string largeName = std::to_string(2 * rules / 1000) + "k";
  for (auto _ : state) {
    Times smallTimes, largeTimes;
    for (int k = 0; k < kRepeats; ++k) {
      smallTimes.keepBest(timeCheck(*workspace, small, Method::indexed));
      largeTimes.keepBest(timeCheck(*workspace, large, Method::indexed));
    }
    report(state, largeName.c_str(), largeTimes, smallName.c_str(), smallTimes, 2.5, true);
  }
}
BENCHMARK_CAPTURE(Target_Growth, 3_many_lists, Shape::manyLists, kTargetRules)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Target_Growth, 3_one_list, Shape::oneList, kTargetRules)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Target_Growth, 3_distinct_ports, Shape::distinctPorts, 20000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Target_Growth, 3_distinct_masks, Shape::distinctMasks, 20000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// Target 4: the whole console check at most 3 times reading and splitting.
void Target_ConsoleVsReadAndSplit(benchmark::State& state) {
  const ConsoleFiles& files = ConsoleFiles::forLines(kTargetRules);
  for (auto _ : state) {
    Times check, split;
    for (int k = 0; k < kRepeats; ++k) {
      files.removeReports();
      check.keepBest(timesOf([&] { consoleCheck(files); }));
      split.keepBest(timesOf([&] { benchmark::DoNotOptimize(readAndSplit(files)); }));
    }
    report(state, "check", check, "read+split", split, 3.0, true);
  }
}
BENCHMARK(Target_ConsoleVsReadAndSplit)
    ->Name("Target_ConsoleVsReadAndSplit/4")
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// Target 6: the whole console check in the full syntax and the exact cover
// at most 1.3 times the same check in the default modes.
void Target_FullExactVsDefault(benchmark::State& state) {
  const ConsoleFiles& files = ConsoleFiles::forLines(kTargetRules);
  for (auto _ : state) {
    Times fullExact, classic;
    for (int k = 0; k < kRepeats; ++k) {
      files.removeReports();
      fullExact.keepBest(timesOf([&] { consoleCheck(files, kFullExact); }));
      files.removeReports();
      classic.keepBest(timesOf([&] { consoleCheck(files); }));
    }
    report(state, "full+exact", fullExact, "default", classic, 1.3, true);
  }
}
BENCHMARK(Target_FullExactVsDefault)
    ->Name("Target_FullExactVsDefault/6")
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// Target 7: an object group of twice the members (from `members`) at most
// 2.5 times the check's time: two configurations whose rules use one
// network group each, of hosts apart from each other, compared in the full
// syntax and the exact cover.
std::string groupConfig(int members) {
  std::string text = "object-group network BIG\n";
  for (int k = 0; k < members; ++k) {
    const int address = 4 * k;
    text += " host 10." + std::to_string((address >> 16) & 255) + "." +
            std::to_string((address >> 8) & 255) + "." + std::to_string(address & 255) + "\n";
  }
  text += "ip access-list extended L\n permit tcp object-group BIG any eq 443\n";
  text += " permit udp any object-group BIG eq 53\n";
  return text;
}

Times timeGroupCheck(const std::string& text) {
  auto source = std::make_unique<AclConfig>();
  auto setting = std::make_unique<AclConfig>();
  TextCursor details;
  return timesOf([&] {
    source->reset(text, false, Syntax::full);
    source->checkConfig();
    setting->reset(text, false, Syntax::full);
    setting->checkConfig();
    details.allocate(4096);
    if (findDuplications(*source, *setting, details, nullptr, Cover::exact) != 2) std::abort();
  });
}

void Target_GroupGrowth(benchmark::State& state, int members) {
  const std::string small = groupConfig(members), large = groupConfig(2 * members);
  for (auto _ : state) {
    Times smallTimes, largeTimes;
    for (int k = 0; k < kRepeats; ++k) {
      smallTimes.keepBest(timeGroupCheck(small));
      largeTimes.keepBest(timeGroupCheck(large));
    }
    report(state, "20k members", largeTimes, "10k members", smallTimes, 2.5, true);
  }
}
BENCHMARK_CAPTURE(Target_GroupGrowth, 7_object_group, 10000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace

}  // namespace dorvex::bench

BENCHMARK_MAIN();
