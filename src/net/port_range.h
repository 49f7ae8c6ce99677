// Port ranges and sets of them, as rules and port groups write them.
#ifndef DORVEX_NET_PORT_RANGE_H_
#define DORVEX_NET_PORT_RANGE_H_

#include <vector>

namespace dorvex {

// An inclusive range of ports (0 to 65535); a set is a union of them.
struct PortRange {
  int low;
  int high;
  bool operator==(const PortRange&) const = default;
};
using PortSet = std::vector<PortRange>;

}  // namespace dorvex

#endif  // DORVEX_NET_PORT_RANGE_H_
