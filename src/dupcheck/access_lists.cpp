#include "dupcheck/access_lists.h"

#include <algorithm>
#include <string>
#include <utility>

#include "dupcheck/rule_boxes.h"

namespace dorvex {

bool listKeyOf(const AclConfig& config, const AclEntry& entry, ListKey& key) {
  const bool ipv6 = entry.type == kIpv6Rule;
  if (entry.acl_no >= kNamedListBase) {
    key = {ipv6, -1, config.nameView(entry.acl_no - kNamedListBase)};
    return true;
  }
  if (!isStandardNumber(entry.acl_no) && !isExtendedNumber(entry.acl_no)) return false;
  key = {ipv6, entry.acl_no, {}};
  return true;
}

// The classic syntax knows no sequence numbers: its lists are in table
// order, the order of the text. The full syntax orders them by number, as a
// device does; equal numbers (lines in error) keep table order.
std::map<ListKey, std::vector<int>> listsOf(const AclConfig& config) {
  std::map<ListKey, std::vector<int>> lists;
  ListKey key;
  for (int k = 0; k < config.entryCount(); ++k) {
    if (listKeyOf(config, *config.entryAt(k), key)) lists[key].push_back(k);
  }
  if (config.syntaxRead() != Syntax::full) return lists;
  for (auto& [listKey, entries] : lists) {
    std::stable_sort(entries.begin(), entries.end(), [&config](int a, int b) {
      return config.entryAt(a)->sequence < config.entryAt(b)->sequence;
    });
  }
  return lists;
}

ListKey listKeyOfUse(const ListUse& use, const std::map<ListKey, std::vector<int>>& lists) {
  int number = -1;
  if (use.family != UseFamily::ipv6 && !use.list.empty() && use.list.size() <= 4 &&
      use.list.find_first_not_of("0123456789") == std::string::npos) {
    number = std::stoi(use.list);
    if (!isStandardNumber(number) && !isExtendedNumber(number)) number = -1;
  }
  if (number >= 0) return {false, number, {}};
  const ListKey ipv4{false, -1, use.list};
  if (use.family == UseFamily::ipv4) return ipv4;
  const ListKey ipv6{true, -1, use.list};
  if (use.family == UseFamily::ipv6) return ipv6;
  return lists.contains(ipv4) || !lists.contains(ipv6) ? ipv4 : ipv6;
}

std::vector<CoverRule> coverRulesOf(const AclConfig& config, const ListKey& key,
                                    const std::vector<int>& entries) {
  std::vector<CoverRule> rules;
  rules.reserve(entries.size() + 2);
  for (int k : entries) {
    rules.push_back(coverRuleOf(config, k));
    rules.back().where = config.fileName();
    const AclEntry& entry = *config.entryAt(k);
    if (entry.permission == kPermit || entry.permission == kDeny) continue;
    // A line whose action was not read may deny or permit what it matches:
    // it stands as a deny and a permit of unknown packets, one after the
    // other, so that no answer takes it for either.
    rules.back().action = Action::deny;
    rules.push_back(rules.back());
    rules.back().action = Action::permit;
  }
  if (key.ipv6) {
    // ICMPv6 neighbour advertisements (136), then solicitations (135).
    for (const auto& [line, type] :
         {std::pair{kImplicitNdNaLine, 136u}, {kImplicitNdNsLine, 135u}}) {
      CoverRule rule;
      rule.line = line;
      rule.action = Action::permit;
      Box box;
      box.setFamily(true);
      box.setRange(kProtocol, 58, 58);
      box.setRange(kIcmpType, type, type);
      rule.boxes.push_back(box);
      rules.push_back(std::move(rule));
    }
  }
  return rules;
}

std::string_view writtenLine(const AclConfig& config, int line) {
  std::string_view text = config.lineText(config.lines()[static_cast<std::size_t>(line) - 1]);
  const std::size_t start = text.find_first_not_of(" \t");
  if (start == std::string_view::npos) return {};
  const std::size_t end = text.find_last_not_of(" \t\r");
  return text.substr(start, end + 1 - start);
}

std::string lineName(int line) {
  switch (line) {
    case 0: return "implicit-deny";
    case kImplicitNdNaLine: return "implicit-nd-na";
    case kImplicitNdNsLine: return "implicit-nd-ns";
    default: return std::to_string(line);
  }
}

void writeListName(TextWriter& out, const ListKey& key) {
  out.text(" ACL=");
  if (key.number >= 0) {
    out.number(key.number);
  } else {
    out.text(key.name);
  }
}

void writeRows(TextWriter& out, const std::vector<int>& lines) {
  for (std::size_t k = 0; k < lines.size(); ++k) {
    if (k > 0) out.text(",");
    if (lines[k] > 0) {
      out.number(lines[k]);
    } else {
      out.text(lineName(lines[k]));
    }
  }
}

}  // namespace dorvex
