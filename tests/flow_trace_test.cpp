// The flow trace: flows read from text, the deciding line of each list
// against answers worked out by hand from the lists below, and the exit
// status of the built program.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "cli/driver_fixture.h"
#include "dupcheck/flow.h"
#include "dupcheck/flow_trace.h"

namespace dorvex {
namespace {

TEST(FlowParse, ReadsTheFieldsAndTheDefaults) {
  const struct {
    const char* text;
    const char* packet;  // describe() of the packet read
    bool ipv6;
  } kCases[] = {
      {"tcp 10.1.1.1 1024 192.0.2.10 23", "tcp 10.1.1.1 port 1024 > 192.0.2.10 port 23 flags syn",
       false},
      {"tcp 10.1.1.1 192.0.2.10 www ack rst",
       "tcp 10.1.1.1 port 1024 > 192.0.2.10 port 80 flags ack,rst", false},
      {"udp 10.1.1.1 snmp 192.0.2.10", "udp 10.1.1.1 port 161 > 192.0.2.10 port 1024", false},
      {"17 10.1.1.1 192.0.2.10\tntp", "udp 10.1.1.1 port 1024 > 192.0.2.10 port 123", false},
      {"icmp 10.1.1.1 192.0.2.10", "icmp 10.1.1.1 > 192.0.2.10 type 8 code 0", false},
      {"icmp 10.1.1.1 192.0.2.10 3 4", "icmp 10.1.1.1 > 192.0.2.10 type 3 code 4", false},
      {"icmp 10.1.1.1 192.0.2.10 port-unreachable", "icmp 10.1.1.1 > 192.0.2.10 type 3 code 3",
       false},
      {"icmp 2001:db8::1 2001:db8::2 echo", "icmpv6 2001:db8::1 > 2001:db8::2 type 128 code 0",
       true},
      {"tcp 2001:db8::1 2001:db8::2 https fin ack",
       "tcp 2001:db8::1 port 1024 > 2001:db8::2 port 443 flags ack,fin", true},
      {"gre 10.0.0.1 10.0.0.2", "protocol 47 10.0.0.1 > 10.0.0.2", false},
      {"ip 10.0.0.1 10.0.0.2", "protocol 0 10.0.0.1 > 10.0.0.2", false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text);
    Flow flow;
    std::string problem;
    ASSERT_TRUE(parseFlow(c.text, flow, problem)) << problem;
    EXPECT_EQ(c.packet, describe(flow.packet));
    EXPECT_EQ(c.ipv6, flow.ipv6);
    EXPECT_EQ(64u, flow.packet.field[kTtl]);
  }
}

TEST(FlowParse, NamesTheWordAtFault) {
  const struct {
    const char* text;
    const char* named;  // what the problem must hold
  } kCases[] = {
      {"", "no flow"},
      {"tcpp 10.1.1.1 192.0.2.1", "\"tcpp\""},
      {"tcp", "quote it"},
      {"tcp 10.1.1 192.0.2.1", "\"10.1.1\""},
      {"tcp 10.1.1.1 wwww 192.0.2.1", "\"wwww\""},
      {"tcp 10.1.1.1 192.0.2.1 70000", "\"70000\""},
      {"tcp 10.1.1.1 192.0.2.1 23 syn bogus", "\"bogus\""},
      {"udp 10.1.1.1 192.0.2.1 syn", "\"syn\""},
      {"tcp 10.1.1.1 2001:db8::1", "\"2001:db8::1\""},
      {"tcp 10.1.1.1", "no destination"},
      {"icmp 10.1.1.1 192.0.2.1 echoo", "\"echoo\""},
      {"icmp 10.1.1.1 192.0.2.1 3 256", "\"256\""},
      {"icmp 10.1.1.1 192.0.2.1 port-unreachable 3", "\"3\""},
      {"gre 10.0.0.1 10.0.0.2 7", "\"7\""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text);
    Flow flow;
    std::string problem;
    EXPECT_FALSE(parseFlow(c.text, flow, problem));
    EXPECT_NE(std::string::npos, problem.find(c.named)) << problem;
  }
}

// Line numbers are those of the text.
constexpr char kLists[] =
    "ip access-list extended EDGE\n"
    " permit tcp 10.1.2.0 0.0.0.255 any eq 443\n"
    " deny tcp any host 192.0.2.10 eq 23 time-range NIGHT\n"
    " deny tcp any object-group WEB eq 80\n"  // 4: not read (no such group)
    " permit tcp 10.0.0.0 0.255.255.255 any\n"
    " permit tcp any any established\n"
    " deny ip any any\n"
    "ipv6 access-list V6\n"
    " permit icmp any any echo-request\n"
    " deny tcp any any eq 22\n"
    " permit tcp 2001:db8::/32 any\n"
    "access-list 150 permitt udp any any\n"  // 12: not read, nor its action
    "access-list 150 permit ip any any\n";

// A list's expected trace: "permit 2", "deny 4,7", "deny 0", or
// "undecided 4" naming the line.
struct Expected {
  const char* list;
  const char* trace;
};

std::string traceWords(const ListTrace& trace) {
  if (trace.kind == TraceKind::undecided) return "undecided " + std::to_string(trace.line);
  if (trace.kind == TraceKind::noList) return "no-list";
  std::string text = trace.action == Action::permit ? "permit " : "deny ";
  for (std::size_t k = 0; k < trace.lines.size(); ++k) {
    text += (k > 0 ? "," : "") + std::to_string(trace.lines[k]);
  }
  return text;
}

TEST(FlowTrace, DecidingLineOfEachListOfTheFlowsFamily) {
  const struct {
    const char* flow;
    std::vector<Expected> lists;  // every list traced, in key order
  } kCases[] = {
      {"tcp 10.1.2.5 192.0.2.1 443", {{"EDGE", "permit 2"}, {"150", "undecided 12"}}},
      // The time-range line may deny what line 5 permits.
      {"tcp 10.1.1.1 192.0.2.10 23", {{"EDGE", "undecided 3"}, {"150", "undecided 12"}}},
      // The line not read denies, if anything, as line 7 does.
      {"tcp 172.16.0.1 192.0.2.1 80", {{"EDGE", "deny 4,7"}, {"150", "undecided 12"}}},
      {"udp 10.1.1.1 192.0.2.1 53", {{"EDGE", "deny 4,7"}, {"150", "undecided 12"}}},
      // ... but it may deny what line 5, or line 6 for an ACK, permits.
      {"tcp 10.1.1.1 192.0.2.1 80", {{"EDGE", "undecided 4"}, {"150", "undecided 12"}}},
      {"tcp 172.16.0.1 192.0.2.1 80 ack", {{"EDGE", "undecided 4"}, {"150", "undecided 12"}}},
      {"tcp 172.16.0.1 192.0.2.1 443 rst", {{"EDGE", "undecided 4"}, {"150", "undecided 12"}}},
      {"icmp 2001:db8::1 2001:db8::2 echo", {{"V6", "permit 9"}}},
      {"icmp 2001:db8::1 2001:db8::2 echo-reply", {{"V6", "deny 0"}}},
      {"tcp 2001:db8::1 2001:db8::2 22", {{"V6", "deny 10"}}},
      {"tcp 2001:db8::1 2001:db8::2 80", {{"V6", "permit 11"}}},
      {"tcp 2001:db9::1 2001:db8::2 80", {{"V6", "deny 0"}}},
  };
  auto config = std::make_unique<AclConfig>();
  config->reset(kLists, false, Syntax::full);
  config->checkConfig();
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.flow);
    Flow flow;
    std::string problem;
    ASSERT_TRUE(parseFlow(c.flow, flow, problem)) << problem;
    std::vector<std::string> got, want;
    for (const auto& [key, trace] : traceConfig(*config, flow)) {
      const std::string name = key.number >= 0 ? std::to_string(key.number) : std::string(key.name);
      got.push_back(name + " " + traceWords(trace));
    }
    for (const Expected& e : c.lists) want.push_back(std::string(e.list) + " " + e.trace);
    EXPECT_EQ(want, got);
  }
}

