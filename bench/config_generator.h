// A deterministic generator of large, realistic pairs of router
// configurations for the benchmarks and the differential test of the
// duplication check.
//
// A source config holds numbered and named access lists (standard and
// extended), in both notations ("access-list N ..." lines and
// "ip access-list ..." blocks), with host, subnet and "any" operands, port
// operands given as numbers and as names, ICMP message names and other
// option words, and lines that are no access-list statement at all
// (interfaces, routes, remarks, "!"). The setting config is derived from it
// rule by rule: many rules are copied or narrowed so that they are
// duplicates, others are changed, dropped or added, and the named lists come
// in another order so that equal names stand at other name-table positions.
//
// Two more patterns are made to be hard for an index, each one large list
// of extended rules whose setting rules mostly duplicate their own source
// rule: every rule for one host with a port of its own ("eq 1", "eq 2",
// ...), and every rule with a source wildcard mask of its own, most of them
// not contiguous ("0.0.0.5", "0.0.0.7", "0.0.0.9", ...).
//
// The same shape always gives the same texts on every platform: the
// generator has its own random number generator and uses no standard
// distribution.
#ifndef DORVEX_BENCH_CONFIG_GENERATOR_H_
#define DORVEX_BENCH_CONFIG_GENERATOR_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dorvex::bench {

enum class Pattern {
  generated,      // the realistic configurations above
  distinctPorts,  // one host, a port per rule
  distinctMasks,  // a wildcard mask per rule
};

struct GeneratorShape {
  Pattern pattern = Pattern::generated;  // the other fields but rules,
                                         // lines and seed shape only
                                         // Pattern::generated
  int rules = 30000;            // access-list rule lines of the source config
  int lists = 300;              // access lists the rules are spread over
  int namedPercent = 50;        // share of the lists that are named
  int standardPercent = 20;     // share of the lists that are standard
  bool onePermission = false;   // every rule "permit"; no closing "deny" rules
  int noisePercent = 8;         // non-access-list lines per 100 rules
  int duplicatePercent = 60;    // setting rules made duplicates of their source rule
  bool edgeCases = false;       // unset list numbers, empty and unstored names,
                                // names opened twice, overlong lines, errors,
                                // CR LF and a last line without line break
  int lines = 0;                // > 0: both texts cut or padded to exactly so many lines
  std::uint64_t seed = 1;
};

// rules spread over rules / 100 lists (at least one), as in "30,000 rules in
// 300 lists".
GeneratorShape manyListsShape(int rules, std::uint64_t seed = 1);
// rules in a single numbered extended list, all "permit": the hardest case
// for an index.
GeneratorShape oneListShape(int rules, std::uint64_t seed = 1);
// A configuration of about `lines` lines, cut or padded to exactly that
// many, as a console check would meet it.
GeneratorShape linesShape(int lines, std::uint64_t seed = 1);
// rules in one list, for one host, with a port of their own.
GeneratorShape distinctPortsShape(int rules, std::uint64_t seed = 1);
// rules in one list, with a wildcard mask of their own.
GeneratorShape distinctMasksShape(int rules, std::uint64_t seed = 1);

// Reads a shape from "key=value" pairs separated by commas, on top of
// `shape`; keys are the field names above, and "many", "one", "ports" or
// "masks" alone select manyListsShape, oneListShape, distinctPortsShape or
// distinctMasksShape with the current rule count. False, with
// the offending piece in `error`, for an unknown key or a bad value.
bool parseShape(std::string_view text, GeneratorShape& shape, std::string& error);

struct ConfigPair {
  std::string source;
  std::string setting;
};

ConfigPair generateConfigPair(const GeneratorShape& shape);

// One source config and `count` setting configs, each derived from it as
// generateConfigPair() derives its one, with the random numbers running on
// from one to the next (a template and a fleet of routers). The source and
// the first setting differ from generateConfigPair()'s for the same shape.
struct ConfigFleet {
  std::string source;
  std::vector<std::string> settings;
};

ConfigFleet generateConfigFleet(const GeneratorShape& shape, int count);

}  // namespace dorvex::bench

#endif  // DORVEX_BENCH_CONFIG_GENERATOR_H_
