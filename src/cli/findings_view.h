// The findings view (--print findings): only what needs a person, one line
// per finding in the form compilers and grep use,
//   FILE:LINE: KIND: LIST: TEXT: what it is about
// (kinds: not-covered, undecided, unreachable, redundant, changed, not
// read, undefined-reference, unused-list), grouped by list, then a line of
// counts per kind. A change that names no line of its own (a list added or
// removed) has FILE: only.
#ifndef DORVEX_CLI_FINDINGS_VIEW_H_
#define DORVEX_CLI_FINDINGS_VIEW_H_

#include <string>
#include <string_view>
#include <vector>

#include "workspace/check_workspace.h"

namespace dorvex {

// One finding of a check: the one gathering of them that the findings
// view, the SARIF document and the HTML report all show.
struct CheckFinding {
  enum Kind {
    kNotCovered,
    kUndecided,
    kUnreachable,
    kRedundant,
    kChanged,
    kNotRead,
    kUndefinedReference,
    kUnusedList,
    kKinds
  };
  // Another line the finding names: one that hides or repeats it, or that
  // decides its witness the other way.
  struct Related {
    int file = 0;  // as `file` below
    int line = 0;
    std::string role;  // "blocking", "deciding", ...
  };

  std::string list;  // the list's name or number
  int file = 0;      // 0 the source config, 1 the setting config
  int line = 0;      // 0: none
  Kind kind = kNotCovered;
  std::string text;  // the line's text, then what the finding says
  std::vector<Related> related;
};

// "not-covered", ..., "not read", as the findings view names the kinds.
const char* findingKindName(CheckFinding::Kind kind);

// The findings of the last check of `workspace`, whose records were kept
// (CheckWorkspace::recordPairs), grouped by list, each list's by file and line.
std::vector<CheckFinding> collectFindings(const CheckWorkspace& workspace,
                                          std::string_view sourcePath,
                                          std::string_view settingPath);

// The view of the last check of `workspace`, whose records were kept
// (CheckWorkspace::recordPairs). With `colour`, each kind in a colour of
// its own (ANSI escapes), for a terminal.
std::string findingsView(const CheckWorkspace& workspace, std::string_view sourcePath,
                         std::string_view settingPath, bool colour);

}  // namespace dorvex

#endif  // DORVEX_CLI_FINDINGS_VIEW_H_
