// The whole check on two texts taken from one input: the bytes before the
// first NUL are the source config, those after it the setting config (which
// then ends at its own first NUL, as any text does). Runs load,
// checkConfigs, checkDuplicates and the report text in memory, and compares
// the duplication check with the pair-by-pair reference on a second
// workspace: both must mark and report the same duplications; the same
// again in the full syntax and the exact cover, whose candidates the index
// gives by the classic address tests; and the index's two ways of finding
// candidates against each other; and the list cover and the within
// analysis, with every witness re-checked.
#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "dupcheck/duplication_check.h"
#include "dupcheck/duplication_index.h"
#include "dupcheck/rule_boxes.h"
#include "dupcheck/rule_cover.h"
#include "dupcheck/summary_listing.h"
#include "workspace/check_workspace.h"

namespace {

void fixedClock(std::string& date, std::string& time) {
  date = "12/07/26";
  time = "20:00:00";
}

void require(bool condition) {
  if (!condition) std::abort();
}

class CountingSink : public dorvex::ProgressSink {
 public:
  void write(std::string_view text) override { bytes += text.size(); }
  std::size_t bytes = 0;
};

// The index's two ways of finding candidates in `cover`: the hashed ones
// are among the scanned ones, and leave out none that the cover test takes.
void compareIndexWays(const dorvex::AclConfig& source, const dorvex::AclConfig& setting,
                      dorvex::Cover cover) {
  static dorvex::DuplicationIndex scanned, hashed;
  scanned.build(source, setting, cover, INT_MAX);
  hashed.build(source, setting, cover, 0);
  std::vector<int> all, some;
  for (int s = 0; s < setting.entryCount(); ++s) {
    const dorvex::AclEntry& rule = *setting.entryAt(s);
    all = scanned.candidates(s);
    some = hashed.candidates(s);
    require(std::includes(all.begin(), all.end(), some.begin(), some.end()));
    for (int r : all) {
      const dorvex::AclEntry& candidate = *source.entryAt(r);
      const bool covers = cover == dorvex::Cover::exact
                              ? dorvex::isReadRule(candidate) && dorvex::isReadRule(rule) &&
                                    dorvex::exactRuleCovers(candidate, rule)
                              : dorvex::ruleCovers(candidate, rule);
      require(!covers || std::binary_search(some.begin(), some.end(), r));
    }
  }
}

// Whether two entries belong to lists of one name (or number).
bool sameList(const dorvex::AclConfig& a, const dorvex::AclEntry& x, const dorvex::AclConfig& b,
              const dorvex::AclEntry& y) {
  using dorvex::kNamedListBase;
  if (x.acl_no >= kNamedListBase && y.acl_no >= kNamedListBase) {
    return a.nameView(x.acl_no - kNamedListBase) == b.nameView(y.acl_no - kNamedListBase);
  }
  return x.acl_no == y.acl_no;
}

bool matchesAny(const dorvex::CoverRule& rule, const dorvex::Packet& packet) {
  for (const dorvex::Box& box : rule.boxes) {
    if (dorvex::matches(box, packet)) return true;
  }
  return false;
}

// Every witness of the list cover, re-checked by a plain first-match walk
// of the source entries: the setting rule matches it, and the first source
// rule of its list that matches it is the one named, and takes the other
// action (the implicit deny when none does). Rules not exactly known stop
// the walk: past them the first match is not known.
void recheckWitnesses(const dorvex::CheckWorkspace& workspace) {
  const dorvex::AclConfig& source = workspace.sourceConfig;
  const dorvex::AclConfig& setting = workspace.settingConfig;
  for (const dorvex::ListVerdict& verdict : workspace.listVerdicts()) {
    if (verdict.kind != dorvex::ListVerdictKind::notCovered) continue;
    const dorvex::CoverRule rule = dorvex::coverRuleOf(setting, verdict.settingEntry);
    const dorvex::Packet& witness = verdict.verdict.witness;
    require(matchesAny(rule, witness));
    const dorvex::AclEntry& settingEntry = *setting.entryAt(verdict.settingEntry);
    int decidedBy = 0;
    dorvex::Action action = dorvex::Action::deny;
    for (int k = 0; k < source.entryCount(); ++k) {
      if (!sameList(source, *source.entryAt(k), setting, settingEntry)) continue;
      const dorvex::CoverRule candidate = dorvex::coverRuleOf(source, k);
      if (!matchesAny(candidate, witness)) continue;
      require(candidate.exact);
      decidedBy = candidate.line;
      action = candidate.action;
      break;
    }
    require(decidedBy == verdict.verdict.witness_line);
    require(action == verdict.verdict.witness_action && action != rule.action);
  }
}

bool sameEntries(const dorvex::AclConfig& a, const dorvex::AclConfig& b) {
  if (a.entryCount() != b.entryCount()) return false;
  for (int k = 0; k < a.entryCount(); ++k) {
    if (a.entryAt(k)->flags != b.entryAt(k)->flags) return false;
  }
  return true;
}

// The indexed check of `indexed` (loaded in `modes`) against the pair loop
// on `byPairs`, which is prepared by hand with small result texts (they
// grow): the fuzzer spends its time in page faults otherwise.
void compareWithPairLoop(dorvex::CheckWorkspace& indexed, dorvex::CheckWorkspace& byPairs,
                         std::string_view source, std::string_view setting,
                         dorvex::CheckModes modes) {
  require(byPairs.sourceConfig.reset(source, true, modes.syntax) &&
          byPairs.settingConfig.reset(setting, true, modes.syntax));
  require(byPairs.sourceSummary.allocate(16) && byPairs.settingSummary.allocate(16) &&
          byPairs.duplicationDetails.allocate(16));
  byPairs.checkConfigs(nullptr);
  const long long pairs =
      dorvex::findDuplicationsByPairs(byPairs.sourceConfig, byPairs.settingConfig,
                                      byPairs.duplicationDetails, nullptr, modes.cover);
  dorvex::writeSummary(byPairs.sourceConfig, byPairs.sourceSummary);
  dorvex::writeSummary(byPairs.settingConfig, byPairs.settingSummary);
  require(indexed.duplicationCount() == pairs);
  require(sameEntries(indexed.sourceConfig, byPairs.sourceConfig));
  require(sameEntries(indexed.settingConfig, byPairs.settingConfig));
  require(indexed.sourceSummary.view() == byPairs.sourceSummary.view());
  require(indexed.settingSummary.view() == byPairs.settingSummary.view());
  require(indexed.duplicationDetails.view() == byPairs.duplicationDetails.view());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static dorvex::CheckWorkspace indexed;
  static dorvex::CheckWorkspace byPairs;
  indexed.setClock(fixedClock);
  byPairs.setClock(fixedClock);

  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::size_t split = input.find('\0');
  if (split == std::string_view::npos) return 0;
  std::string_view source = input.substr(0, split);
  std::string_view setting = input.substr(split + 1);

  bool loaded = indexed.load(source, setting);
  // load refuses exactly the texts that are empty up to their first NUL.
  bool empty = source.empty() || setting.empty() || setting.front() == '\0';
  require(loaded != empty);
  if (!loaded) return 0;

  CountingSink sink;
  indexed.checkConfigs(&sink);
  require(indexed.checkDuplicates(&sink));
  std::string report = indexed.reportText("source.cfg", "setting.cfg");
  require(report.size() > indexed.duplicationDetails.view().size());

  compareWithPairLoop(indexed, byPairs, source, setting, dorvex::CheckModes{});
  require(report == byPairs.reportText("source.cfg", "setting.cfg"));

  // The index scans small groups and hashes large ones; inputs this size
  // only make small groups, so both ways are built for every group here.
  compareIndexWays(indexed.sourceConfig, indexed.settingConfig, dorvex::Cover::classic);

  constexpr dorvex::CheckModes kFullExact{dorvex::Syntax::full, dorvex::Cover::exact};
  require(indexed.load(source, setting, true, kFullExact));
  indexed.checkConfigs(nullptr);
  require(indexed.checkDuplicates(nullptr));
  compareWithPairLoop(indexed, byPairs, source, setting, kFullExact);
  compareIndexWays(indexed.sourceConfig, indexed.settingConfig, dorvex::Cover::exact);

  // The list cover and the within analysis: no crash, no sanitizer report,
  // and every witness re-checked.
  constexpr dorvex::CheckModes kFullList{dorvex::Syntax::full, dorvex::Cover::list, true};
  indexed.recordPairs(true);
  require(indexed.load(source, setting, true, kFullList));
  indexed.checkConfigs(nullptr);
  require(indexed.checkDuplicates(nullptr));
  recheckWitnesses(indexed);
  indexed.recordPairs(false);
  return 0;
}
