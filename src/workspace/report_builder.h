// The report's file name and path, and the atomic writing of its file.
#ifndef DORVEX_WORKSPACE_REPORT_BUILDER_H_
#define DORVEX_WORKSPACE_REPORT_BUILDER_H_

#include <string>
#include <string_view>
#include <vector>

namespace dorvex {

// The part of `path` after its last separator, or all of it. The backslash
// always separates; on POSIX builds the slash does too. On Windows builds a
// backslash that is the second byte of a double-byte (Shift-JIS) character
// does not separate.
std::string_view fileNamePart(std::string_view path);

// "Result" + YYMMDDhhmmss + ".txt" from a date "MM/DD/YY" and a time
// "HH:MM:SS".
std::string reportFileName(std::string_view date, std::string_view time);

// `directory` + a backslash when it has none at its end + `fileName`; the
// bare file name for an empty directory.
std::string reportPath(std::string_view directory, std::string_view fileName);

// Writes `text` to `path` so that a failure never leaves a partial file: the
// text goes to a temporary file beside it, which replaces `path` only when
// every write and the close succeeded. On failure returns false with the
// reason in `reason`, and the temporary file is gone.
bool writeFileReplacing(const std::string& path, std::string_view text, std::string& reason);
// The same for a text given as pieces, written one after the other.
bool writeFileReplacing(const std::string& path, const std::vector<std::string_view>& pieces,
                        std::string& reason);

}  // namespace dorvex

#endif  // DORVEX_WORKSPACE_REPORT_BUILDER_H_
