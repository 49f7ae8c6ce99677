#include "cli/json_output.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <ostream>

#include "cli/console_driver.h"
#include "cli/run_output.h"
#include "dorvex_version.h"
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

void writeCounts(JsonWriter& json, const MarkCounts& counts) {
  json.raw("{\"rules_read\":");
  json.number(counts.rulesRead);
  json.raw(",\"E\":");
  json.number(counts.error);
  json.raw(",\"U\":");
  json.number(counts.unsupported);
  json.raw(",\"D\":");
  json.number(counts.duplicate);
  json.raw(",\"O\":");
  json.number(counts.option);
  json.raw("}");
}

void writeLine(JsonWriter& json, const LineRecord& line) {
  json.raw("{\"number\":");
  json.number(line.number);
  json.textMember("text", line.text, "bytes");
  json.raw(",\"marks\":");
  json.text(markLetters(line.flags));
  json.textMember("annotation", line.annotation, "annotation_bytes");
  json.raw("}");
}

void writeConfig(JsonWriter& json, const AclConfig& config, ConfigLines& lines,
                 std::string_view path) {
  json.textMember("file", path, "file_bytes", true);
  json.raw(",\"line_count\":");
  json.number(static_cast<long long>(lines.count()));
  json.raw(",\"counts\":");
  writeCounts(json, countMarks(config));
  json.raw(",\"lines\":[");
  LineRecord line;
  for (bool first = true; lines.next(line); first = false) {
    if (!first) json.raw(",");
    writeLine(json, line);
  }
  json.raw("]");
}

void writeRuleSide(JsonWriter& json, const AclEntry& entry, const ConfigLines& lines) {
  json.raw("{\"line\":");
  json.number(entry.column);
  json.textMember("text", lines.text(entry.column), "bytes");
  json.raw("}");
}

// The list of a pair: named lists by the source rule's list name, others by
// number; its kind is the setting rule's, which decides the form of the
// details line.
void writeList(JsonWriter& json, const AclConfig& source, const AclEntry& rule,
               const AclEntry& other) {
  json.raw(other.type == kStandardRule ? "{\"kind\":\"standard\"" : "{\"kind\":\"extended\"");
  if (rule.acl_no >= kNamedListBase) {
    json.textMember("name", source.nameView(rule.acl_no - kNamedListBase), "name_bytes");
  } else {
    json.raw(",\"number\":");
    json.number(rule.acl_no);
  }
  json.raw("}");
}

// Calls `each` with every option word the two rules share, as often as the
// details line names it (every equal pair of words, setting words first).
template <typename Each>
void forSharedWords(const AclConfig& source, const AclEntry& rule, const AclConfig& setting,
                    const AclEntry& other, Each each) {
  if (other.type != kExtendedRule || other.option_idx == kNotSet || rule.option_idx == kNotSet)
    return;
  for (int s = other.option_idx; !setting.nameView(s).empty(); ++s) {
    const std::string_view word = setting.nameView(s);
    for (int r = rule.option_idx; !source.nameView(r).empty(); ++r) {
      if (source.nameView(r) == word) each(word);
    }
  }
}

// "option_words", and "option_words_bytes" with every word in base64 when
// a word is not UTF-8.
void writeOptionWords(JsonWriter& json, const AclConfig& source, const AclEntry& rule,
                      const AclConfig& setting, const AclEntry& other) {
  json.raw(",\"option_words\":[");
  bool first = true, anyReplaced = false;
  forSharedWords(source, rule, setting, other, [&](std::string_view word) {
    if (!first) json.raw(",");
    first = false;
    anyReplaced = json.text(word) || anyReplaced;
  });
  json.raw("]");
  if (!anyReplaced) return;
  json.raw(",\"option_words_bytes\":[");
  first = true;
  forSharedWords(source, rule, setting, other, [&](std::string_view word) {
    if (!first) json.raw(",");
    first = false;
    json.base64(word);
  });
  json.raw("]");
}

void writePairs(JsonWriter& json, const CheckWorkspace& workspace, const ConfigLines& source,
                const ConfigLines& setting) {
  bool first = true;
  for (const DuplicatePair& pair : workspace.duplicatePairs()) {
    const AclEntry& rule = *workspace.sourceConfig.entryAt(pair.sourceEntry);
    const AclEntry& other = *workspace.settingConfig.entryAt(pair.settingEntry);
    json.raw(first ? "{\"list\":" : ",{\"list\":");
    first = false;
    writeList(json, workspace.sourceConfig, rule, other);
    json.raw(",\"source\":");
    writeRuleSide(json, rule, source);
    json.raw(",\"setting\":");
    writeRuleSide(json, other, setting);
    writeOptionWords(json, workspace.sourceConfig, rule, workspace.settingConfig, other);
    json.raw("}");
  }
}

}  // namespace

ConfigLines::ConfigLines(AclConfig& config)
    : config(config),
      lines(splitLines(config.inputText().view())),
      annotations(annotationsByLine(config.annotationText(), lines.size())) {}

