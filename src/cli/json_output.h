// The machine-readable result of a console run (--format json), one checked
// pair at a time: both configurations line by line (text, marks,
// annotation) with their counts, every duplicate pair with its list and
// both rules' texts, and the report path. The whole document and its rules
// are in docs/json-output.md, its schema in docs/json-output.schema.json.
//
// Configuration bytes are not converted. A string taken from them is the
// bytes read as UTF-8, with U+FFFD for every byte that is no part of a valid
// sequence; when that happened, a member beside it holds the exact bytes in
// base64: "bytes" beside a line's "text", "<key>_bytes" beside any other
// member "<key>".
#ifndef DORVEX_CLI_JSON_OUTPUT_H_
#define DORVEX_CLI_JSON_OUTPUT_H_

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "workspace/check_workspace.h"

namespace dorvex {

// Members keep the order they are written in, which the document's reader
// sees.
using Json = nlohmann::ordered_json;

// The check entry of a pair the check finished: the two configurations
// under their file paths, the duplicate pairs, the report path
// (`reportPath` empty: none written) and `exitStatus`.
// REQUIRES: the check ran with the annotated texts and with its pairs
// recorded (CheckWorkspace::recordPairs).
Json checkToJson(CheckWorkspace& workspace, std::string_view sourcePath,
                 std::string_view settingPath, std::string_view reportPath, int exitStatus);

// The check entry of a pair that ended in trouble (exit status 2): the file
// paths and the message.
Json failedCheckToJson(std::string_view sourcePath, std::string_view settingPath,
                       std::string_view message);

// A text for a JSON string: `bytes` as UTF-8, each byte outside a valid
// sequence replaced by U+FFFD. `replaced`, when given, says whether any was.
std::string utf8Text(std::string_view bytes, bool* replaced = nullptr);

// `bytes` in base64 (RFC 4648, with padding).
std::string base64(std::string_view bytes);

}  // namespace dorvex

#endif  // DORVEX_CLI_JSON_OUTPUT_H_
