// dorvex --trace FLOW CONFIG...: for one flow (dupcheck/flow.h), the line of
// each access list of each configuration that decides it and how, and with
// several configurations whether they decide it alike (dupcheck/flow_trace.h).
//
// Text on stdout: the flow as read, then per list of the flow's family one
// line per configuration and, with two or more, one comparing them:
//
//   flow: tcp 10.1.1.1 port 1024 > 192.0.2.10 port 23 flags syn
//   source.cfg: ACL=101 line 12 permit
//   setting.cfg: ACL=101 undecided: line 7 not read
//   ACL=101 undecided
//
// A decision is "line N permit", "implicit-deny deny", "line 7 or line 12
// permit" (a line not exactly known that may decide it alike), "undecided:
// REASON" or "no-list"; a comparison "same", "differs" or "undecided".
// With --format json, one JSON document instead (docs/json-output.md).
// Exit status: 0 every list decided alike everywhere (or one configuration),
// 1 some list differs or hangs on a line not exactly known, 2 trouble (a
// malformed flow, a file that cannot be read, nothing on stdout then).
#ifndef DORVEX_CLI_TRACE_COMMAND_H_
#define DORVEX_CLI_TRACE_COMMAND_H_

#include <iosfwd>
#include <string>
#include <vector>

namespace dorvex {

struct TraceOptions {
  std::string flow;
  std::vector<std::string> configPaths;  // at least one
  std::string format = "text";           // or "json"
  bool quiet = false;                    // no lines of what was read on stderr
};

// Runs the trace, read in the full syntax; results to `out`, messages to
// `err`. Returns the exit status.
int runTrace(const TraceOptions& options, std::ostream& out, std::ostream& err);

}  // namespace dorvex

#endif  // DORVEX_CLI_TRACE_COMMAND_H_
