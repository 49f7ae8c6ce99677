#include "cli/findings_view.h"

#include <algorithm>
#include <map>
#include <vector>

#include "dupcheck/access_lists.h"

namespace dorvex {

namespace {

using enum CheckFinding::Kind;
using Item = CheckFinding;

constexpr const char* kKindNames[kKinds] = {"not-covered",         "undecided",  "unreachable",
                                            "redundant",           "changed",    "not read",
                                            "undefined-reference", "unused-list"};
// Red for what decides otherwise (and a list that is not there to filter),
// yellow for what is not known, cyan for what a cleanup may take, magenta
// for lines not read.
constexpr const char* kKindColours[kKinds] = {"\033[31m", "\033[33m", "\033[36m", "\033[36m",
                                              "\033[31m", "\033[35m", "\033[31m", "\033[36m"};

std::string listLabel(const ListKey& key) {
  return key.number >= 0 ? std::to_string(key.number) : std::string(key.name);
}

// "line 4", "lines 3, 4", "line 9, implicit-deny".
std::string linesText(const std::vector<int>& lines) {
  std::string numbers, implicit;
  int count = 0;
  for (int line : lines) {
    if (line > 0) {
      numbers += (count++ > 0 ? ", " : "") + std::to_string(line);
    } else {
      implicit += ", " + lineName(line);
    }
  }
  if (count == 0) return implicit.substr(2);
  return (count > 1 ? "lines " : "line ") + numbers + implicit;
}

class Collector {
 public:
  Collector(const CheckWorkspace& workspace, std::string_view sourcePath,
            std::string_view settingPath)
      : workspace(workspace) {
    names[0] = sourcePath;
    names[1] = settingPath;
  }

  std::vector<Item> collect() {
    const AclConfig* configs[2] = {&workspace.sourceConfig, &workspace.settingConfig};
    for (const ListVerdict& v : workspace.listVerdicts()) verdict(*configs[1], v);
    within(0, workspace.sourceWithin());
    if (!workspace.single()) within(1, workspace.settingWithin());
    for (const ChangeRecord& c : workspace.changes()) change(c);
    // In the classic syntax every line is taken for an access-list
    // statement: only the full syntax tells the lines that were not read.
    if (workspace.modes().syntax == Syntax::full) {
      for (int f = 0; f < (workspace.single() ? 1 : 2); ++f) notRead(f, *configs[f]);
    }
    std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
      return std::tie(a.list, a.file, a.line) < std::tie(b.list, b.file, b.line);
    });
    return std::move(items);
  }

  std::string name(int file) const { return std::string(names[file]); }

 private:
  // An item at the line of `entry` of `config`.
  void add(int file, const AclConfig& config, int entry, CheckFinding::Kind kind,
           const std::string& what) {
    const AclEntry& rule = *config.entryAt(entry);
    ListKey key;
    const std::string list = listKeyOf(config, rule, key) ? listLabel(key) : "-";
    std::string text(writtenLine(config, rule.column));
    if (!what.empty()) text += ": " + what;
    items.push_back(Item{list, file, rule.column, kind, std::move(text), {}});
  }

  void verdict(const AclConfig& setting, const ListVerdict& v) {
    const Verdict& r = v.verdict;
    const bool ipv6 = setting.entryAt(v.settingEntry)->type == kIpv6Rule;
    switch (v.kind) {
      case ListVerdictKind::notCovered: {
        const std::string by = r.witness_line > 0 ? name(0) + ":" + std::to_string(r.witness_line)
                                                  : lineName(r.witness_line) + " of " + name(0);
        add(1, setting, v.settingEntry, kNotCovered,
            describe(r.witness, ipv6) +
                (r.witness_action == Action::permit ? " permitted by " : " denied by ") + by);
        relate(0, {r.witness_line}, "deciding the witness otherwise");
        break;
      }
      case ListVerdictKind::undecided: add(1, setting, v.settingEntry, kUndecided, r.reason); break;
      case ListVerdictKind::unreachable:
        add(1, setting, v.settingEntry, kUnreachable, "no packet reaches it in its own list");
        break;
      case ListVerdictKind::noSourceList:
        add(1, setting, v.settingEntry, kNotCovered, "the source config has no list of its name");
        break;
      case ListVerdictKind::covered: break;
    }
  }

  void within(int file, const std::vector<WithinFinding>& findings) {
    const AclConfig& config = file == 0 ? workspace.sourceConfig : workspace.settingConfig;
    for (const WithinFinding& f : findings) {
      if (f.fault != ListFault::none) {
        listFault(file, config, f);
        continue;
      }
      const std::string uses = otherUses(config, f.uses);
      const std::string safe =
          (f.safeToRemove ? " (safe to remove)" : " (stays: others lean on it)") + uses;
      switch (f.kind) {
        case FindingKind::unreachable:
          add(file, config, f.entry, kUnreachable,
              "hidden by " + linesText(f.lines) +
                  (f.conflictingLine != 0
                       ? ", line " + std::to_string(f.conflictingLine) + " deciding otherwise"
                       : "") +
                  safe);
          relate(file, f.lines, "blocking");
          break;
        case FindingKind::redundant:
          add(file, config, f.entry, kRedundant, "decided alike by " + linesText(f.lines) + safe);
          relate(file, f.lines, "deciding");
          break;
        case FindingKind::undecided: add(file, config, f.entry, kUndecided, f.reason + uses); break;
      }
    }
  }

