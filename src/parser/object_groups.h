// ObjectGroups: the object groups and objects of one configuration in the
// full syntax, and the readers of the set operands they and the rules share.
//
// Definitions open with a line at the left margin, and their members are the
// indented lines that follow:
//   object-group network NAME     host A | A M | A/n | X::/n | range A B |
//                                 network-object (host A | A M | object N) |
//                                 group-object NAME | description ...
//   object-group service NAME [tcp|udp|tcp-udp]
//                                 PROTO [source OP P..] [destination] [OP P..] |
//                                 service-object PROTO ... | port-object OP P.. |
//                                 icmp MESSAGE | group-object NAME
//   object-group port NAME        OP P.. (a port set)
//   object network NAME           host A | subnet A M | range A B
//   object service NAME           service PROTO [source OP P..] [destination OP P..]
// Addresses in groups and objects take subnet masks. A group may be defined
// after a rule uses it: the statement parser reads every definition of the
// text (readDefinitions()) before its first rule. A group is resolved when a
// rule first asks for it, its nested groups with it; a missing or cyclic
// group, or one with a member line not read, gives the reason instead.
// Resolving costs time linear in the groups and members it reaches,
// whatever the nesting; a member reached twice counts once.
#ifndef DORVEX_PARSER_OBJECT_GROUPS_H_
#define DORVEX_PARSER_OBJECT_GROUPS_H_

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "parser/rule_match.h"
#include "parser/word_row.h"

namespace dorvex {

// A reference to a group ("object-group NAME") or an object ("object NAME").
struct SetRef {
  std::string_view name;  // empty: no reference
  bool object = false;
};

// How an address operand's mask is written.
enum class MaskKind { wildcard, subnet };

// The addresses "any" stands for.
enum class AnyMeans { ipv4, ipv6, both };

// Reads the address operand at words[at]: "any" (as `any` says), "any4", "any6", "host A", "A
// MASK", "A/n", an IPv6 "X/n" or "host X", "range A B" into `out`; or a reference ("object N",
// "object-group N", "net-group N", "addrgroup N") into `ref`. Returns the
// words taken, 0 when none is an address operand.
int readAddressWords(const WordRow& words, int at, MaskKind masks, AnyMeans any, AddressSet& out,
                     SetRef& ref);
// Reads a port operand of `protocol` at words[at] ("eq" and one port or
// more, "neq" likewise, "gt", "lt", "range"); names of the full tables.
// Returns the words taken, 0 when none is one.
int readPortWords(const WordRow& words, int at, int protocol, PortSet& out);
// An IPv4 address "a.b.c.d" or an IPv6 address, as 128 bits (IPv4 in the
// low 32); `ipv6` says which.
bool readAddress(std::string_view word, Uint128& address, bool& ipv6);

class ObjectGroups {
 public:
  // Reads every definition of `text` (lines split as in the full syntax).
  void readDefinitions(std::string_view text);
  // Whether `words` (an indented line) is a member line of a definition
  // opened by the line before, as readDefinitions() took it: the statement
  // parser notes such lines. `opening` says whether the last line at the
  // left margin opened a definition.
  static bool opensDefinition(const WordRow& words);

  // Whether `ref` names a group of ports or services (defined, whatever
  // its members): where an operand may be ports or addresses, it is ports.
  bool isPortGroup(SetRef ref) const;

  // The addresses, service terms or ports of the group or object `ref`;
  // false, with `reason`, when it is missing, cyclic or not read.
  bool addresses(SetRef ref, AddressSet& out, std::string& reason);
  bool services(SetRef ref, std::vector<ServiceTerm>& out, std::string& reason);
  bool ports(SetRef ref, PortSet& out, std::string& reason);

 private:
  enum class Kind { network, service, port, protocol, other };
  struct Group {
    Kind kind = Kind::other;
    int protocol = kNotSet;  // of "object-group service NAME tcp": its port-objects
    AddressSet blocks;
    std::vector<ServiceTerm> terms;
    PortSet portSet;
    std::vector<SetRef> nested;
    std::string bad;      // why a member line was not read
    int state = 0;        // kUnresolved, kResolved (members flattened) or kFailed
    std::string failure;  // kFailed: the reason
    unsigned seen = 0;    // the last walk that took it
    bool onStack = false;
  };
  enum { kUnresolved = 0, kResolved = 2, kFailed = 3 };
  static std::string keyOf(SetRef ref);
  // Reads one member line into `group`.
  void readMember(Group& group, const WordRow& words, bool object);
  // The group `ref` of `kind` (a protocol group for a service one), or
  // nullptr with `reason` when missing, of another kind or not read.
  Group* find(SetRef ref, Kind kind, std::string& reason);
  // Resolves `ref` of `kind`, its nested groups folded in, each once; the
  // group, or nullptr with `reason`. No recursion: any depth of nesting.
  Group* resolve(SetRef ref, Kind kind, std::string& reason);
  static std::string wordForReason(std::string_view word);

  std::unordered_map<std::string, Group> groups;
  unsigned walk = 0;
};

}  // namespace dorvex

#endif  // DORVEX_PARSER_OBJECT_GROUPS_H_
