// Test helpers for the configuration parser: run checkConfig() on a text and
// render entries and names as strings, so that a test compares a whole
// result at once (ninja's Serialize()).
#ifndef DORVEX_TESTS_PARSER_PARSER_TEST_UTIL_H_
#define DORVEX_TESTS_PARSER_PARSER_TEST_UTIL_H_

#include <string>
#include <string_view>

#include "parser/acl_config.h"

namespace dorvex::parser_test {

inline std::string quad(const unsigned char (&q)[4]) {
  std::string out;
  for (int k = 0; k < 4; ++k) out += (k ? "." : "") + std::to_string(q[k]);
  return out;
}

// Every field of `e` as name=value, in record order.
inline std::string dumpFull(const AclEntry& e) {
  const std::pair<const char*, std::string> fields[] = {
      {"acl_no", std::to_string(e.acl_no)},
      {"type", std::to_string(e.type)},
      {"permission", std::to_string(e.permission)},
      {"protocol_no", std::to_string(e.protocol_no)},
      {"source", quad(e.source)},
      {"destin", quad(e.destin)},
      {"mask_s", quad(e.mask_s)},
      {"mask_d", quad(e.mask_d)},
      {"sp_low", std::to_string(e.sp_low)},
      {"sp_hig", std::to_string(e.sp_hig)},
      {"sp_typ", std::to_string(e.sp_typ)},
      {"dp_low", std::to_string(e.dp_low)},
      {"dp_hig", std::to_string(e.dp_hig)},
      {"dp_typ", std::to_string(e.dp_typ)},
      {"option_idx", std::to_string(e.option_idx)},
      {"flags", std::to_string(e.flags)},
      {"column", std::to_string(e.column)}};
  std::string out;
  for (const auto& [name, value] : fields)
    out += (out.empty() ? "" : " ") + std::string(name) + "=" + value;
  return out;
}

// The fields of `e` that differ from a fresh entry, in record order, an
// address with its mask as source=a.b.c.d/w.x.y.z and a port operand as
// sp=typ:low..hig; "{}" for an entry at its reset values.
inline std::string dump(const AclEntry& e) {
  const std::string all = "255.255.255.255/255.255.255.255", unset = "-1:-1..-1";
  auto n = [](int v) { return std::to_string(v); };
  const std::pair<const char*, std::string> fields[] = {
      {"acl_no", n(e.acl_no)},
      {"type", n(e.type)},
      {"permission", n(e.permission)},
      {"protocol_no", n(e.protocol_no)},
      {"source", quad(e.source) + "/" + quad(e.mask_s)},
      {"destin", quad(e.destin) + "/" + quad(e.mask_d)},
      {"sp", n(e.sp_typ) + ":" + n(e.sp_low) + ".." + n(e.sp_hig)},
      {"dp", n(e.dp_typ) + ":" + n(e.dp_low) + ".." + n(e.dp_hig)},
      {"option_idx", n(e.option_idx)},
      {"flags", n(static_cast<int>(e.flags))},
      {"column", n(e.column)}};
  std::string out;
  for (const auto& [name, value] : fields) {
    if (value == "-1" || value == all || value == unset || (value == "0" && name[0] == 'f'))
      continue;
    out += (out.empty() ? "" : " ") + std::string(name) + "=" + value;
  }
  return out.empty() ? "{}" : out;
}

// The committed entries, one dump() each, joined by "\n".
inline std::string dumpEntries(const AclConfig& config) {
  std::string out;
  for (int k = 0; k < config.entryCount(); ++k) out += (k ? "\n" : "") + dump(*config.entryAt(k));
  return out;
}

// The name records in use as name/unsupported, joined by "|".
inline std::string dumpNames(const AclConfig& config) {
  std::string out;
  for (int k = 0; k < config.nameCount(); ++k) {
    char name[kNameLength + 1];
    int unsupported = -1;
    config.nameAt(k, name, unsupported);
    out += (k ? "|" : "") + std::string(name) + "/" + std::to_string(unsupported);
  }
  return out;
}

// The entry table (every committed entry and the current one, all fields)
// and the name table, LF-ended lines: the golden files' entries.txt.
inline std::string dumpTables(const AclConfig& config) {
  std::string out = "entries " + std::to_string(config.entryCount()) + "\n";
  for (int k = 0; k < config.entryCount(); ++k) {
    out += std::to_string(k) + ": " + dumpFull(*config.entryAt(k)) + "\n";
  }
  out += "current: " + dumpFull(*config.entryAt(config.entryCount())) + "\n";
  out += "names " + std::to_string(config.nameCount()) + "\n";
  for (int k = 0; k < config.nameCount(); ++k) {
    char name[kNameLength + 1];
    int unsupported = -1;
    config.nameAt(k, name, unsupported);
    out +=
        std::to_string(k) + ": \"" + name + "\" unsupported=" + std::to_string(unsupported) + "\n";
  }
  return out;
}

// Resets `config` to `text`, runs the check in `syntax` and returns the
// annotated text.
inline std::string annotate(AclConfig& config, std::string_view text,
                            Syntax syntax = Syntax::classic) {
  config.reset(text, true, syntax);
  config.checkConfig();
  return std::string(config.annotationText());
}

}  // namespace dorvex::parser_test

#endif  // DORVEX_TESTS_PARSER_PARSER_TEST_UTIL_H_
