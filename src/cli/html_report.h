// The HTML report of a check (--html FILE): one self-contained page, no
// fetch of any kind, that a browser reads without script:
//   - at the top the findings per kind and each configuration's lines, rules
//     read and marks (E, U, D, O);
//   - the findings of the findings view (findings_view.h), each linked to
//     its line (#s12 in the source config, #t12 in the setting config) and
//     to the lines it names (blocking, deciding, deciding the witness);
//   - both configurations line by line with their marks, each line with a
//     finding highlighted and linked back to it (#f3).
// A small inline script adds a box per kind to the counts that hides that
// kind's findings. Each line is one element, so a list of 10,000 rules
// loads and filters at once.
//
// Configuration bytes are never converted: when every text of the page is
// UTF-8 the page is declared UTF-8, else when every one is Shift-JIS it is
// declared Shift_JIS, and the bytes go out as they are; a byte the declared
// encoding cannot read, and a control byte, is shown as \xNN.
#ifndef DORVEX_CLI_HTML_REPORT_H_
#define DORVEX_CLI_HTML_REPORT_H_

#include <string>
#include <string_view>

#include "workspace/check_workspace.h"

namespace dorvex {

// The page of the last check of `workspace`, whose records were kept
// (CheckWorkspace::recordPairs).
std::string htmlReport(const CheckWorkspace& workspace, std::string_view sourcePath,
                       std::string_view settingPath);

}  // namespace dorvex

#endif  // DORVEX_CLI_HTML_REPORT_H_
