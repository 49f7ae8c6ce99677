#include "dupcheck/list_check.h"

#include <algorithm>
#include <map>
#include <string_view>
#include <utility>

#include "dupcheck/access_lists.h"
#include "dupcheck/rule_boxes.h"
#include "space/decision_diagram.h"
#include "space/removal_set.h"
#include "text/text_writer.h"

namespace dorvex {

namespace {

class ListCheckRun {
 public:
  ListCheckRun(AclConfig& source, AclConfig& setting, TextCursor& details,
               std::vector<DuplicatePair>* pairs, std::vector<ListVerdict>* verdicts)
      : source(source), setting(setting), out(&details), pairs(pairs), verdicts(verdicts) {}

  long long run() {
    for (auto& [key, entries] : listsOf(source)) {
      sourceLists.emplace(key, RuleList(coverRulesOf(source, key, entries)));
    }
    // Each setting rule is judged on the packets that reach it in its own
    // list: its position there, by its line.
    for (auto& [key, entries] : listsOf(setting)) {
      const RuleList& list =
          settingLists.emplace(key, RuleList(coverRulesOf(setting, key, entries))).first->second;
      for (int p = static_cast<int>(list.rules().size()); p-- > 0;) {
        positionOfLine[list.rules()[static_cast<std::size_t>(p)].line] = p;
      }
    }
    ListKey key;
    for (int s = 0; s < setting.entryCount(); ++s) {
      const AclEntry& entry = *setting.entryAt(s);
      if (isReadRule(entry) && listKeyOf(setting, entry, key)) judge(s, key);
    }
    out.finish();
    return covered;
  }

 private:
  void judge(int settingIndex, const ListKey& key) {
    ListVerdict result;
    result.settingEntry = settingIndex;
    const auto list = sourceLists.find(key);
    if (list == sourceLists.end()) {
      writeStart(key, settingIndex);
      out.text("no-source-list").lineEnd();
    } else {
      // One cover a list: the two lists are aligned once.
      auto cover = covers.find(key);
      if (cover == covers.end()) {
        cover = covers.try_emplace(key, list->second, settingLists.at(key)).first;
      }
      result.verdict = cover->second.at(positionOfLine.at(setting.entryAt(settingIndex)->column));
      result.kind = write(key, settingIndex, result.verdict);
    }
    if (verdicts) verdicts->push_back(std::move(result));
  }

  ListVerdictKind write(const ListKey& key, int settingIndex, const Verdict& verdict) {
    const int settingLine = setting.entryAt(settingIndex)->column;
    switch (verdict.kind) {
      case VerdictKind::covered:
        ++covered;
        setting.markEntry(settingIndex, kDuplicateBit);
        for (int line : verdict.deciding_lines) {
          writeList(key);
          writeSourceRow(line);
          out.text(" setting-row=").number(settingLine).text(" ").lineEnd();
          const int sourceIndex = entryOfLine(line);
          if (sourceIndex < 0) continue;
          source.markEntry(sourceIndex, kDuplicateBit);
          if (pairs) pairs->push_back(DuplicatePair{sourceIndex, settingIndex});
        }
        return ListVerdictKind::covered;
      case VerdictKind::notCovered:
        writeList(key);
        writeSourceRow(verdict.witness_line);
        out.text(" setting-row=").number(settingLine).text(" not-covered by=");
        out.text(verdict.witness_action == Action::permit ? "permit" : "deny");
        out.text(" witness=");
        out.text(describe(verdict.witness, setting.entryAt(settingIndex)->type == kIpv6Rule));
        out.lineEnd();
        return ListVerdictKind::notCovered;
      case VerdictKind::unreachable:
        writeStart(key, settingIndex);
        out.text("unreachable").lineEnd();
        return ListVerdictKind::unreachable;
      case VerdictKind::undecided: break;
    }
    writeStart(key, settingIndex);
    out.text("undecided reason=").text(verdict.reason).lineEnd();
    return ListVerdictKind::undecided;
  }

