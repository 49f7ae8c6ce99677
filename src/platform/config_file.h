// The one reader of configuration files, for the console driver and the
// Windows program alike, so that a file checks the same in both: its text
// ends at its first NUL byte (as a pane's does), a UTF-8 byte-order mark
// is skipped, UTF-16 is refused, and a read error or a lack of memory is
// told rather than taken for the end of the file. The raw reading is
// input_file.h's; this policy makes no system call of its own.
#ifndef DORVEX_PLATFORM_CONFIG_FILE_H_
#define DORVEX_PLATFORM_CONFIG_FILE_H_

#include <cstddef>
#include <string>

namespace dorvex {

// What readConfigFile() says of a file besides its text.
struct ConfigFileRead {
  // Whether the file could be opened; false: it is missing, a directory,
  // or not to be opened by this user, and `reason` says which.
  bool opened = false;
  // The bytes of a byte-order mark skipped at its start (0 or 3), for
  // offsets into the file.
  std::size_t markLength = 0;
};

// Reads the configuration file `path` into `text`: its bytes up to its
// end, or up to and including its first NUL byte (the rest of the file is
// not read), without a UTF-8 byte-order mark at its start.
// Returns false with the reason in `reason`, and `text` empty, when the
// file cannot be opened or read, holds UTF-16 text (a byte-order mark, or
// NUL bytes in every other place, which the check would take for a text of
// a few bytes), or does not fit in memory. Throws nothing.
bool readConfigFile(const std::string& path, std::string& text, std::string& reason,
                    ConfigFileRead* read = nullptr);

}  // namespace dorvex

#endif  // DORVEX_PLATFORM_CONFIG_FILE_H_
