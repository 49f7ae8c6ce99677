// The report's file name and path, and the names tried for its file.
#ifndef DORVEX_WORKSPACE_REPORT_BUILDER_H_
#define DORVEX_WORKSPACE_REPORT_BUILDER_H_

#include <string>
#include <string_view>

namespace dorvex {

// The part of `path` after its last separator, or all of it. The backslash
// always separates; on POSIX builds the slash does too. On Windows builds a
// backslash that is the second byte of a double-byte (Shift-JIS) character
// does not separate.
std::string_view fileNamePart(std::string_view path);

// "Result" + YYMMDDhhmmss + ".txt" from a date "MM/DD/YY" and a time
// "HH:MM:SS".
std::string reportFileName(std::string_view date, std::string_view time);

// `directory` + a separator when it has none at its end (a backslash; a
// slash on POSIX builds) + `fileName`; the bare file name for an empty
// directory.
std::string reportPath(std::string_view directory, std::string_view fileName);

// The name of the `number`-th choice for a report named `fileName`
// ("Result<stamp>.txt"): `fileName` itself for 1, and for 2 on
// "Result<stamp>-<number>.txt", the number before the last ".txt".
std::string numberedFileName(std::string_view fileName, int number);

// The start of the name of a temporary file for the report `fileName`: a
// dot, the name without its ".txt", and ".tmp-" (".Result<stamp>.tmp-"); the
// writer adds random characters. Hidden on POSIX, and plainly no report
// when one is left by a killed process.
std::string temporaryNamePrefix(std::string_view fileName);

// `name` as the report header writes it: a control byte (below 0x20, and
// 0x7F) becomes a C escape ("\n", "\r", "\t", else "\x" and two upper-case
// hex digits), so that a file name cannot break the CR LF lines; every other
// byte stays as it is.
std::string escapedName(std::string_view name);

}  // namespace dorvex

#endif  // DORVEX_WORKSPACE_REPORT_BUILDER_H_
