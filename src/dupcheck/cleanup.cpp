#include "dupcheck/cleanup.h"

#include <algorithm>
#include <map>
#include <string_view>

#include "dupcheck/access_lists.h"

namespace dorvex {

namespace {

// The words of a line up to `count`, each once.
std::vector<std::string_view> firstWords(std::string_view text, std::size_t count) {
  std::vector<std::string_view> words;
  while (words.size() < count) {
    const std::size_t start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos) break;
    text.remove_prefix(start);
    const std::size_t end = std::min(text.find_first_of(" \t"), text.size());
    words.push_back(text.substr(0, end));
    text.remove_prefix(end);
  }
  return words;
}

class Cleanup {
 public:
  Cleanup(const AclConfig& config, std::string& out) : config(config), out(out) {}

  void add(const ListKey& key, std::vector<int> entries) {
    std::sort(entries.begin(), entries.end(), [this](int a, int b) {
      return config.entryAt(a)->sequence < config.entryAt(b)->sequence;
    });
    const AclEntry& first = *config.entryAt(entries.front());
    const std::string_view text = writtenLine(config, first.column);
    if (text.substr(0, 12) != "access-list ") {
      byHeader(key, first, entries);
    } else if (key.number >= 0) {
      rebuilt(key, entries);
    } else {
      for (int e : entries)
        out.append("no ").append(writtenLine(config, config.entryAt(e)->column)) += '\n';
    }
  }

 private:
  void byHeader(const ListKey& key, const AclEntry& first, const std::vector<int>& entries) {
    const std::string name = key.number >= 0 ? std::to_string(key.number) : std::string(key.name);
    if (key.ipv6) {
      out += "ipv6 access-list " + name + "\n";
    } else {
      out += std::string("ip access-list ") +
             (first.type == kStandardRule ? "standard " : "extended ") + name + "\n";
    }
    for (int e : entries) {
      out += key.ipv6 ? " no sequence " : " no ";
      out += std::to_string(config.entryAt(e)->sequence) + "\n";
    }
  }

  // A list of `access-list N` lines: every line of the list but those
  // removed, in the order written, remarks included.
  void rebuilt(const ListKey& key, const std::vector<int>& entries) {
    const std::string number = std::to_string(key.number);
    std::vector<int> gone;
    for (int e : entries) gone.push_back(config.entryAt(e)->column);
    std::sort(gone.begin(), gone.end());
    out += "! access-list " + number + " loses a line on a device only as a whole: rebuilt " +
           "without line";
    out += gone.size() > 1 ? "s" : "";
    for (std::size_t k = 0; k < gone.size(); ++k)
      out += (k > 0 ? ", " : " ") + std::to_string(gone[k]);
    out += "\nno access-list " + number + "\n";
    for (int n = 1; n <= static_cast<int>(config.lines().size()); ++n) {
      const LineRecord& line = config.lines()[static_cast<std::size_t>(n) - 1];
      const std::string_view text = writtenLine(config, n);
      const std::vector<std::string_view> words = firstWords(text, 2);
      if (words.size() < 2 || words[0] != "access-list" || words[1] != number) continue;
      if (line.entry >= 0 &&
          std::binary_search(gone.begin(), gone.end(), config.entryAt(line.entry)->column))
        continue;
      out.append(text) += '\n';
    }
  }

  const AclConfig& config;
  std::string& out;
};

}  // namespace

std::string cleanupCommands(const AclConfig& config, const std::vector<WithinFinding>& findings) {
  std::map<ListKey, std::vector<int>> removed;
  ListKey key;
  for (const WithinFinding& finding : findings) {
    if (!finding.safeToRemove) continue;
    if (listKeyOf(config, *config.entryAt(finding.entry), key))
      removed[key].push_back(finding.entry);
  }
  std::string out;
  Cleanup cleanup(config, out);
  for (auto& [list, entries] : removed) cleanup.add(list, std::move(entries));
  return out;
}

}  // namespace dorvex
