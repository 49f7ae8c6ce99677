// Where a configuration uses its access lists (full syntax): the lists that
// filter packets, on an interface ("ip access-group NAME in", "ipv6
// traffic-filter NAME out", the firewall form's "access-group NAME in
// interface X") or on terminal lines ("access-class NAME in" under "line vty
// 0 4"), and the lists other features only consult ("match ip address NAME"
// under a route-map, "distribute-list NAME in" under a router, "ip nat
// inside source list NAME ...", "snmp-server community STRING ro NAME",
// "match access-group name NAME" under a class-map).
//
// The uses are read from the lines that are no access-list statement, as
// the statement parser splits them: an unindented header ("interface X",
// "line vty 0 4", "route-map NAME permit 10", "router ospf 10", "class-map
// match-any NAME") gives the indented lines under it their context, and any
// other unindented line ends it.
#ifndef DORVEX_PARSER_LIST_USES_H_
#define DORVEX_PARSER_LIST_USES_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "parser/word_row.h"

namespace dorvex {

// `port` is an interface (the word "interface" is a macro on one platform).
enum class UseKind : std::uint8_t { port, line, routeMap, distributeList, nat, snmp, classMap };

// The family of the list a use refers to; a class-map's match names a list
// of either.
enum class UseFamily : std::uint8_t { ipv4, ipv6, either };

struct ListUse {
  int line = 0;  // the line of the use
  UseKind kind = UseKind::port;
  UseFamily family = UseFamily::ipv4;
  std::string list;  // the list's name or number, as written
  // The interface, the terminal lines ("vty 0 4"), the map or the router
  // ("ospf 10"); empty for address translation and SNMP.
  std::string where;
  std::string direction;  // "in", "out", or empty
  // Interfaces and terminal lines filter packets with the list; the other
  // features only select routes, addresses or traffic classes by it.
  bool filtersPackets() const { return kind == UseKind::port || kind == UseKind::line; }
};

// The name of a use's kind: "interface", "line", "route-map",
// "distribute-list", "nat", "snmp-server", "class-map".
std::string_view useKindName(UseKind kind);

// A use as the details and the findings view write it: "interface Gi0 in",
// "line vty 0 4 in", "route-map EXPORT", "distribute-list in router ospf
// 10", "nat inside source", "snmp-server community" (never the community
// string, which is a password), "class-map WEB".
std::string describeUse(const ListUse& use);

class UseReader {
 public:
  // Reads `words`, line `line`, a line that is no access-list statement:
  // a header sets the context, a use is appended to `uses`.
  void read(const WordRow& words, int line, std::vector<ListUse>& uses);
  // Any other line: an unindented one ends the context.
  void pass(const WordRow& words);

 private:
  enum class Context : std::uint8_t { none, port, line, routeMap, router, classMap };
  void add(std::vector<ListUse>& uses, int line, UseKind kind, UseFamily family,
           std::string_view list, std::string_view where, std::string_view direction);
  void readIndented(const WordRow& words, int line, std::vector<ListUse>& uses);
  void readTopLevel(const WordRow& words, int line, std::vector<ListUse>& uses);

  Context context = Context::none;
  std::string contextName;
};

}  // namespace dorvex

#endif  // DORVEX_PARSER_LIST_USES_H_