TEST(FlowTrace, ConfigurationsCompared) {
  auto decided = [](Action action) {
    ListTrace trace;
    trace.kind = TraceKind::decided;
    trace.action = action;
    return trace;
  };
  ListTrace undecided, noList;
  undecided.kind = TraceKind::undecided;
  const ListTrace permit = decided(Action::permit), deny = decided(Action::deny);
  const struct {
    std::vector<ListTrace> traces;
    TraceComparison expected;
  } kCases[] = {
      {{permit, permit, permit}, TraceComparison::same},
      {{permit, permit, deny}, TraceComparison::differs},
      {{deny, noList}, TraceComparison::differs},
      {{undecided, permit}, TraceComparison::undecided},
      {{undecided, permit, deny}, TraceComparison::differs},
  };
  for (std::size_t k = 0; k < std::size(kCases); ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(kCases[k].expected, compareTraces(kCases[k].traces));
  }
}

using TraceDriverTest = testing_files::DriverTest;

TEST_F(TraceDriverTest, ExitStatusSaysWhetherTheConfigurationsAgree) {
  write("a.cfg", "access-list 101 deny tcp any any eq 23\naccess-list 101 permit ip any any\n");
  write("b.cfg", "access-list 101 permit tcp any any\n");
  const struct {
    std::vector<std::string> arguments;
    int status;
    const char* out;
    const char* err;  // what stderr must name
  } kCases[] = {
      {{"-q", "--trace", "tcp 10.1.1.1 192.0.2.10 23", "a.cfg", "b.cfg"},
       1,
       "flow: tcp 10.1.1.1 port 1024 > 192.0.2.10 port 23 flags syn\n"
       "a.cfg: ACL=101 line 1 deny\n"
       "b.cfg: ACL=101 line 1 permit\n"
       "ACL=101 differs\n",
       ""},
      {{"-q", "--trace", "tcp 10.1.1.1 192.0.2.10 www", "a.cfg", "b.cfg"},
       0,
       "flow: tcp 10.1.1.1 port 1024 > 192.0.2.10 port 80 flags syn\n"
       "a.cfg: ACL=101 line 2 permit\n"
       "b.cfg: ACL=101 line 1 permit\n"
       "ACL=101 same\n",
       ""},
      {{"-q", "--trace", "tcp 10.1.1.1 192.0.2.10 telnett", "a.cfg", "b.cfg"},
       2,
       "",
       "\"telnett\""},
      {{"-q", "--trace", "tcp 10.1.1.1 192.0.2.10 23", "a.cfg", "missing.cfg"},
       2,
       "",
       "missing.cfg"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.arguments[2]);
    testing_files::Outcome r = run(c.arguments);
    EXPECT_EQ(c.status, r.status) << r.err;
    EXPECT_EQ(c.out, r.out);
    EXPECT_NE(std::string::npos, r.err.find(c.err)) << r.err;
  }
}

}  // namespace
}  // namespace dorvex
