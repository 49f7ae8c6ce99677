#include "dupcheck/list_check.h"

#include <map>
#include <string_view>
#include <utility>

#include "dupcheck/rule_boxes.h"
#include "text/text_writer.h"

namespace dorvex {

namespace {

// A list by its number, or by its name (number -1).
using ListKey = std::pair<int, std::string_view>;

bool isListNumber(int n) { return (n >= 1 && n <= 199) || (n >= 1300 && n <= 2699); }

// The key of the list `entry` belongs to; false for an entry of no list.
bool listKeyOf(const AclConfig& config, const AclEntry& entry, ListKey& key) {
  if (entry.acl_no >= kNamedListBase) {
    key = {-1, config.nameView(entry.acl_no - kNamedListBase)};
    return true;
  }
  if (!isListNumber(entry.acl_no)) return false;
  key = {entry.acl_no, {}};
  return true;
}

// The entries of every list of `config`, in table order.
std::map<ListKey, std::vector<int>> listsOf(const AclConfig& config) {
  std::map<ListKey, std::vector<int>> lists;
  ListKey key;
  for (int k = 0; k < config.entryCount(); ++k) {
    if (listKeyOf(config, *config.entryAt(k), key)) lists[key].push_back(k);
  }
  return lists;
}

class ListCheckRun {
 public:
  ListCheckRun(AclConfig& source, AclConfig& setting, TextCursor& details,
               std::vector<DuplicatePair>* pairs, std::vector<ListVerdict>* verdicts)
      : source(source), setting(setting), out(&details), pairs(pairs), verdicts(verdicts) {}

  long long run() {
    for (auto& [key, entries] : listsOf(source)) {
      std::vector<CoverRule> rules;
      rules.reserve(entries.size());
      for (int k : entries) rules.push_back(coverRuleOf(source, k));
      sourceLists.emplace(key, RuleList(std::move(rules)));
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
      result.verdict = verdict(list->second, coverRuleOf(setting, settingIndex));
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
        out.text(" witness=").text(describe(verdict.witness)).lineEnd();
        return ListVerdictKind::notCovered;
      case VerdictKind::undecided: break;
    }
    writeStart(key, settingIndex);
    out.text("undecided reason=").text(verdict.reason).lineEnd();
    return ListVerdictKind::undecided;
  }

  void writeList(const ListKey& key) {
    out.text(" ACL=");
    if (key.first >= 0) {
      out.number(key.first);
    } else {
      out.text(key.second);
    }
  }
  void writeStart(const ListKey& key, int settingIndex) {
    writeList(key);
    out.text(" setting-row=").number(setting.entryAt(settingIndex)->column).text(" ");
  }
  void writeSourceRow(int line) {
    out.text(" source-row=");
    if (line == 0) {
      out.text("implicit-deny");
    } else {
      out.number(line);
    }
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
  long long covered = 0;
};

}  // namespace

long long checkListCover(AclConfig& source, AclConfig& setting, TextCursor& details,
                         std::vector<DuplicatePair>* pairs, std::vector<ListVerdict>* verdicts) {
  return ListCheckRun(source, setting, details, pairs, verdicts).run();
}

}  // namespace dorvex
