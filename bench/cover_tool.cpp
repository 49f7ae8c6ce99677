// dorvex_cover: the ClassBench filter sets through the list cover, and as
// access-list text for the whole check.
//
//   dorvex_cover text FILE [NAME]      the list as "access-list NAME ..." lines
//                                      (NAME default 101; a name that is not a
//                                      number gives "ip access-list extended NAME")
//   dorvex_cover check SOURCE SETTING  the verdict of every setting rule
//   dorvex_cover check SOURCE shifted  the same, the setting being SOURCE
//                                      rotated by half (classbench_lists.h)
//   dorvex_cover check SOURCE edited   the same, the setting being SOURCE
//                                      with 50 edits, as diff makes them
//   dorvex_cover within FILE           the findings in one list
//   dorvex_cover diff FILE [EDITS]     the change review of the list against
//                                      a copy with EDITS edits (default 50):
//                                      deletes, inserts of copied rules,
//                                      moves and flipped actions, in turn
//
// check and within print counts, the seconds taken (processor time) and the
// peak resident memory in MiB, one "name value" pair a line.
#include <sys/resource.h>

#include <cctype>
#include <cstdlib>
#include <cstdio>
#include <ctime>
#include <map>
#include <random>
#include <string>

#include "classbench_lists.h"
#include "space/list_cover.h"
#include "space/list_diff.h"
#include "space/list_within.h"

namespace {

using namespace dorvex;
using namespace dorvex::bench;

double processorSeconds() { return double(std::clock()) / CLOCKS_PER_SEC; }

double peakMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;
}

bool load(const std::string& path, std::vector<FilterRule>& rules) {
  std::string error;
  if (readFilterFile(path, rules, error)) return true;
  std::fprintf(stderr, "dorvex_cover: %s\n", error.c_str());
  return false;
}

void print(const std::map<std::string, double>& figures) {
  for (const auto& [name, value] : figures) std::printf("%s %.6g\n", name.c_str(), value);
}

// A seeded copy of `older` with `edits` edits in turn: a delete, an insert
// of a copied rule, a move, a flipped action; its lines numbered afresh.
std::vector<CoverRule> editedCopy(const std::vector<CoverRule>& older, int edits) {
  std::vector<CoverRule> newer = older;
  std::mt19937 rng(7);
  for (int e = 0; e < edits && !newer.empty(); ++e) {
    const auto at = [&] { return static_cast<std::ptrdiff_t>(rng() % newer.size()); };
    switch (e % 4) {
      case 0: newer.erase(newer.begin() + at()); break;
      case 1: newer.insert(newer.begin() + at(), older[static_cast<std::size_t>(at())]); break;
      case 2: {
        const auto from = at();
        const CoverRule moved = newer[static_cast<std::size_t>(from)];
        newer.erase(newer.begin() + from);
        newer.insert(newer.begin() + at(), moved);
        break;
      }
      default: {
        CoverRule& r = newer[static_cast<std::size_t>(at())];
        r.action = r.action == Action::permit ? Action::deny : Action::permit;
      }
    }
  }
  for (std::size_t k = 0; k < newer.size(); ++k) newer[k].line = static_cast<int>(k) + 1;
  return newer;
}

int check(const std::string& sourcePath, const std::string& settingPath) {
  std::vector<FilterRule> source, setting;
  if (!load(sourcePath, source)) return 2;
  if (settingPath == "shifted") {
    setting = shiftedHalf(source);
  } else if (settingPath != "edited" && !load(settingPath, setting)) {
    return 2;
  }
  double start = processorSeconds();
  RuleList list(coverRules(source));
  std::map<std::string, double> figures{{"covered", 0},
                                        {"not_covered", 0},
                                        {"undecided", 0},
                                        {"undecided_budget", 0},
                                        {"unreachable", 0}};
  // Each setting rule on the packets that reach it in its own list, as the
  // list cover judges it.
  const RuleList settings(settingPath == "edited" ? editedCopy(coverRules(source), 50)
                                                  : coverRules(setting));
  const InListCover cover(list, settings);
  for (int position = 0; position < int(settings.rules().size()); ++position) {
    Verdict v = cover.at(position);
    if (v.kind == VerdictKind::unreachable) ++figures["unreachable"];
    if (v.kind == VerdictKind::covered) ++figures["covered"];
    if (v.kind == VerdictKind::notCovered) ++figures["not_covered"];
    if (v.kind == VerdictKind::undecided)
      ++figures[v.reason == "budget" ? "undecided_budget" : "undecided"];
  }
  figures["seconds"] = processorSeconds() - start;
  figures["peak_mib"] = peakMiB();
  print(figures);
  return 0;
}

int withinList(const std::string& path) {
  std::vector<FilterRule> rules;
  if (!load(path, rules)) return 2;
  double start = processorSeconds();
  std::vector<Finding> findings = within(RuleList(coverRules(rules)));
  std::map<std::string, double> figures{{"unreachable", 0},      {"redundant", 0},
                                        {"undecided", 0},        {"blocking_at_most_5", 0},
                                        {"blocking_largest", 0}, {"conflicting", 0}};
  for (const Finding& f : findings) {
    static const char* const kKinds[] = {"unreachable", "redundant", "undecided"};
    ++figures[kKinds[int(f.kind)]];
    if (f.kind != FindingKind::unreachable) continue;
    figures["blocking_at_most_5"] += f.lines.size() <= 5;
    figures["blocking_largest"] = std::max(figures["blocking_largest"], double(f.lines.size()));
    figures["conflicting"] += f.conflicting_line != 0;
  }
  figures["seconds"] = processorSeconds() - start;
  figures["peak_mib"] = peakMiB();
  print(figures);
  return 0;
}

int diffList(const std::string& path, int edits) {
  std::vector<FilterRule> rules;
  if (!load(path, rules)) return 2;
  std::vector<CoverRule> older = coverRules(rules), newer = editedCopy(older, edits);
  const double start = processorSeconds();
  const ListChanges changes = compareLists(RuleList(std::move(older)), RuleList(std::move(newer)));
  std::map<std::string, double> figures{{"differences", double(changes.differences.size())},
                                        {"undecided", double(changes.undecided.size())},
                                        {"guard", changes.guard.empty() ? 0.0 : 1.0}};
  figures["seconds"] = processorSeconds() - start;
  figures["peak_mib"] = peakMiB();
  print(figures);
  return 0;
}

int text(const std::string& path, const std::string& name) {
  std::vector<FilterRule> rules;
  if (!load(path, rules)) return 2;
  bool numbered = !name.empty() && std::isdigit(static_cast<unsigned char>(name[0]));
  std::fputs(accessListText(rules, name, !numbered).c_str(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string command = argc > 1 ? argv[1] : "";
  if (command == "text" && (argc == 3 || argc == 4))
    return text(argv[2], argc == 4 ? argv[3] : "101");
  if (command == "check" && argc == 4) return check(argv[2], argv[3]);
  if (command == "within" && argc == 3) return withinList(argv[2]);
  if (command == "diff" && (argc == 3 || argc == 4))
    return diffList(argv[2], argc == 4 ? std::atoi(argv[3]) : 50);
  std::fprintf(stderr,
               "usage: dorvex_cover text FILE [NAME] | check SOURCE SETTING|shifted|edited | "
               "within FILE | diff FILE [EDITS]\n");
  return 2;
}