  void listFault(int file, const AclConfig& config, const WithinFinding& f) {
    std::string text(writtenLine(config, f.line));
    if (f.fault == ListFault::unusedList) {
      items.push_back(
          Item{listLabel(f.list), file, f.line, kUnusedList, text + ": defined, never used", {}});
      return;
    }
    const ListUse& use = config.uses()[static_cast<std::size_t>(f.uses.front())];
    items.push_back(Item{listLabel(f.list),
                         file,
                         f.line,
                         kUndefinedReference,
                         text + ": no such list (" + describeUse(use) + ")",
                         {}});
  }

  // ", used only by route-map EXPORT (not packet filtering)" for a list
  // that filters no packet, else nothing.
  static std::string otherUses(const AclConfig& config, const std::vector<int>& uses) {
    std::string text;
    for (int k : uses) {
      const ListUse& use = config.uses()[static_cast<std::size_t>(k)];
      if (use.filtersPackets()) return "";
      text += (text.empty() ? ", used only by " : ", ") + describeUse(use);
    }
    return text.empty() ? text : text + " (not packet filtering)";
  }

  void change(const ChangeRecord& c) {
    const std::string list = c.number >= 0 ? std::to_string(c.number) : c.name;
    switch (c.kind) {
      case ChangeRecord::Kind::difference: {
        const Difference& d = c.difference;
        // At the new line, else at the old one the implicit deny replaces.
        const int file = d.new_line > 0 ? 1 : 0;
        const int line = file == 1 ? d.new_line : d.old_line;
        const AclConfig& config = file == 1 ? workspace.settingConfig : workspace.sourceConfig;
        const std::string other =
            file == 1 ? name(0) + ":" + lineName(d.old_line) : name(1) + ":" + lineName(d.new_line);
        std::string text = line > 0 ? std::string(writtenLine(config, line)) : lineName(line);
        text += std::string(": newly ") +
                (d.new_action == Action::permit ? "permitted" : "denied") + " (" + other +
                "), e.g. " + describe(d.witness, c.ipv6);
        items.push_back(Item{list, file, line, kChanged, std::move(text), {}});
        // At the old line, the new one is the end of the list: no line.
        if (file == 1) relate(0, {d.old_line}, "old deciding line");
        break;
      }
      case ChangeRecord::Kind::listAdded:
      case ChangeRecord::Kind::listRemoved: {
        const bool added = c.kind == ChangeRecord::Kind::listAdded;
        items.push_back(Item{list,
                             added ? 1 : 0,
                             0,
                             kChanged,
                             std::string(added ? "list added, " : "list removed, ") +
                                 std::to_string(c.lines) + (c.lines == 1 ? " line" : " lines"),
                             {}});
        break;
      }
      case ChangeRecord::Kind::undecided:
        items.push_back(Item{list, 1, 0, kUndecided, c.reason, {}});
    }
  }

  // Names `lines` of `file` in the last item; the ends of a list are no
  // lines to show.
  void relate(int file, const std::vector<int>& lines, const char* role) {
    for (int line : lines) {
      if (line > 0) items.back().related.push_back({file, line, role});
    }
  }

  void notRead(int file, const AclConfig& config) {
    for (int e = 0; e < config.entryCount(); ++e) {
      if (config.entryAt(e)->flags & kErrorBit) add(file, config, e, kNotRead, "");
    }
  }

  const CheckWorkspace& workspace;
  std::string_view names[2];
  std::vector<Item> items;
};

}  // namespace

const char* findingKindName(CheckFinding::Kind kind) { return kKindNames[kind]; }

std::vector<CheckFinding> collectFindings(const CheckWorkspace& workspace,
                                          std::string_view sourcePath,
                                          std::string_view settingPath) {
  return Collector(workspace, sourcePath, settingPath).collect();
}

std::string findingsView(const CheckWorkspace& workspace, std::string_view sourcePath,
                         std::string_view settingPath, bool colour) {
  const std::string_view names[2] = {sourcePath, settingPath};
  const std::vector<Item> items = collectFindings(workspace, sourcePath, settingPath);
  std::string out;
  int counts[kKinds] = {};
  for (const Item& item : items) {
    ++counts[item.kind];
    out.append(names[item.file]) += ":";
    if (item.line > 0) out += std::to_string(item.line) + ":";
    out += " ";
    if (colour) out += kKindColours[item.kind];
    out += kKindNames[item.kind];
    if (colour) out += "\033[0m";
    out += ": " + item.list + ": " + item.text + "\n";
  }
  std::string summary;
  for (int k = 0; k < kKinds; ++k) {
    if (counts[k] == 0) continue;
    summary += (summary.empty() ? "" : ", ") + std::to_string(counts[k]) + " " + kKindNames[k];
  }
  out += items.empty() ? "no findings\n" : summary + "\n";
  return out;
}

}  // namespace dorvex