std::string_view ConfigLines::text(long long number) const {
  return number >= 1 && static_cast<std::size_t>(number) <= lines.size()
             ? lines[static_cast<std::size_t>(number) - 1]
             : std::string_view();
}

bool ConfigLines::next(LineRecord& record) {
  if (position >= lines.size()) return false;
  record.number = static_cast<long long>(position) + 1;
  record.text = lines[position];
  record.annotation = annotations[position];
  record.flags = 0;
  const AclEntry* entry = entryIndex < config.entryCount() ? config.entryAt(entryIndex) : nullptr;
  if (entry && entry->column == record.number) {
    record.flags = entry->flags;
    ++entryIndex;
  }
  ++position;
  return true;
}

void JsonWriter::drain() {
  out.write(buffer, static_cast<std::streamsize>(used));
  used = 0;
}

bool JsonWriter::flush() {
  drain();
  return static_cast<bool>(out.flush());
}

void JsonWriter::raw(std::string_view text) {
  for (char c : text) put(c);
}

void JsonWriter::number(long long value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  raw(std::string_view(digits, static_cast<std::size_t>(end - digits)));
}

bool JsonWriter::text(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  bool replaced = false;
  put('"');
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t length = sequenceLength(bytes, at);
    if (length == 0) {
      raw("\xEF\xBF\xBD");
      replaced = true;
      ++at;
      continue;
    }
    if (length > 1) {
      raw(bytes.substr(at, length));
      at += length;
      continue;
    }
    const unsigned char c = static_cast<unsigned char>(bytes[at++]);
    switch (c) {
      case '"': raw("\\\""); break;
      case '\\': raw("\\\\"); break;
      case '\b': raw("\\b"); break;
      case '\f': raw("\\f"); break;
      case '\n': raw("\\n"); break;
      case '\r': raw("\\r"); break;
      case '\t': raw("\\t"); break;
      default:
        if (c < 0x20) {
          raw("\\u00");
          put(kHex[c >> 4]);
          put(kHex[c & 15]);
        } else {
          put(static_cast<char>(c));
        }
    }
  }
  put('"');
  return replaced;
}

void JsonWriter::base64(std::string_view bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  put('"');
  for (std::size_t at = 0; at < bytes.size(); at += 3) {
    const std::size_t n = std::min<std::size_t>(3, bytes.size() - at);
    std::uint32_t group = 0;
    for (std::size_t k = 0; k < 3; ++k) {
      group = (group << 8) | (k < n ? static_cast<unsigned char>(bytes[at + k]) : 0u);
    }
    for (std::size_t k = 0; k < 4; ++k)
      put(k <= n ? kAlphabet[(group >> (18 - 6 * k)) & 0x3F] : '=');
  }
  put('"');
}

void JsonWriter::key(std::string_view name, bool first) {
  if (!first) put(',');
  put('"');
  raw(name);
  raw("\":");
}

void JsonWriter::textMember(std::string_view name, std::string_view bytes,
                            std::string_view bytesKey, bool first) {
  key(name, first);
  if (!text(bytes)) return;
  key(bytesKey);
  base64(bytes);
}

void writeDocumentStart(JsonWriter& json, CheckModes modes) {
  json.raw("{\"program\":\"dorvex\",\"version\":");
  json.text(kDorvexVersion);
  json.raw(",\"format_version\":1,\"modes\":{\"syntax\":");
  json.raw(modes.syntax == Syntax::full ? "\"full\"" : "\"classic\"");
  json.raw(",\"cover\":");
  json.raw(modes.cover == Cover::exact ? "\"exact\"" : "\"classic\"");
  json.raw("},\"checks\":[\n");
}

void writeCheck(JsonWriter& json, const CheckWorkspace& workspace, ConfigLines& source,
                ConfigLines& setting, std::string_view sourcePath, std::string_view settingPath,
                std::string_view reportPath, int exitStatus) {
  json.raw("{\"source\":{");
  writeConfig(json, workspace.sourceConfig, source, sourcePath);
  json.raw("},\"setting\":{");
  writeConfig(json, workspace.settingConfig, setting, settingPath);
  json.raw("},\"duplicate_count\":");
  json.number(workspace.duplicationCount());
  json.raw(",\"duplicates\":[");
  writePairs(json, workspace, source, setting);
  json.raw("]");
  if (reportPath.empty()) {
    json.raw(",\"report\":null");
  } else {
    json.textMember("report", reportPath, "report_bytes");
  }
  json.raw(",\"exit_status\":");
  json.number(exitStatus);
  json.raw("}");
}

void writeFailedCheck(JsonWriter& json, std::string_view sourcePath, std::string_view settingPath,
                      std::string_view message) {
  json.raw("{\"source\":{");
  json.textMember("file", sourcePath, "file_bytes", true);
  json.raw("},\"setting\":{");
  json.textMember("file", settingPath, "file_bytes", true);
  json.raw("},\"report\":null,\"exit_status\":");
  json.number(kExitTrouble);
  json.raw(",\"error\":");
  json.text(message);
  json.raw("}");
}

}  // namespace dorvex
