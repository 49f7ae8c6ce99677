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

#include "workspace/check_workspace.h"

namespace dorvex {

// The view of the last check of `workspace`, whose records were kept
// (CheckWorkspace::recordPairs). With `colour`, each kind in a colour of
// its own (ANSI escapes), for a terminal.
std::string findingsView(const CheckWorkspace& workspace, std::string_view sourcePath,
                         std::string_view settingPath, bool colour);

}  // namespace dorvex

#endif  // DORVEX_CLI_FINDINGS_VIEW_H_
