// The raw reading of a configuration file beneath config_file.h, with every
// call of the C runtime's low-level I/O checked (open, read, fstat: POSIX,
// and the same calls of the Windows C runtime), so that no read error can
// pass for the end of a file.
#ifndef DORVEX_PLATFORM_INPUT_FILE_H_
#define DORVEX_PLATFORM_INPUT_FILE_H_

#include <cstddef>
#include <string>

namespace dorvex {

// Reads the file at `path` into `bytes` from its start. Reading ends at the
// end of the file or, once `bytes` holds a NUL byte, as soon as it holds at
// least `lookAhead` bytes: a file of NUL bytes, or an endless device, is
// read no further than that.
// Returns notOpened or readFailed with the reason in `reason` ("is a
// directory", or the system's text for the error as strerror gives it) when
// the file cannot be opened or a read fails. Throws std::bad_alloc when
// `bytes` cannot grow to hold the file (the file is then closed).
enum class InputFileStatus { read, notOpened, readFailed };
InputFileStatus readInputFile(const std::string& path, std::size_t lookAhead, std::string& bytes,
                              std::string& reason);

}  // namespace dorvex

#endif  // DORVEX_PLATFORM_INPUT_FILE_H_
