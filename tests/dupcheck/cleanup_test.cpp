// The cleanup commands, applied to the configuration as a device applies
// them, change no decision: the change review of the configuration against
// the result finds nothing, and the lines meant to go are gone.
#include "dupcheck/cleanup.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "checked_configs.h"
#include "dupcheck/access_lists.h"
#include "dupcheck/change_review.h"

namespace dorvex {
namespace {

std::vector<std::string> wordsOf(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

std::string joined(const std::vector<std::string>& words, std::size_t from) {
  std::string out;
  for (std::size_t k = from; k < words.size(); ++k) out += (k > from ? " " : "") + words[k];
  return out;
}

// `config` (parsed from `text`) with `commands` applied as a device does.
std::string applied(const std::string& text, const AclConfig& config, const std::string& commands) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::set<std::size_t> gone;  // indexes of lines
  std::vector<std::string> appended;
  std::string list;  // the list a header opened: "4 NAME" or "6 NAME"
  std::string rebuilding;
  std::istringstream cmds(commands);
  for (std::string command; std::getline(cmds, command);) {
    const std::vector<std::string> w = wordsOf(command);
    if (w.empty() || w[0][0] == '!') continue;
    if (w[0] == "access-list" && w.size() > 1 && w[1] == rebuilding) {
      appended.push_back(command);
    } else if (w[0] == "no" && w.size() == 3 && w[1] == "access-list") {
      rebuilding = w[2];
      for (std::size_t k = 0; k < lines.size(); ++k) {
        const std::vector<std::string> l = wordsOf(lines[k]);
        if (l.size() > 1 && l[0] == "access-list" && l[1] == w[2]) gone.insert(k);
      }
    } else if (w[0] == "no" && w.size() > 3 && w[1] == "access-list") {
      for (std::size_t k = 0; k < lines.size(); ++k) {
        if (joined(wordsOf(lines[k]), 0) == joined(w, 1)) gone.insert(k);
      }
    } else if (w[0] == "ip" || w[0] == "ipv6") {
      list = (w[0] == "ipv6" ? "6 " : "4 ") + w.back();
    } else if (w[0] == "no") {
      const long long sequence = std::stoll(w.back());
      ListKey key;
      for (int e = 0; e < config.entryCount(); ++e) {
        const AclEntry& entry = *config.entryAt(e);
        if (!listKeyOf(config, entry, key) || entry.sequence != sequence) continue;
        const std::string name =
            key.number >= 0 ? std::to_string(key.number) : std::string(key.name);
        if ((key.ipv6 ? "6 " : "4 ") + name == list) gone.insert(entry.column - 1);
      }
    } else {
      ADD_FAILURE() << "a command not understood: " << command;
    }
  }
  std::string out;
  for (std::size_t k = 0; k < lines.size(); ++k) {
    if (!gone.count(k)) out += lines[k] + "\n";
  }
  for (const std::string& line : appended) out += line + "\n";
  return out;
}

TEST(CleanupTest, CommandsAppliedChangeNoDecision) {
  const struct {
    const char* what;
    const char* config;
    std::size_t removed;  // lines the commands take away
  } kCases[] = {
      {"every form of list",
       "ip access-list extended P\n permit tcp any any eq 1\n permit tcp any any gt 5\n"
       " permit tcp any any lt 10\n permit tcp any any neq 15\n permit tcp any any range 20 25\n"
       "access-list 101 remark web\naccess-list 101 permit tcp any any eq 80\n"
       "access-list 101 permit tcp any host 10.1.1.1 eq 80\naccess-list 101 deny ip any any\n"
       "ipv6 access-list V6\n 10 permit tcp any any eq 22\n 20 permit tcp 2001:db8::/32 any eq 22\n"
       "access-list OUT extended permit tcp any any eq 443\n"
       "access-list OUT extended permit tcp host 10.0.0.1 any eq 443\n",
       7},
      {"numbers out of order, a standard list, a list re-opened",
       "ip access-list standard S\n 20 permit 10.1.0.0 0.0.255.255\n 10 permit host 10.1.2.3\n"
       "ip access-list extended E\n 10 deny tcp any any eq 23\n permit ip any any\n"
       "ip access-list extended E\n 15 deny tcp host 10.9.9.9 any eq 23\n",
       2},
  };
  auto checked = CheckedConfigs::make();
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(checked->parse(c.config, c.config, Syntax::full));
    std::vector<WithinFinding> findings;
    TextCursor details;
    ASSERT_TRUE(details.allocate(16));
    analyseWithin(checked->source, "source", details, &findings);
    const std::string commands = cleanupCommands(checked->source, findings);
    const std::string after = applied(c.config, checked->source, commands);
    SCOPED_TRACE(commands + "----\n" + after);
    ASSERT_TRUE(checked->parse(c.config, after, Syntax::full));
    EXPECT_EQ(c.removed, checked->source.entryCount() - checked->setting.entryCount());
    TextCursor changes;
    ASSERT_TRUE(changes.allocate(16));
    EXPECT_EQ(0, reviewChanges(checked->source, checked->setting, changes, nullptr));
    EXPECT_EQ("", changes.view());
  }
}

}  // namespace
}  // namespace dorvex
