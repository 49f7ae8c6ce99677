// The access lists of a parsed configuration as the order-aware checks read
// them: each list by its family and name (or number), its entries in the
// order a device evaluates them, and each entry as the engine's rule.
// The list cover, the within analysis, the change review and the flow trace
// all take their lists from here, so that they agree on what a list is.
#ifndef DORVEX_DUPCHECK_ACCESS_LISTS_H_
#define DORVEX_DUPCHECK_ACCESS_LISTS_H_

#include <map>
#include <string_view>
#include <tuple>
#include <vector>

#include "parser/acl_config.h"
#include "space/rule_list.h"
#include "text/text_writer.h"

namespace dorvex {

// A list by its family (IPv6 or IPv4), and by its number, or by its name
// (number -1): an IPv6 list never meets an IPv4 list of its name.
struct ListKey {
  bool ipv6 = false;
  int number = -1;
  std::string_view name;
  bool operator<(const ListKey& other) const {
    return std::tie(ipv6, number, name) < std::tie(other.ipv6, other.number, other.name);
  }
};

// The key of the list `entry` belongs to; false for an entry of no list.
bool listKeyOf(const AclConfig& config, const AclEntry& entry, ListKey& key);

// The entries of every list of `config`, each list in evaluation order.
std::map<ListKey, std::vector<int>> listsOf(const AclConfig& config);

// The key of the list `use` refers to: a number when it names one of the
// numbers of lists (an IPv6 list has a name, always), else its name. A use
// of either family (a class-map's match) refers to the IPv4 list of its
// name when `lists` has one, else to an IPv6 list of its name it has.
ListKey listKeyOfUse(const ListUse& use, const std::map<ListKey, std::vector<int>>& lists);

// The lines of the rules a list ends in, after its last line: an IPv6 list
// permits neighbour discovery (advertisements, then solicitations) before
// it denies the rest, as routers of this syntax do, so that a list on an
// interface does not cut the link's neighbours off; every list then denies
// everything (line 0).
inline constexpr int kImplicitNdNaLine = -1;
inline constexpr int kImplicitNdNsLine = -2;

// The cover rules of the entries of the list `key`, in order, followed by
// the IPv6 list's implicit permits.
std::vector<CoverRule> coverRulesOf(const AclConfig& config, const ListKey& key,
                                    const std::vector<int>& entries);

// The name of a line in details: its number, or "implicit-deny",
// "implicit-nd-na", "implicit-nd-ns".
std::string lineName(int line);

// The text of `config`'s line `line` (from 1) as written, without its
// indent and its line end.
std::string_view writtenLine(const AclConfig& config, int line);

// " ACL=<number or name>".
void writeListName(TextWriter& out, const ListKey& key);
// Lines joined by commas, each by lineName().
void writeRows(TextWriter& out, const std::vector<int>& lines);

}  // namespace dorvex

#endif  // DORVEX_DUPCHECK_ACCESS_LISTS_H_
