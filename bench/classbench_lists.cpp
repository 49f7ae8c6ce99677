#include "classbench_lists.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace dorvex::bench {

namespace {

Action actionOfLine(int position) { return position % 7 == 0 ? Action::deny : Action::permit; }

// A shift by 32 is undefined, so the host wildcard is spelled out.
std::uint32_t wildcardOf(int length) { return length >= 32 ? 0 : ~0u >> length; }

bool parseLine(const std::string& line, FilterRule& rule) {
  unsigned s[4], d[4], protocol, protocolMask;
  int used = 0;
  int fields = std::sscanf(line.c_str(), "@%u.%u.%u.%u/%d %u.%u.%u.%u/%d %u : %u %u : %u %x/%x%n",
                           &s[0], &s[1], &s[2], &s[3], &rule.src_len, &d[0], &d[1], &d[2], &d[3],
                           &rule.dst_len, &rule.sp_low, &rule.sp_high, &rule.dp_low, &rule.dp_high,
                           &protocol, &protocolMask, &used);
  if (fields != 16 || rule.src_len < 0 || rule.src_len > 32 || rule.dst_len < 0 ||
      rule.dst_len > 32 || rule.sp_low > rule.sp_high || rule.sp_high > 65535 ||
      rule.dp_low > rule.dp_high || rule.dp_high > 65535) {
    return false;
  }
  rule.src = ((s[0] << 24) | (s[1] << 16) | (s[2] << 8) | s[3]) & ~wildcardOf(rule.src_len);
  rule.dst = ((d[0] << 24) | (d[1] << 16) | (d[2] << 8) | d[3]) & ~wildcardOf(rule.dst_len);
  rule.protocol = protocolMask == 0 ? -1 : int(protocol & 255);
  if (rule.protocol != 6 && rule.protocol != 17) {
    rule.sp_low = rule.dp_low = 0;
    rule.sp_high = rule.dp_high = 65535;
  }
  return true;
}

std::string addressText(std::uint32_t address, int length) {
  if (length == 0) return "any";
  char text[40];
  auto quad = [&](std::uint32_t a, char* out) {
    std::snprintf(out, 20, "%u.%u.%u.%u", a >> 24, (a >> 16) & 255, (a >> 8) & 255, a & 255);
  };
  quad(address, text);
  if (length == 32) return "host " + std::string(text);
  char wildcard[20];
  quad(wildcardOf(length), wildcard);
  return std::string(text) + " " + wildcard;
}

std::string portText(std::uint32_t low, std::uint32_t high) {
  if (low == 0 && high == 65535) return "";
  if (low == high) return " eq " + std::to_string(low);
  return " range " + std::to_string(low) + " " + std::to_string(high);
}

std::string protocolText(int protocol) {
  switch (protocol) {
    case -1: return "ip";
    case 1: return "icmp";
    case 6: return "tcp";
    case 17: return "udp";
  }
  return std::to_string(protocol);
}

std::string ruleText(const FilterRule& rule) {
  return std::string(rule.action == Action::permit ? "permit " : "deny ") +
         protocolText(rule.protocol) + " " + addressText(rule.src, rule.src_len) +
         portText(rule.sp_low, rule.sp_high) + " " + addressText(rule.dst, rule.dst_len) +
         portText(rule.dp_low, rule.dp_high);
}

}  // namespace

bool readFilterFile(const std::string& path, std::vector<FilterRule>& rules, std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = path + ": cannot be read";
    return false;
  }
  rules.clear();
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (line.empty()) continue;
    FilterRule rule;
    if (!parseLine(line, rule)) {
      error = path + ":" + std::to_string(number) + ": not a filter line";
      return false;
    }
    rule.action = actionOfLine(int(rules.size()) + 1);
    rules.push_back(rule);
  }
  return true;
}

std::vector<CoverRule> coverRules(const std::vector<FilterRule>& rules, int firstLine) {
  std::vector<CoverRule> list;
  list.reserve(rules.size());
  for (const FilterRule& rule : rules) {
    Box box;
    if (rule.protocol >= 0) box.setRange(kProtocol, rule.protocol, rule.protocol);
    box.setIpv4(true, rule.src, wildcardOf(rule.src_len));
    box.setIpv4(false, rule.dst, wildcardOf(rule.dst_len));
    box.setRange(kSrcPort, rule.sp_low, rule.sp_high);
    box.setRange(kDstPort, rule.dp_low, rule.dp_high);
    CoverRule cover;
    cover.line = firstLine + int(list.size());
    cover.action = rule.action;
    cover.boxes.push_back(box);
    list.push_back(std::move(cover));
  }
  return list;
}

std::string accessListText(const std::vector<FilterRule>& rules, const std::string& name,
                           bool named) {
  std::string text = named ? "ip access-list extended " + name + "\n" : "";
  for (const FilterRule& rule : rules) {
    text += (named ? " " : "access-list " + name + " ") + ruleText(rule) + "\n";
  }
  return text;
}

std::vector<FilterRule> shiftedHalf(const std::vector<FilterRule>& rules) {
  std::vector<FilterRule> shifted;
  shifted.reserve(rules.size());
  for (std::size_t k = 0; k < rules.size(); ++k) {
    shifted.push_back(rules[(k + rules.size() / 2) % rules.size()]);
    shifted.back().action = actionOfLine(int(k) + 1);
  }
  return shifted;
}

std::string filterFolder() {
  const char* folder = std::getenv("DORVEX_CLASSBENCH");
  return folder && *folder ? folder : DORVEX_CLASSBENCH_COPY;
}

}  // namespace dorvex::bench
