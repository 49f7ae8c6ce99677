#include "platform/config_file.h"

#include <algorithm>
#include <new>
#include <stdexcept>
#include <string_view>

#include "platform/input_file.h"

namespace dorvex {

namespace {

// How far a file is read past its first NUL byte: enough to tell UTF-16
// from a text that merely holds a NUL.
constexpr std::size_t kLookAhead = 512;

// UTF-16 by its byte-order mark, or without one by its NUL bytes: in at
// least half of the even or of the odd places of `start`, and in few of the
// others (an 8-bit text with NUL bytes has them anywhere, a file of NUL
// bytes in every place).
bool isUtf16(std::string_view start) {
  if (start.substr(0, 2) == "\xFF\xFE" || start.substr(0, 2) == "\xFE\xFF") return true;
  const std::size_t units = std::min(start.size(), kLookAhead) / 2;
  if (units < 2) return false;
  std::size_t even = 0, odd = 0;
  for (std::size_t k = 0; k < units; ++k) {
    even += start[2 * k] == '\0';
    odd += start[2 * k + 1] == '\0';
  }
  return (odd * 2 >= units && even * 8 <= units) || (even * 2 >= units && odd * 8 <= units);
}

bool refuse(std::string& text, std::string& reason, const char* why) {
  std::string().swap(text);
  reason = why;
  return false;
}

}  // namespace

bool readConfigFile(const std::string& path, std::string& text, std::string& reason,
                    ConfigFileRead* read) {
  ConfigFileRead ignored;
  ConfigFileRead& result = read ? *read : ignored;
  result = ConfigFileRead();
  try {
    InputFileStatus status = readInputFile(path, kLookAhead, text, reason);
    result.opened = status != InputFileStatus::notOpened;
    if (status != InputFileStatus::read) {
      std::string().swap(text);
      return false;
    }
  } catch (const std::bad_alloc&) {
    result.opened = true;
    return refuse(text, reason, "not enough memory to read the file");
  } catch (const std::length_error&) {
    result.opened = true;
    return refuse(text, reason, "the file is too large for this program");
  }
  if (isUtf16(text)) {
    return refuse(
        text, reason,
        "UTF-16 text, which cannot be checked; save it as 8-bit text (such as Shift-JIS or UTF-8)");
  }
  const std::size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul + 1);
  const std::size_t skipped = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  text.erase(0, skipped);
  result.markLength = skipped;
  return true;
}

}  // namespace dorvex
