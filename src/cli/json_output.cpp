#include "cli/json_output.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <ostream>

#include "cli/console_driver.h"
#include "cli/run_output.h"
#include "dorvex_version.h"
#include "dupcheck/details_writer.h"
#include "dupcheck/summary_listing.h"

namespace dorvex {

namespace {}  // namespace

std::size_t utf8SequenceLength(std::string_view text, std::size_t at) {
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

namespace {

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

void writeLine(JsonWriter& json, const AclConfig& config, std::size_t index) {
  const LineRecord& line = config.lines()[index];
  json.raw("{\"number\":");
  json.number(static_cast<long long>(index) + 1);
  json.textMember("text", config.lineShown(line), "bytes");
  json.raw(",\"marks\":");
  json.text(markLetters(line.entry >= 0 ? config.entryAt(line.entry)->flags : 0));
  json.textMember("annotation", config.lineAnnotation(line), "annotation_bytes");
  json.raw("}");
}

void writeWithin(JsonWriter& json, const AclConfig& config,
                 const std::vector<WithinFinding>& findings);

// `within`: the within analysis's findings, when it ran.
void writeConfig(JsonWriter& json, const AclConfig& config, std::string_view path,
                 const std::vector<WithinFinding>* within) {
  json.textMember("file", path, "file_bytes", true);
  json.raw(",\"line_count\":");
  const std::size_t count = config.lines().size();
  json.number(static_cast<long long>(count));
  json.raw(",\"counts\":");
  writeCounts(json, countMarks(config));
  json.raw(",\"lines\":[");
  for (std::size_t k = 0; k < count; ++k) {
    if (k > 0) json.raw(",");
    writeLine(json, config, k);
  }
  json.raw("]");
  if (within) writeWithin(json, config, *within);
}

void writeRuleSide(JsonWriter& json, const AclEntry& entry, const AclConfig& config) {
  json.raw("{\"line\":");
  json.number(entry.column);
  const std::size_t at = static_cast<std::size_t>(entry.column) - 1;
  const std::vector<LineRecord>& lines = config.lines();
  json.textMember("text", at < lines.size() ? config.lineShown(lines[at]) : std::string_view(),
                  "bytes");
  json.raw("}");
}

// A "list" object: {kind, number} for a numbered list (number >= 0), else
// {kind, name}; every list a document names is written so.
void writeListObject(JsonWriter& json, std::string_view kind, int number, std::string_view name) {
  json.raw("{\"kind\":\"");
  json.raw(kind);
  json.raw("\"");
  if (number >= 0) {
    json.raw(",\"number\":");
    json.number(number);
  } else {
    json.textMember("name", name, "name_bytes");
  }
  json.raw("}");
}

// The list of a pair: named lists by the source rule's list name, others by
// number; its kind is the setting rule's, which decides the form of the
// details line.
void writeList(JsonWriter& json, const AclConfig& source, const AclEntry& rule,
               const AclEntry& other) {
  const bool named = rule.acl_no >= kNamedListBase;
  writeListObject(json,
                  other.type == kStandardRule ? "standard"
                  : other.type == kIpv6Rule   ? "ipv6"
                                              : "extended",
                  named ? -1 : rule.acl_no,
                  named ? source.nameView(rule.acl_no - kNamedListBase) : std::string_view());
}

// "option_words", and "option_words_bytes" with every word in base64 when
// a word is not UTF-8.
void writeOptionWords(JsonWriter& json, const AclConfig& source, const AclEntry& rule,
                      const AclConfig& setting, const AclEntry& other) {
  json.raw(",\"option_words\":[");
  bool first = true, anyReplaced = false;
  forEachSharedWord(source, rule, setting, other, [&](std::string_view word) {
    if (!first) json.raw(",");
    first = false;
    anyReplaced = json.text(word) || anyReplaced;
  });
  json.raw("]");
  if (!anyReplaced) return;
  json.raw(",\"option_words_bytes\":[");
  first = true;
  forEachSharedWord(source, rule, setting, other, [&](std::string_view word) {
    if (!first) json.raw(",");
    first = false;
    json.base64(word);
  });
  json.raw("]");
}

void writePairs(JsonWriter& json, const CheckWorkspace& workspace) {
  bool first = true;
  for (const DuplicatePair& pair : workspace.duplicatePairs()) {
    const AclEntry& rule = *workspace.sourceConfig.entryAt(pair.sourceEntry);
    const AclEntry& other = *workspace.settingConfig.entryAt(pair.settingEntry);
    json.raw(first ? "{\"list\":" : ",{\"list\":");
    first = false;
    writeList(json, workspace.sourceConfig, rule, other);
    json.raw(",\"source\":");
    writeRuleSide(json, rule, workspace.sourceConfig);
    json.raw(",\"setting\":");
    writeRuleSide(json, other, workspace.settingConfig);
    writeOptionWords(json, workspace.sourceConfig, rule, workspace.settingConfig, other);
    json.raw("}");
  }
}

const char* actionName(Action action) { return action == Action::permit ? "permit" : "deny"; }

void writeNumbers(JsonWriter& json, const std::vector<int>& numbers) {
  json.raw("[");
  for (std::size_t k = 0; k < numbers.size(); ++k) {
    if (k > 0) json.raw(",");
    json.number(numbers[k]);
  }
  json.raw("]");
}

// The witness packet: the fields its protocol has, and the line that
// decides it the other way.
// ICMP of IPv6, in an IPv6 list.
constexpr std::uint32_t kIcmpv6Protocol = 58;

void writeWitness(JsonWriter& json, const Packet& packet, int line, Action action, bool ipv6) {
  const std::uint32_t protocol = packet.field[kProtocol];
  const bool ported = protocol == kTcp || protocol == kUdp;
  json.raw("{\"protocol\":");
  json.number(protocol);
  json.raw(",\"source\":");
  json.text(addressText(packet.word[kSrcHigh], packet.word[kSrcLow], ipv6));
  if (ported) {
    json.raw(",\"source_port\":");
    json.number(packet.field[kSrcPort]);
  }
  json.raw(",\"destination\":");
  json.text(addressText(packet.word[kDstHigh], packet.word[kDstLow], ipv6));
  if (ported) {
    json.raw(",\"destination_port\":");
    json.number(packet.field[kDstPort]);
  }
  if (protocol == kIcmp || (ipv6 && protocol == kIcmpv6Protocol)) {
    json.raw(",\"icmp_type\":");
    json.number(packet.field[kIcmpType]);
    json.raw(",\"icmp_code\":");
    json.number(packet.field[kIcmpCode]);
  }
  if (protocol == kTcp) {
    json.raw(",\"tcp_flags\":");
    json.text(flagsText(static_cast<unsigned>(packet.word[kMiscWord] >> kFlagShift) & 63u));
  }
  json.raw(",\"decided_by\":{\"line\":");
  json.number(line);
  json.raw(",\"action\":\"");
  json.raw(actionName(action));
  json.raw("\"}}");
}

// The change review's records, each kind in an array of its own.
void writeChanges(JsonWriter& json, const std::vector<ChangeRecord>& records) {
  using Kind = ChangeRecord::Kind;
  auto writeListOf = [&](const ChangeRecord& record) {
    json.raw("{\"list\":");
    writeListObject(json, record.listKind, record.number, record.name);
  };
  const char* const opening[] = {",\"differences\":[", "],\"list_changes\":[",
                                 "],\"undecided_changes\":["};
  for (int part = 0; part < 3; ++part) {
    json.raw(opening[part]);
    bool first = true;
    for (const ChangeRecord& record : records) {
      const bool wanted = part == 0 ? record.kind == Kind::difference
                          : part == 1
                              ? record.kind == Kind::listAdded || record.kind == Kind::listRemoved
                              : record.kind == Kind::undecided;
      if (!wanted) continue;
      if (!first) json.raw(",");
      first = false;
      writeListOf(record);
      if (part == 0) {
        const Difference& d = record.difference;
        json.raw(",\"old_line\":");
        json.number(d.old_line);
        json.raw(",\"new_line\":");
        json.number(d.new_line);
        json.raw(",\"old_action\":\"");
        json.raw(actionName(d.old_action));
        json.raw("\",\"new_action\":\"");
        json.raw(actionName(d.new_action));
        json.raw("\",\"witness\":");
        writeWitness(json, d.witness, d.new_line, d.new_action, record.ipv6);
      } else if (part == 1) {
        json.raw(record.kind == Kind::listAdded ? ",\"change\":\"added\""
                                                : ",\"change\":\"removed\"");
        json.raw(",\"lines\":");
        json.number(record.lines);
      } else {
        json.raw(",\"reason\":");
        json.text(record.reason);
      }
      json.raw("}");
    }
  }
  json.raw("]");
}

void writeVerdict(JsonWriter& json, const CheckWorkspace& workspace, const ListVerdict& result) {
  static constexpr const char* kKinds[] = {"covered", "not-covered", "undecided", "no-source-list",
                                           "unreachable"};
  const AclConfig& setting = workspace.settingConfig;
  const AclEntry& rule = *setting.entryAt(result.settingEntry);
  json.raw("{\"list\":");
  writeList(json, setting, rule, rule);
  json.raw(",\"setting_line\":");
  json.number(rule.column);
  json.raw(",\"action\":\"");
  json.raw(rule.permission == kDeny ? "deny" : "permit");
  json.raw("\",\"verdict\":\"");
  json.raw(kKinds[static_cast<int>(result.kind)]);
  json.raw("\",\"deciding_lines\":");
  writeNumbers(json, result.verdict.deciding_lines);
  if (result.kind == ListVerdictKind::notCovered) {
    json.raw(",\"witness\":");
    writeWitness(json, result.verdict.witness, result.verdict.witness_line,
                 result.verdict.witness_action, rule.type == kIpv6Rule);
  }
  if (result.kind == ListVerdictKind::undecided) {
    json.raw(",\"reason\":");
    json.text(result.verdict.reason);
  }
  json.raw("}");
}

// The list of a list fault, by its key: its kind from its first line (a
// rule or the line that opened it); a list not defined is known only by
// its family, and a number's range, "ipv4" for a name.
void writeFaultList(JsonWriter& json, const AclConfig& config, const WithinFinding& finding) {
  const ListKey& key = finding.list;
  int type = kNotSet;
  if (finding.fault == ListFault::unusedList) {
    const int entry = config.lines()[static_cast<std::size_t>(finding.line) - 1].entry;
    if (entry >= 0) type = config.entryAt(entry)->type;
    for (const ListOpening& opening : config.openings()) {
      if (opening.line == finding.line) type = opening.type;
    }
  } else if (key.number >= 0) {
    type = isStandardNumber(key.number) ? kStandardRule : kExtendedRule;
  }
  writeListObject(json,
                  key.ipv6                ? "ipv6"
                  : type == kStandardRule ? "standard"
                  : type == kExtendedRule ? "extended"
                                          : "ipv4",
                  key.number, key.name);
}

// "uses": where the finding's list is used.
void writeUses(JsonWriter& json, const AclConfig& config, const std::vector<int>& uses) {
  json.raw(",\"uses\":[");
  for (std::size_t k = 0; k < uses.size(); ++k) {
    const ListUse& use = config.uses()[static_cast<std::size_t>(uses[k])];
    json.raw(k > 0 ? ",{\"kind\":\"" : "{\"kind\":\"");
    json.raw(useKindName(use.kind));
    json.raw("\"");
    if (!use.where.empty()) json.textMember("name", use.where, "name_bytes");
    if (!use.direction.empty()) {
      json.raw(",\"direction\":");
      json.text(use.direction);
    }
    json.raw(",\"line\":");
    json.number(use.line);
    json.raw(use.filtersPackets() ? ",\"filters_packets\":true}" : ",\"filters_packets\":false}");
  }
  json.raw("]");
}

void writeWithin(JsonWriter& json, const AclConfig& config,
                 const std::vector<WithinFinding>& findings) {
  static constexpr const char* kKinds[] = {"unreachable", "redundant", "undecided"};
  // Where lists are used is known when the configuration uses one.
  const bool usesKnown = !config.uses().empty();
  json.raw(",\"within\":[");
  for (std::size_t k = 0; k < findings.size(); ++k) {
    const WithinFinding& finding = findings[k];
    json.raw(k > 0 ? ",{\"list\":" : "{\"list\":");
    if (finding.fault != ListFault::none) {
      writeFaultList(json, config, finding);
      json.raw(",\"line\":");
      json.number(finding.line);
      json.raw(finding.fault == ListFault::unusedList ? ",\"kind\":\"unused-list\""
                                                      : ",\"kind\":\"undefined-reference\"");
      writeUses(json, config, finding.uses);
      json.raw("}");
      continue;
    }
    const AclEntry& rule = *config.entryAt(finding.entry);
    writeList(json, config, rule, rule);
    json.raw(",\"line\":");
    json.number(rule.column);
    json.raw(",\"kind\":\"");
    json.raw(kKinds[static_cast<int>(finding.kind)]);
    json.raw("\"");
    switch (finding.kind) {
      case FindingKind::unreachable:
        json.raw(",\"blocking_lines\":");
        writeNumbers(json, finding.lines);
        json.raw(",\"conflicting_line\":");
        if (finding.conflictingLine == 0) {
          json.raw("null");
        } else {
          json.number(finding.conflictingLine);
        }
        break;
      case FindingKind::redundant:
        json.raw(",\"deciding_lines\":");
        writeNumbers(json, finding.lines);
        break;
      case FindingKind::undecided:
        json.raw(",\"reason\":");
        json.text(finding.reason);
        break;
    }
    if (finding.kind != FindingKind::undecided)
      json.raw(finding.safeToRemove ? ",\"safe_to_remove\":true" : ",\"safe_to_remove\":false");
    if (usesKnown) writeUses(json, config, finding.uses);
    json.raw("}");
  }
  json.raw("]");
}

void writeVerdicts(JsonWriter& json, const CheckWorkspace& workspace) {
  json.raw(",\"verdicts\":[");
  bool first = true;
  for (const ListVerdict& result : workspace.listVerdicts()) {
    if (!first) json.raw(",");
    first = false;
    writeVerdict(json, workspace, result);
  }
  json.raw("]");
}

}  // namespace

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
    const std::size_t length = utf8SequenceLength(bytes, at);
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
  json.raw("\"");
  json.raw(coverName(modes.cover));
  json.raw(modes.within ? "\",\"within\":true" : "\"");
  if (modes.diff) json.raw(",\"diff\":true");
  json.raw("},\"checks\":[\n");
}

void writeCheck(JsonWriter& json, const CheckWorkspace& workspace, std::string_view sourcePath,
                std::string_view settingPath, std::string_view reportPath, int exitStatus) {
  const bool within = workspace.modes().within;
  json.raw("{\"source\":{");
  writeConfig(json, workspace.sourceConfig, sourcePath,
              within ? &workspace.sourceWithin() : nullptr);
  if (workspace.single()) {
    // One configuration alone: no setting, nothing compared.
    json.raw("},\"setting\":null,\"duplicate_count\":");
  } else {
    json.raw("},\"setting\":{");
    writeConfig(json, workspace.settingConfig, settingPath,
                within ? &workspace.settingWithin() : nullptr);
    json.raw("},\"duplicate_count\":");
  }
  json.number(workspace.duplicationCount());
  json.raw(",\"duplicates\":[");
  writePairs(json, workspace);
  json.raw("]");
  if (workspace.modes().cover == Cover::list) writeVerdicts(json, workspace);
  if (workspace.modes().diff && !workspace.single()) writeChanges(json, workspace.changes());
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
