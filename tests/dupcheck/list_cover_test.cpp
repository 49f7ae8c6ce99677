// The list cover: worked examples, and generated lists against a first-match
// reference over every packet class (packet_reference.h).
#include "space/list_cover.h"
#include "space/list_within.h"

#include "space/diagram_cover.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <set>
#include <string>
#include <string_view>

#include "packet_reference.h"
#include "rule_generator.h"

namespace dorvex {
namespace {

using reference::Unknown;

// Reads "permit tcp 10.1.2.0/24 host 192.0.2.1 eq 80": an action, ip, tcp,
// udp or icmp, two addresses (any, host A, A/len), then "eq N" (destination
// port), "echo" (ICMP type 8) or "unknown" (an option not understood).
CoverRule rule(int line, std::string_view text) {
  std::istringstream in{std::string(text)};
  std::string action, protocol, word;
  in >> action >> protocol;
  CoverRule r;
  r.line = line;
  r.action = action == "permit" ? Action::permit : Action::deny;
  Box box;
  if (protocol != "ip") {
    std::uint32_t number = protocol == "icmp" ? 1 : protocol == "tcp" ? 6 : 17;
    box.setRange(kProtocol, number, number);
  }
  for (bool source : {true, false}) {
    in >> word;
    if (word == "host") in >> word, word += "/32";
    unsigned a = 0, b = 0, c = 0, d = 0, length = 0;
    if (word != "any") std::sscanf(word.c_str(), "%u.%u.%u.%u/%u", &a, &b, &c, &d, &length);
    std::uint32_t wildcard = length == 32 ? 0 : 0xFFFFFFFFu >> length;
    box.setIpv4(source, (a << 24) | (b << 16) | (c << 8) | d, wildcard);
  }
  while (in >> word) {
    if (word == "eq") {
      std::uint32_t port;
      in >> port;
      box.setRange(kDstPort, port, port);
    } else if (word == "echo") {
      box.setRange(kIcmpType, 8, 8);
    } else {
      r.exact = false;
      r.reason = "option not understood: " + word;
    }
  }
  r.boxes.push_back(box);
  return r;
}

RuleList list(std::initializer_list<const char*> texts) {
  std::vector<CoverRule> rules;
  for (const char* text : texts) rules.push_back(rule(int(rules.size()) + 1, text));
  return RuleList(std::move(rules));
}

std::string joined(const std::vector<int>& lines) {
  std::string text;
  for (int line : lines) text += (text.empty() ? "" : ",") + std::to_string(line);
  return text;
}

std::string dump(const Verdict& v) {
  switch (v.kind) {
    case VerdictKind::covered: return "covered by " + joined(v.deciding_lines);
    case VerdictKind::notCovered:
      return "not covered: " + describe(v.witness) + " by " + std::to_string(v.witness_line) +
             (v.witness_action == Action::permit ? " permit" : " deny");
    case VerdictKind::unreachable: return "unreachable";
    case VerdictKind::undecided: break;
  }
  return "undecided: " + v.reason;
}

const char* const kKindNames[] = {"unreachable", "redundant", "undecided"};

std::string dump(const std::vector<Finding>& findings) {
  std::string text;
  for (const Finding& f : findings) {
    text += std::to_string(f.line) + " " + kKindNames[int(f.kind)] + " " + joined(f.lines);
    if (f.conflicting_line) text += " against " + std::to_string(f.conflicting_line);
    text += f.reason.empty() ? ";" : " (" + f.reason + ");";
  }
  return text;
}

TEST(ListCoverTest, WorkedVerdicts) {
  struct Case {
    std::initializer_list<const char*> source;
    const char* setting;
    const char* expected;
  };
  const Case kCases[] = {
      {{"permit ip 10.1.2.0/25 any", "permit ip 10.1.2.128/25 any"},
       "permit ip 10.1.2.0/24 any",
       "covered by 1,2"},
      {{"permit tcp any any eq 80"}, "deny udp any any", "covered by 0"},
      {{"permit tcp 10.1.2.0/25 any"},
       "permit tcp 10.1.2.0/24 host 192.0.2.1 eq 80",
       "not covered: tcp 10.1.2.129 port 1024 > 192.0.2.1 port 80 by 0 deny"},
      {{"deny icmp any any", "permit ip any any"},
       "permit ip 10.0.0.0/8 any",
       "not covered: icmp 10.0.0.1 > 203.0.113.1 type 8 code 0 by 1 deny"},
      {{"permit tcp any any unknown"},
       "permit tcp any any eq 80",
       "undecided: line 1: option not understood: unknown"},
      // Decided before the rule not understood is reached; its known part
      // decided whole.
      {{"permit tcp any any", "deny ip any any unknown"},
       "permit tcp any any eq 80",
       "covered by 1"},
      {{"permit icmp any any"}, "permit icmp any any echo unknown", "covered by 1"},
      {{"permit tcp any any eq 80 unknown", "permit tcp any any"},
       "permit tcp any any eq 80",
       "covered by 1,2"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.setting);
    EXPECT_EQ(c.expected, dump(verdict(list(c.source), rule(9, c.setting))));
  }
}

TEST(ListCoverTest, WorkedFindings) {
  struct Case {
    std::initializer_list<const char*> rules;
    const char* expected;
  };
  const Case kCases[] = {
      {{"deny ip 10.1.2.0/24 any", "permit tcp 10.1.2.0/25 any eq 80"},
       "2 unreachable 1 against 1;"},
      {{"permit ip 10.1.2.0/25 any", "permit ip 10.1.2.128/25 any", "permit tcp 10.1.2.0/24 any"},
       "3 unreachable 1,2;"},
      {{"permit tcp host 10.1.2.5 any eq 80", "permit tcp 10.1.2.0/24 any"}, "1 redundant 2;"},
      {{"permit tcp any any eq 80", "deny udp any any"}, "2 redundant 0;"},
      {{"permit tcp any any unknown", "permit tcp any any eq 80"},
       "1 undecided  (line 1: option not understood: unknown);"
       "2 undecided  (line 1: option not understood: unknown);"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(*c.rules.begin());
    EXPECT_EQ(c.expected, dump(within(list(c.rules))));
  }
}

// Past the budget of the box walks the diagrams answer exactly; only the
// memory guard leaves a rule read undecided, and names itself.
TEST(ListCoverTest, MemoryGuardIsNamedWithItsFigures) {
  RuleList source = list({"permit tcp host 10.1.2.1 any", "permit tcp host 10.1.2.3 any",
                          "deny tcp host 10.1.2.5 any", "permit tcp any any"});
  EXPECT_EQ("not covered: tcp 10.1.2.5 port 1024 > 203.0.113.1 port 1 by 3 deny",
            dump(verdict(source, rule(9, "permit tcp 10.1.2.0/29 any"))));
  EXPECT_EQ("covered by 1,2,4", dump(verdict(source, rule(9, "permit tcp 10.1.2.0/30 any"))));
  const CoverLimits kShortWalks{4, 3};
  EXPECT_EQ("covered by 1,2,4",
            dump(verdict(source, rule(9, "permit tcp 10.1.2.0/30 any"), kShortWalks)));
  RuleList tight = list({"permit tcp host 10.1.2.1 any", "deny tcp any any"});
  const CoverLimits kTight{4096, 4'000'000, 60};
  EXPECT_EQ("undecided: memory guard: 60 decision nodes",
            dump(diagramVerdict(tight, rule(9, "permit tcp 10.1.2.0/30 any"), kTight)));
  std::optional<Finding> line = diagramJudge(tight, 1, kTight);
  ASSERT_TRUE(line.has_value());
  EXPECT_EQ("2 undecided  (memory guard: 60 decision nodes);", dump({*line}));
}

// Every packet lies in as many boxes of a narrowing as it should: none, or
// exactly one (the boxes are disjoint).
TEST(ListCoverTest, NarrowingsGiveDisjointUnions) {
  Box tcp;
  tcp.setRange(kProtocol, 6, 6);
  tcp.setRange(kDstPort, 80, 90);
  auto countIn = [](const BoxSet& boxes, const Packet& p) {
    return std::count_if(boxes.begin(), boxes.end(), [&](const Box& b) { return matches(b, p); });
  };
  for (unsigned anyOf : {kAck | kRst, unsigned(kSyn), kFin | kUrg | kPsh, 0u}) {
    BoxSet boxes = anyFlag({tcp}, anyOf);
    for (unsigned flags = 0; flags < 64; ++flags) {
      Packet p = pickPacket(tcp);
      p.word[kMiscWord] = flags << kFlagShift;
      EXPECT_EQ((flags & anyOf) ? 1 : 0, countIn(boxes, p)) << anyOf << " " << flags;
    }
  }
  for (std::uint32_t except : {79u, 80u, 85u, 90u, 91u}) {
    BoxSet boxes = exceptValue({tcp}, kDstPort, except);
    for (std::uint32_t port = 78; port <= 92; ++port) {
      Packet p = pickPacket(tcp);
      p.field[kDstPort] = port;
      EXPECT_EQ(port >= 80 && port <= 90 && port != except, countIn(boxes, p))
          << except << " " << port;
    }
  }
}

const Unknown kEveryUnknown[] = {Unknown::all, Unknown::none, Unknown::half};

bool allExact(const std::vector<CoverRule>& rules) {
  return std::all_of(rules.begin(), rules.end(), [](const CoverRule& r) { return r.exact; });
}

// The lines that decide `packets` in `rules` (skipping position `skip`), in
// list order, 0 last.
std::vector<int> decidingLines(const std::vector<CoverRule>& rules,
                               const std::vector<Packet>& packets, int skip = -1) {
  std::vector<int> positions;
  for (const Packet& p : packets) positions.push_back(reference::firstMatch(rules, p, {}, skip));
  std::sort(positions.begin(), positions.end(),
            [](int a, int b) { return unsigned(a) < unsigned(b); });
  positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
  std::vector<int> lines;
  for (int position : positions) lines.push_back(reference::lineOf(rules, position));
  return lines;
}

void checkVerdict(const std::vector<CoverRule>& source, const CoverRule& setting,
                  const std::vector<Packet>& classes, const CoverLimits& limits) {
  Verdict v = verdict(RuleList(source), setting, limits);
  SCOPED_TRACE(dump(v));
  if (v.reason.rfind("memory guard", 0) == 0) return;
  std::vector<Packet> mine;
  for (const Packet& p : classes) {
    if (reference::ruleMatches(setting, p, Unknown::all)) mine.push_back(p);
  }
  bool exact = setting.exact && allExact(source);
  for (Unknown unknown : kEveryUnknown) {
    bool covered = std::all_of(mine.begin(), mine.end(), [&](const Packet& p) {
      return reference::actionOf(source, reference::firstMatch(source, p, unknown)) ==
             setting.action;
    });
    if (v.kind == VerdictKind::covered) {
      EXPECT_TRUE(covered);
    }
    if (exact) {
      EXPECT_EQ(covered, v.kind == VerdictKind::covered);
    }
    if (v.kind == VerdictKind::notCovered) {
      int decider = reference::firstMatch(source, v.witness, unknown);
      EXPECT_TRUE(reference::ruleMatches(setting, v.witness, unknown));
      EXPECT_EQ(v.witness_line, reference::lineOf(source, decider));
      EXPECT_EQ(v.witness_action, reference::actionOf(source, decider));
      EXPECT_NE(v.witness_action, setting.action);
    }
  }
  if (exact && v.kind == VerdictKind::covered) {
    EXPECT_EQ(decidingLines(source, mine), v.deciding_lines);
  }
  if (v.kind == VerdictKind::undecided) {
    EXPECT_FALSE(exact);
  }
}

// Each setting rule judged in its own list, on the packets that reach it.
// A witness must reach it and be decided the other way by the line named,
// whatever the rules not exactly known match; in exactly known lists the
// kind is the reference's.
void checkVerdictsInList(const std::vector<CoverRule>& source,
                         const std::vector<CoverRule>& settings, const std::vector<Packet>& classes,
                         const CoverLimits& limits) {
  const RuleList sourceList(source), settingList(settings);
  const bool exact = allExact(source) && allExact(settings);
  for (int i = 0; i < int(settings.size()); ++i) {
    const Verdict v = verdictInList(sourceList, settingList, i, limits);
    SCOPED_TRACE("setting " + std::to_string(i) + ": " + dump(v));
    if (v.reason.rfind("memory guard", 0) == 0) continue;
    if (v.kind == VerdictKind::notCovered) {
      for (Unknown unknown : kEveryUnknown) {
        EXPECT_EQ(i, reference::firstMatch(settings, v.witness, unknown));
        const int decider = reference::firstMatch(source, v.witness, unknown);
        EXPECT_EQ(v.witness_line, reference::lineOf(source, decider));
        EXPECT_NE(reference::actionOf(source, decider), settings[i].action);
      }
    }
    // Covered and unreachable hold whatever the rules not exactly known
    // match, in either list.
    for (Unknown own : kEveryUnknown) {
      for (Unknown theirs : kEveryUnknown) {
        for (const Packet& p : classes) {
          if (reference::firstMatch(settings, p, own) != i) continue;
          EXPECT_NE(int(VerdictKind::unreachable), int(v.kind));
          if (v.kind == VerdictKind::covered) {
            EXPECT_EQ(settings[i].action,
                      reference::actionOf(source, reference::firstMatch(source, p, theirs)));
          }
        }
      }
    }
    if (!exact) continue;
    bool matched = false, reached = false, covered = true, coveredAll = true;
    // The source lines deciding some packet of the rule, and some packet
    // that reaches it: a covered rule names all of the latter and none
    // outside the former.
    std::set<int> decidingAny, decidingReached;
    for (const Packet& p : classes) {
      if (!reference::ruleMatches(settings[i], p, Unknown::none)) continue;
      matched = true;
      const int decider = reference::firstMatch(source, p, Unknown::none);
      const bool same = reference::actionOf(source, decider) == settings[i].action;
      decidingAny.insert(reference::lineOf(source, decider));
      coveredAll = coveredAll && same;
      if (reference::firstMatch(settings, p, Unknown::none) != i) continue;
      reached = true;
      covered = covered && same;
      decidingReached.insert(reference::lineOf(source, decider));
    }
    if (v.kind == VerdictKind::covered) {
      const std::set<int> named(v.deciding_lines.begin(), v.deciding_lines.end());
      EXPECT_TRUE(std::includes(named.begin(), named.end(), decidingReached.begin(),
                                decidingReached.end()));
      EXPECT_TRUE(
          std::includes(decidingAny.begin(), decidingAny.end(), named.begin(), named.end()));
    }
    // Covered on all its packets is covered, reached or not; a rule that
    // matches nothing is reached by nothing.
    const VerdictKind expected = matched && (coveredAll || (reached && covered))
                                     ? VerdictKind::covered
                                 : !reached ? VerdictKind::unreachable
                                            : VerdictKind::notCovered;
    EXPECT_EQ(int(expected), int(v.kind));
  }
}

// Each finding against the reference; in an exactly known list the lines
// flagged too.
void checkWithin(const std::vector<CoverRule>& rules, const std::vector<Packet>& classes,
                 const CoverLimits& limits) {
  std::vector<Finding> findings = within(RuleList(rules), limits);
  std::vector<int> budgeted;  // lines left undecided by the memory guard, not judged
  auto guarded = [](const Finding& f) { return f.reason.rfind("memory guard", 0) == 0; };
  for (const Finding& f : findings) {
    if (guarded(f)) budgeted.push_back(f.line);
  }
  std::erase_if(findings, guarded);
  SCOPED_TRACE(dump(findings));
  bool exact = allExact(rules);
  auto found = findings.begin();
  for (int i = 0; i < int(rules.size()); ++i) {
    if (std::find(budgeted.begin(), budgeted.end(), i + 1) != budgeted.end()) continue;
    const Finding* f = found != findings.end() && found->line == i + 1 ? &*found++ : nullptr;
    SCOPED_TRACE("line " + std::to_string(i + 1));
    std::vector<Packet> mine, reaching;  // reaching: with every unknown rule matching
    for (const Packet& p : classes) {
      if (!reference::ruleMatches(rules[i], p, Unknown::all)) continue;
      mine.push_back(p);
      if (reference::firstMatch(rules, p, {}) == i) reaching.push_back(p);
    }
    // What the line is when the unknown rules match so: a definite finding
    // (or none: needed) must hold whatever they match.
    for (Unknown unknown : kEveryUnknown) {
      bool reached = false, differs = false;
      for (const Packet& p : mine) {
        if (reference::firstMatch(rules, p, unknown) != i) continue;
        reached = true;
        differs =
            differs || reference::actionOf(rules, reference::firstMatch(rules, p, unknown, i)) !=
                           rules[i].action;
      }
      const char* status = !reached ? "unreachable" : differs ? "needed" : "redundant";
      if (!f || f->kind != FindingKind::undecided) {
        EXPECT_STREQ(f ? kKindNames[int(f->kind)] : "needed", status);
      }
    }
    if (f && f->kind == FindingKind::unreachable) {
      for (const Packet& p : mine) {  // the blocking lines hold every packet
        EXPECT_TRUE(std::any_of(f->lines.begin(), f->lines.end(), [&](int line) {
          return line <= i && reference::ruleMatches(rules[line - 1], p, Unknown::none);
        }));
      }
      bool conflicting = std::any_of(mine.begin(), mine.end(), [&](const Packet& p) {
        return reference::actionOf(rules, reference::firstMatch(rules, p, Unknown::none)) !=
               rules[i].action;
      });
      if (exact) {
        EXPECT_EQ(conflicting, f->conflicting_line != 0);
      }
      if (f->conflicting_line) {  // it decides some packet of the line the other way
        EXPECT_NE(rules[f->conflicting_line - 1].action, rules[i].action);
        EXPECT_TRUE(std::any_of(mine.begin(), mine.end(), [&](const Packet& p) {
          return reference::firstMatch(rules, p, Unknown::none) == f->conflicting_line - 1;
        }));
      }
    }
    if (f && f->kind == FindingKind::undecided) {
      EXPECT_FALSE(exact);
      EXPECT_EQ(0u, f->reason.find("line "));
    }
    if (exact && f && f->kind == FindingKind::redundant) {
      EXPECT_EQ(decidingLines(rules, reaching, i), f->lines);
    }
  }
  EXPECT_TRUE(found == findings.end());
}

// Every rule's boxes as they are, and with either address cleared so that
// the index is probed by the other.
void checkCandidates(const std::vector<CoverRule>& rules) {
  RuleList indexed(rules);
  std::vector<int> got;
  for (const CoverRule& r : indexed.rules()) {
    for (int cleared : {-1, int(kSrcHigh), int(kDstHigh)}) {
      std::vector<Box> query = r.boxes;
      for (Box& b : query) {
        for (int w = cleared; w >= 0 && w < cleared + 2; ++w) b.value[w] = b.care[w] = 0;
      }
      indexed.candidates(query, got);
      std::vector<int> expected;
      for (int k = 0; k < int(rules.size()); ++k) {
        for (const Box& a : indexed.rules()[k].boxes) {
          for (const Box& b : query) {
            if (intersects(a, b) && (expected.empty() || expected.back() != k)) {
              expected.push_back(k);
            }
          }
        }
      }
      ASSERT_EQ(expected, got) << "rule at line " << r.line << ", cleared " << cleared;
    }
  }
}

TEST(ListCoverTest, AgreesWithFirstMatchOnGeneratedLists) {
  for (unsigned seed = 1; seed <= 600; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Generator gen(seed);
    std::vector<CoverRule> source;
    gen.spread = seed % 50 == 0 ? 4 : seed % 50 == 25 ? 6 : 0;
    gen.unknownOdds = seed % 3 ? 12 : 3;
    int size = gen.spread ? 70 + gen.pick(200) : 2 + gen.pick(9);
    for (int line = 1; line <= size; ++line) source.push_back(gen.make(line));
    std::vector<CoverRule> settings;
    for (int k = 0; k < 6; ++k) {
      settings.push_back(k % 2 ? gen.variant(source[gen.pick(size)], 101 + k) : gen.make(101 + k));
    }
    if (size > 64) {
      checkCandidates(source);
      continue;
    }
    std::vector<Box> boxes;
    for (const auto* rules : {&source, &settings}) {
      for (const CoverRule& r : *rules) boxes.insert(boxes.end(), r.boxes.begin(), r.boxes.end());
    }
    std::vector<Packet> classes = reference::packetClasses(boxes);
    // A revision of the source: most rules keep their copy there, which the
    // cover leans on.
    std::vector<CoverRule> revision = source;
    const auto any = [&] { return gen.pick(static_cast<int>(revision.size())); };
    revision.insert(revision.begin() + any(), settings[1]);
    // Rules deleted: the source rules that then take a setting rule's
    // packets before its copy are asked one by one.
    for (int cut = size > 4 ? 3 : 1; cut > 0; --cut) revision.erase(revision.begin() + any());
    if (gen.pick(2)) {
      CoverRule& flipped = revision[static_cast<std::size_t>(any())];
      flipped.action = flipped.action == Action::permit ? Action::deny : Action::permit;
    }
    // A rule moved: its copy now stands elsewhere in the other list.
    const auto from = revision.begin() + any();
    const CoverRule moved = *from;
    revision.erase(from);
    revision.insert(revision.begin() + any(), moved);
    for (std::size_t k = 0; k < revision.size(); ++k) revision[k].line = 201 + int(k);
    for (std::size_t a = 0; a < boxes.size() && a < 8; ++a) {  // subset, against the classes
      for (std::size_t b = 0; b < boxes.size() && b < 8; ++b) {
        bool inside = std::all_of(classes.begin(), classes.end(), [&](const Packet& p) {
          return !matches(boxes[b], p) || matches(boxes[a], p);
        });
        EXPECT_EQ(inside, contains(boxes[a], boxes[b])) << a << " " << b;
      }
    }
    // The default budgets; box walks so short that nearly every answer
    // comes from the diagrams; and a guard so low that some answers meet
    // it: those name it, the others stay right.
    for (const CoverLimits& limits :
         {CoverLimits{}, CoverLimits{3, 300}, CoverLimits{4096, 4'000'000, 4000}}) {
      for (const CoverRule& setting : settings) checkVerdict(source, setting, classes, limits);
      checkVerdictsInList(source, settings, classes, limits);
      checkVerdictsInList(source, revision, classes, limits);
      checkWithin(source, classes, limits);
    }
    if (HasFailure()) return;
  }
}

// Long lists whose lines meet many earlier ones, every line asked of the
// diagrams (walks cut short): the unions kept for the rules before each
// stride must give what the rules one by one give.
TEST(ListCoverTest, LongListsAgreeWithFirstMatch) {
  for (unsigned seed = 1; seed <= 4; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Generator gen(seed);
    std::vector<CoverRule> rules;
    std::vector<Box> boxes;
    for (int line = 1; line <= 160; ++line) {
      CoverRule r;
      r.line = line;
      r.action = gen.pick(4) ? Action::deny : Action::permit;
      Box box;
      box.setRange(kProtocol, 6, 6);
      const std::uint32_t low = gen.pick(400);
      box.setRange(kDstPort, low, gen.pick(3) ? low + gen.pick(200) : 65535);
      if (gen.pick(5) == 0) box.setIpv4(true, 0x0A010200, 0xFF);
      r.boxes = {box};
      if (seed % 2 == 0 && gen.pick(40) == 0) r.exact = false, r.reason = "time-range T";
      boxes.push_back(box);
      rules.push_back(r);
    }
    checkWithin(rules, reference::packetClasses(boxes), CoverLimits{3, 300});
    if (HasFailure()) return;
  }
}

}  // namespace
}  // namespace dorvex
