#include "cli/json_output.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "cli/console_driver.h"
#include "cli/run_output.h"
#include "dupcheck/summary_listing.h"

namespace dorvex {

namespace {

// Length of the UTF-8 sequence starting at `text[at]`, or 0 when the bytes
// there are no valid sequence (overlong forms, surrogates and values past
// U+10FFFF are invalid too).
std::size_t sequenceLength(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[at + k]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  if (byte(1) < low || byte(1) > high) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if (byte(k) < 0x80 || byte(k) > 0xBF) return 0;
  }
  return length;
}

// Sets `object[key]` to the text of `bytes`, and `object[bytesKey]` to the
// bytes themselves when they are not UTF-8.
void putText(Json& object, const char* key, std::string_view bytes, const std::string& bytesKey) {
  bool replaced = false;
  object[key] = utf8Text(bytes, &replaced);
  if (replaced) object[bytesKey] = base64(bytes);
}

void putText(Json& object, const char* key, std::string_view bytes) {
  putText(object, key, bytes, std::string(key) + "_bytes");
}

// The lines of a configuration text, each without its LF and without one
// CR before it; a final LF starts no line of its own (as in the summary
// listing).
std::vector<std::string_view> splitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size() || lines.empty()) {
    std::size_t lf = text.find('\n', start);
    std::size_t end = lf == std::string_view::npos ? text.size() : lf;
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (lf == std::string_view::npos) break;
    start = lf + 1;
  }
  return lines;
}

// The annotation of each of `lineCount` lines: the piece of `text` that
// starts with the line's "%03d: " number, the number and the CR LF taken
// off. Placed by its number rather than by its place in the text.
std::vector<std::string_view> annotationsByLine(std::string_view text, std::size_t lineCount) {
  std::vector<std::string_view> lines(lineCount);
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    start = end + 2;
    std::size_t number = 0, at = 0;
    for (; at < line.size() && line[at] >= '0' && line[at] <= '9' && number <= lineCount; ++at) {
      number = number * 10 + static_cast<std::size_t>(line[at] - '0');
    }
    if (at == 0 || line.substr(at, 2) != ": " || number < 1 || number > lineCount) continue;
    lines[number - 1] = line.substr(at + 2);
  }
  return lines;
}

Json countsToJson(const MarkCounts& counts) {
  return Json{{"rules_read", counts.rulesRead},
              {"E", counts.error},
              {"U", counts.unsupported},
              {"D", counts.duplicate},
              {"O", counts.option}};
}

struct ConfigJson {
  Json object;
  std::vector<std::string_view> lines;  // the text's lines, for the pairs
};

ConfigJson configToJson(AclConfig& config, std::string_view path) {
  ConfigJson result;
  result.lines = splitLines(config.inputText().view());
  const std::vector<std::string_view> annotation =
      annotationsByLine(config.annotationText(), result.lines.size());
  Json lines = Json::array();
  int entryIndex = 0;
  const int entryCount = config.entryCount();
  for (std::size_t k = 0; k < result.lines.size(); ++k) {
    const long long number = static_cast<long long>(k) + 1;
    unsigned flags = 0;
    const AclEntry* entry = entryIndex < entryCount ? config.entryAt(entryIndex) : nullptr;
    if (entry && entry->column == number) {
      flags = entry->flags;
      ++entryIndex;
    }
    Json line = {{"number", number}};
    putText(line, "text", result.lines[k], "bytes");
    line["marks"] = markLetters(flags);
    putText(line, "annotation", annotation[k]);
    lines.push_back(std::move(line));
  }
  putText(result.object, "file", path);
  result.object["line_count"] = result.lines.size();
  result.object["counts"] = countsToJson(countMarks(config));
  result.object["lines"] = std::move(lines);
  return result;
}

Json ruleSide(const AclEntry& entry, const std::vector<std::string_view>& lines) {
  Json side = {{"line", entry.column}};
  const std::size_t at = static_cast<std::size_t>(entry.column) - 1;
  putText(side, "text", at < lines.size() ? lines[at] : std::string_view(), "bytes");
  return side;
}