  void writeList(const ListKey& key) { writeListName(out, key); }
  void writeStart(const ListKey& key, int settingIndex) {
    writeList(key);
    out.text(" setting-row=").number(setting.entryAt(settingIndex)->column).text(" ");
  }
  void writeSourceRow(int line) {
    out.text(" source-row=");
    writeRows(out, {line});
  }
  // The source entry committed by `line`, or -1 (the implicit deny).
  int entryOfLine(int line) const {
    const std::vector<LineRecord>& lines = source.lines();
    if (line < 1 || static_cast<std::size_t>(line) > lines.size()) return -1;
    return lines[static_cast<std::size_t>(line) - 1].entry;
  }

  AclConfig& source;
  AclConfig& setting;
  TextWriter out;
  std::vector<DuplicatePair>* pairs;
  std::vector<ListVerdict>* verdicts;
  std::map<ListKey, RuleList> sourceLists;
  std::map<ListKey, RuleList> settingLists;
  std::map<ListKey, InListCover> covers;
  std::map<int, int> positionOfLine;
  long long covered = 0;
};

}  // namespace

namespace {

// A list's findings on lines that were read, with their entries.
struct ListFinding {
  Finding finding;
  int entry = -1;
  bool safe = false;
};

// Marks the findings that can be removed together (removal_set.h): the
// unreachable lines tried first, then the redundant ones, each in order.
void markSafeSet(const RuleList& list, std::vector<ListFinding>& found) {
  const auto& rules = list.rules();
  std::map<int, int> positionOf;  // line -> position; a line not read has no finding
  for (int p = static_cast<int>(rules.size()); p-- > 0;)
    positionOf[rules[static_cast<std::size_t>(p)].line] = p;
  std::vector<RemovalCandidate> order;
  std::vector<ListFinding*> of;
  for (FindingKind kind : {FindingKind::unreachable, FindingKind::redundant}) {
    for (ListFinding& f : found) {
      if (f.finding.kind != kind) continue;
      RemovalCandidate candidate{
          positionOf.at(f.finding.line), kind == FindingKind::unreachable, {}};
      for (int line : f.finding.lines) {
        if (line > 0) candidate.leansOn.push_back(positionOf.at(line));
      }
      order.push_back(std::move(candidate));
      of.push_back(&f);
    }
  }
  if (order.empty()) return;
  try {
    const std::vector<bool> safe = removableTogether(list, order);
    for (std::size_t k = 0; k < of.size(); ++k) of[k]->safe = safe[k];
  } catch (const SpaceExhausted&) {
    // Past the memory guard nothing is offered for removal.
  }
}

// The lists of a configuration and where it uses them.
struct ListUses {
  // Every list defined, by its rules or by an opening alone, with its
  // first line.
  std::map<ListKey, int> firstLine;
  std::map<ListKey, std::vector<int>> usesOf;  // indices into config.uses()
  std::vector<int> undefined;                  // uses of lists not defined
};

ListUses listUses(const AclConfig& config, const std::map<ListKey, std::vector<int>>& lists) {
  ListUses found;
  std::map<ListKey, std::vector<int>> defined = lists;
  for (const auto& [key, entries] : lists) {
    int first = config.entryAt(entries.front())->column;
    for (int entry : entries) first = std::min(first, config.entryAt(entry)->column);
    found.firstLine[key] = first;
  }
  ListKey key;
  for (const ListOpening& opening : config.openings()) {
    AclEntry opened;
    opened.acl_no = opening.aclNo;
    opened.type = opening.type;
    if (!listKeyOf(config, opened, key)) continue;
    defined.try_emplace(key);
    auto [at, fresh] = found.firstLine.try_emplace(key, opening.line);
    if (!fresh) at->second = std::min(at->second, opening.line);
  }
  const std::vector<ListUse>& uses = config.uses();
  for (int k = 0; k < static_cast<int>(uses.size()); ++k) {
    key = listKeyOfUse(uses[static_cast<std::size_t>(k)], defined);
    if (defined.contains(key)) {
      found.usesOf[key].push_back(k);
    } else {
      found.undefined.push_back(k);
    }
  }
  return found;
}

// " use=..." of a line whose list has `uses`.
void writeUses(TextWriter& out, const AclConfig& config, const std::vector<int>& uses) {
  if (uses.empty()) {
    out.text(" use=none");
    return;
  }
  bool filters = false;
  for (std::size_t k = 0; k < uses.size(); ++k) {
    const ListUse& use = config.uses()[static_cast<std::size_t>(uses[k])];
    out.text(k == 0 ? " use=" : ", ").text(describeUse(use));
    filters = filters || use.filtersPackets();
  }
  if (!filters) out.text(" (not packet filtering)");
}

}  // namespace

long long analyseWithin(const AclConfig& config, std::string_view which, TextCursor& details,
                        std::vector<WithinFinding>* findings) {
  TextWriter out(&details);
  long long found = 0;
  const std::map<ListKey, std::vector<int>> lists = listsOf(config);
  const ListUses uses = listUses(config, lists);
  // A configuration that uses no list says nothing of where its lists are
  // used: a part of one, most likely, whose lists are not unused.
  const bool usesKnown = !config.uses().empty();
  static const std::vector<int> kNoUses;
  auto writeStart = [&](const ListKey& key, int line) {
    writeListName(out, key);
    out.text(" config=").text(which).text(" row=").number(line).text(" ");
  };
  for (const auto& [key, firstLine] : uses.firstLine) {
    const auto used = uses.usesOf.find(key);
    const std::vector<int>& usedBy = used == uses.usesOf.end() ? kNoUses : used->second;
    if (usesKnown && usedBy.empty()) {
      ++found;
      writeStart(key, firstLine);
      out.text("unused-list").lineEnd();
      if (findings) {
        WithinFinding finding;
        finding.fault = ListFault::unusedList;
        finding.list = key;
        finding.line = firstLine;
        findings->push_back(std::move(finding));
      }
    }
    const auto listEntries = lists.find(key);
    if (listEntries == lists.end()) continue;
    const std::vector<int>& entries = listEntries->second;
    const RuleList list(coverRulesOf(config, key, entries));
    std::vector<ListFinding> listFindings;
    for (Finding& finding : within(list)) {
      // A list's implicit rules are no line to remove; nor is a list's only
      // line, whose removal would leave a list that on many devices no
      // longer filters at all.
      if (finding.line < 1) continue;
      if (finding.kind == FindingKind::redundant && entries.size() == 1) continue;
      const int entry = config.lines()[static_cast<std::size_t>(finding.line) - 1].entry;
      // A line that was not read is undecided wherever packets reach it:
      // its own annotation says so already.
      if (entry < 0 || !isReadRule(*config.entryAt(entry))) continue;
      listFindings.push_back(ListFinding{std::move(finding), entry});
    }
    markSafeSet(list, listFindings);
    for (const ListFinding& f : listFindings) {
      const Finding& finding = f.finding;
      writeStart(key, finding.line);
      switch (finding.kind) {
        case FindingKind::unreachable:
          ++found;
          out.text("unreachable blocking-rows=");
          writeRows(out, finding.lines);
          if (finding.conflicting_line != 0) {
            out.text(" conflicting-row=").number(finding.conflicting_line);
          }
          break;
        case FindingKind::redundant:
          ++found;
          out.text("redundant deciding-rows=");
          writeRows(out, finding.lines);
          break;
        case FindingKind::undecided: out.text("undecided reason=").text(finding.reason); break;
      }
      if (finding.kind != FindingKind::undecided)
        out.text(f.safe ? " safe-to-remove=yes" : " safe-to-remove=no");
      if (usesKnown) writeUses(out, config, usedBy);
      out.lineEnd();
      if (findings) {
        findings->push_back(WithinFinding{f.entry, finding.kind, finding.lines,
                                          finding.conflicting_line, finding.reason, f.safe,
                                          ListFault::none, key, finding.line, usedBy});
      }
    }
  }
  for (int use : uses.undefined) {
    ++found;
    const ListUse& reference = config.uses()[static_cast<std::size_t>(use)];
    const ListKey key = listKeyOfUse(reference, lists);
    writeStart(key, reference.line);
    out.text("undefined-reference");
    writeUses(out, config, {use});
    out.lineEnd();
    if (findings) {
      WithinFinding finding;
      finding.fault = ListFault::undefinedReference;
      finding.list = key;
      finding.line = reference.line;
      finding.uses = {use};
      findings->push_back(std::move(finding));
    }
  }
  return found;
}

long long checkListCover(AclConfig& source, AclConfig& setting, TextCursor& details,
                         std::vector<DuplicatePair>* pairs, std::vector<ListVerdict>* verdicts) {
  return ListCheckRun(source, setting, details, pairs, verdicts).run();
}

}  // namespace dorvex
