// The findings of a console run as one SARIF 2.1.0 log (--format sarif),
// for code-scanning dashboards: one run of the tool "Dorvex", a rule per
// kind of finding (not-covered, undecided, unreachable, redundant, changed,
// not-read), and one result per finding of the findings view
// (findings_view.h) at its file and line, with the lines it names (blocking,
// deciding, deciding the witness) as related locations. A pair that ended in
// trouble is an error notification of the run's invocation, whose exit code
// is the run's exit status. The layout is in docs/sarif-output.md.
#ifndef DORVEX_CLI_SARIF_OUTPUT_H_
#define DORVEX_CLI_SARIF_OUTPUT_H_

#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

#include "cli/run_output.h"

namespace dorvex {

// The output of --format sarif, written as the pairs end.
std::unique_ptr<RunOutput> makeSarifOutput(std::ostream& out);

// `path` as a SARIF artifact URI: relative paths stay relative, absolute
// ones become file: URIs, and every byte but the unreserved ones and '/' is
// percent-encoded.
std::string artifactUri(std::string_view path);

}  // namespace dorvex

#endif  // DORVEX_CLI_SARIF_OUTPUT_H_