// The list of a pair: named lists by the source rule's list name, others by
// number; its kind is the setting rule's, which decides the form of the
// details line.
Json listOf(const AclConfig& source, const AclEntry& rule, const AclEntry& other) {
  Json list = {{"kind", other.type == kStandardRule ? "standard" : "extended"}};
  if (rule.acl_no >= kNamedListBase) {
    putText(list, "name", source.nameView(rule.acl_no - kNamedListBase));
  } else {
    list["number"] = rule.acl_no;
  }
  return list;
}

// The option words the two rules share, each as often as the details line
// names it (every equal pair of words, setting words first): puts
// "option_words", and "option_words_bytes" when a word is not UTF-8.
void putOptionWords(Json& pair, const AclConfig& source, const AclEntry& rule,
                    const AclConfig& setting, const AclEntry& other) {
  Json words = Json::array(), bytes = Json::array();
  bool anyReplaced = false;
  if (other.type == kExtendedRule && other.option_idx != kNotSet && rule.option_idx != kNotSet) {
    for (int s = other.option_idx; !setting.nameView(s).empty(); ++s) {
      const std::string_view word = setting.nameView(s);
      for (int r = rule.option_idx; !source.nameView(r).empty(); ++r) {
        if (source.nameView(r) != word) continue;
        bool replaced = false;
        words.push_back(utf8Text(word, &replaced));
        bytes.push_back(base64(word));
        anyReplaced = anyReplaced || replaced;
      }
    }
  }
  pair["option_words"] = std::move(words);
  if (anyReplaced) pair["option_words_bytes"] = std::move(bytes);
}

}  // namespace

std::string utf8Text(std::string_view bytes, bool* replaced) {
  std::string text;
  text.reserve(bytes.size());
  bool any = false;
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t length = sequenceLength(bytes, at);
    if (length == 0) {
      text += "\xEF\xBF\xBD";
      any = true;
      ++at;
    } else {
      text.append(bytes.substr(at, length));
      at += length;
    }
  }
  if (replaced) *replaced = any;
  return text;
}

std::string base64(std::string_view bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t at = 0; at < bytes.size(); at += 3) {
    const std::size_t n = std::min<std::size_t>(3, bytes.size() - at);
    std::uint32_t group = 0;
    for (std::size_t k = 0; k < 3; ++k) {
      group = (group << 8) | (k < n ? static_cast<unsigned char>(bytes[at + k]) : 0u);
    }
    for (std::size_t k = 0; k < 4; ++k) {
      out += k <= n ? kAlphabet[(group >> (18 - 6 * k)) & 0x3F] : '=';
    }
  }
  return out;
}

Json checkToJson(CheckWorkspace& workspace, std::string_view sourcePath,
                 std::string_view settingPath, std::string_view reportPath, int exitStatus) {
  ConfigJson source = configToJson(workspace.sourceConfig, sourcePath);
  ConfigJson setting = configToJson(workspace.settingConfig, settingPath);
  Json pairs = Json::array();
  for (const DuplicatePair& pair : workspace.duplicatePairs()) {
    const AclEntry& rule = *workspace.sourceConfig.entryAt(pair.sourceEntry);
    const AclEntry& other = *workspace.settingConfig.entryAt(pair.settingEntry);
    Json entry = {{"list", listOf(workspace.sourceConfig, rule, other)},
                  {"source", ruleSide(rule, source.lines)},
                  {"setting", ruleSide(other, setting.lines)}};
    putOptionWords(entry, workspace.sourceConfig, rule, workspace.settingConfig, other);
    pairs.push_back(std::move(entry));
  }
  Json check = {{"source", std::move(source.object)},
                {"setting", std::move(setting.object)},
                {"duplicate_count", workspace.duplicationCount()},
                {"duplicates", std::move(pairs)}};
  if (reportPath.empty()) {
    check["report"] = nullptr;
  } else {
    putText(check, "report", reportPath);
  }
  check["exit_status"] = exitStatus;
  return check;
}

Json failedCheckToJson(std::string_view sourcePath, std::string_view settingPath,
                       std::string_view message) {
  Json source, setting;
  putText(source, "file", sourcePath);
  putText(setting, "file", settingPath);
  Json check = {{"source", std::move(source)}, {"setting", std::move(setting)}};
  check["report"] = nullptr;
  check["exit_status"] = kExitTrouble;
  check["error"] = utf8Text(message);
  return check;
}

}  // namespace dorvex
