// One flow as an engineer writes it, read into the concrete packet the
// engine matches (space/packet_space.h):
//
//   tcp 10.1.1.1 1024 192.0.2.10 23        PROTO SRC [SPORT] DST [DPORT] [FLAG...]
//   udp 10.1.1.1 192.0.2.53 domain         ports by number or by name
//   icmp 10.1.1.1 192.0.2.10 echo          PROTO SRC DST [TYPE [CODE]]
//   icmp 2001:db8::1 2001:db8::2 echo      ICMPv6 between IPv6 addresses
//   gre 10.0.0.1 10.0.0.2                  any other protocol, by name or number
//
// The protocol is a number (0 to 255) or a protocol name of the rules;
// "icmp" between IPv6 addresses is ICMPv6 (58), as in an IPv6 list. "ip" (and
// "ipv6" between IPv6 addresses) is protocol 0, which only rules of every
// protocol match. Both addresses are of one family. The port and ICMP
// message names are those of the rules (the full syntax's tables); a port
// word sits right after its address, and an address is told from a port by
// its dot or colon.
//
// What the text leaves out: a port is 1024 (the first one above the
// well-known ports); an ICMP message is an echo request (type 8, or 128 in
// IPv6), a code 0; a TCP segment carries SYN alone (a connection's opening
// packet) unless flag words (syn, ack, fin, rst, psh, urg) say which flags it
// carries; every packet is unfragmented, with ToS 0 and TTL 64.
#ifndef DORVEX_DUPCHECK_FLOW_H_
#define DORVEX_DUPCHECK_FLOW_H_

#include <string>
#include <string_view>

#include "space/packet_space.h"

namespace dorvex {

struct Flow {
  Packet packet;
  bool ipv6 = false;  // the family of both addresses
};

// Port a flow takes where its text names none.
constexpr std::uint32_t kFlowDefaultPort = 1024;

// Reads `text` (words separated by blanks or tabs) into `flow`. False for a
// malformed flow, with `problem` naming the word at fault and what was
// expected there, e.g. "\"wwww\" is not a tcp port (a number 0-65535 or a
// name such as www)".
bool parseFlow(std::string_view text, Flow& flow, std::string& problem);

}  // namespace dorvex

#endif  // DORVEX_DUPCHECK_FLOW_H_
