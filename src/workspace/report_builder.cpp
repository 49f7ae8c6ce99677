// The report text, its file name and path, and the names tried for its file.
#include "workspace/report_builder.h"

#include <cstring>

namespace dorvex {

namespace {

#ifdef _WIN32
constexpr bool kSlashSeparates = false;
// Lead bytes of the double-byte characters of code page 932.
bool isLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
#else
constexpr bool kSlashSeparates = true;
bool isLeadByte(unsigned char) { return false; }
#endif

bool isSeparator(char c) { return c == '\\' || (kSlashSeparates && c == '/'); }

// Offset just past the last separator of `path`, scanning from the front so
// that the second byte of a double-byte character is never taken for one.
std::size_t nameStart(std::string_view path) {
  std::size_t start = 0;
  for (std::size_t k = 0; k < path.size(); ++k) {
    if (isLeadByte(static_cast<unsigned char>(path[k])) && k + 1 < path.size()) {
      ++k;
    } else if (isSeparator(path[k])) {
      start = k + 1;
    }
  }
  return start;
}

}  // namespace

std::string_view fileNamePart(std::string_view path) { return path.substr(nameStart(path)); }

std::string reportFileName(std::string_view date, std::string_view time) {
  auto piece = [](std::string_view text, std::size_t at) {
    return at + 2 <= text.size() ? text.substr(at, 2) : std::string_view("00");
  };
  std::string name = "Result";
  for (std::string_view part : {piece(date, 6), piece(date, 0), piece(date, 3), piece(time, 0),
                                piece(time, 3), piece(time, 6)}) {
    name += part;
  }
  name += ".txt";
  return name;
}

std::string reportPath(std::string_view directory, std::string_view fileName) {
  std::string path(directory);
  if (!path.empty() && nameStart(path) != path.size()) path += kSlashSeparates ? '/' : '\\';
  path += fileName;
  return path;
}

std::string numberedFileName(std::string_view fileName, int number) {
  if (number <= 1) return std::string(fileName);
  std::size_t dot = fileName.rfind(".txt");
  if (dot == std::string_view::npos) dot = fileName.size();
  std::string name(fileName.substr(0, dot));
  name += '-';
  name += std::to_string(number);
  name += fileName.substr(dot);
  return name;
}

std::string temporaryNamePrefix(std::string_view fileName) {
  std::size_t dot = fileName.rfind(".txt");
  std::string prefix = ".";
  prefix += fileName.substr(0, dot);
  prefix += ".tmp-";
  return prefix;
}

std::string escapedName(std::string_view name) {
  std::string escaped;
  escaped.reserve(name.size());
  for (char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      escaped += c;
    } else if (c == '\n') {
      escaped += "\\n";
    } else if (c == '\r') {
      escaped += "\\r";
    } else if (c == '\t') {
      escaped += "\\t";
    } else {
      constexpr char kHex[] = "0123456789ABCDEF";
      escaped += "\\x";
      escaped += kHex[byte >> 4];
      escaped += kHex[byte & 0xF];
    }
  }
  return escaped;
}

}  // namespace dorvex
