#include "dupcheck/rule_cover.h"

#include <cstring>

#include "parser/acl_entry.h"
#include "parser/rule_match.h"

namespace dorvex {

namespace {

// The operators' bounds are taken as 64-bit numbers: a port operand may hold
// any number up to 2147483647, and the rules add and subtract one.
using Port = long long;

bool eqCovers(Port a, int op, Port c, Port d) {
  switch (op) {
    case kPortEq: return a == c;
    case kPortGt: return a == kMaxPort && c == kMaxPort - 1;
    case kPortLt: return a == 0 && c == 1;
    case kPortRange: return c == a && d == a;
    default: return false;
  }
}

bool gtCovers(Port a, int op, Port c, Port) {
  switch (op) {
    case kPortEq: return c > a;
    case kPortGt: return c >= a;
    case kPortNeq: return a == 0 && c == 0;
    case kPortRange: return c > a;
    default: return false;
  }
}

bool ltCovers(Port a, int op, Port c, Port d) {
  switch (op) {
    case kPortEq: return c < a;
    case kPortLt: return c <= a;
    case kPortNeq: return a == kMaxPort && c == kMaxPort;
    case kPortRange: return d < a;
    default: return false;
  }
}

bool neqCovers(Port a, int op, Port c, Port d) {
  switch (op) {
    case kPortEq: return c != a;
    case kPortGt: return c >= a;
    case kPortLt: return c <= a;
    case kPortNeq: return c == a;
    case kPortRange: return c > a || d < a;
    default: return false;
  }
}

bool rangeCovers(Port a, Port b, int op, Port c, Port d) {
  switch (op) {
    case kPortEq: return a <= c && c <= b;
    case kPortGt: return a <= c + 1 && b == kMaxPort;
    case kPortLt: return a == 0 && b >= c - 1;
    case kPortNeq:
      return (a == 1 && b == kMaxPort && c == 0) || (a == 0 && b == kMaxPort - 1 && c == kMaxPort);
    case kPortRange: return a <= c && d <= b;
    default: return false;
  }
}

// A protocol that restricts the rule: neither unset nor "ip".
bool restricts(int protocolNo) { return protocolNo != kNotSet && protocolNo != kAnyProtocol; }

}  // namespace

bool addressCovers(const unsigned char coverAddress[4], const unsigned char coverWildcard[4],
                   const unsigned char address[4]) {
  // All four bytes at once: the bytes keep their places, so the order in
  // which they are loaded does not matter.
  std::uint32_t cover, wildcard, other;
  std::memcpy(&cover, coverAddress, 4);
  std::memcpy(&wildcard, coverWildcard, 4);
  std::memcpy(&other, address, 4);
  return ((cover ^ other) & ~wildcard) == 0;
}

bool portsCover(int coverOp, int coverLow, int coverHigh, int op, int low, int high) {
  if (coverOp == kPortRange && op >= kPortEq && coverLow == 0 && coverHigh == kMaxPort) return true;
  if (op < kNoPort || op > kPortRange) return false;
  switch (coverOp) {
    case kNoPort: return true;
    case kPortEq: return eqCovers(coverLow, op, low, high);
    case kPortGt: return gtCovers(coverLow, op, low, high);
    case kPortLt: return ltCovers(coverLow, op, low, high);
    case kPortNeq: return neqCovers(coverLow, op, low, high);
    case kPortRange: return rangeCovers(coverLow, coverHigh, op, low, high);
    default: return false;
  }
}

bool eqCoveringPort(int op, int low, int high, int& port) {
  // The cases of eqCovers(), each solved for its port.
  int covering = 0;
  switch (op) {
    case kPortEq: covering = low; break;
    case kPortGt:
      if (low != kMaxPort - 1) return false;
      covering = kMaxPort;
      break;
    case kPortLt:
      if (low != 1) return false;
      covering = 0;
      break;
    case kPortRange:
      if (low != high) return false;
      covering = low;
      break;
    default: return false;
  }
  port = covering;
  return true;
}

EqCover eqOperandCovers(Cover cover, int op, int low, int high, int& port) {
  if (cover == Cover::classic) {
    return eqCoveringPort(op, low, high, port) ? EqCover::onePort : EqCover::none;
  }
  PortRange ports[2];
  const int count = portRangesOf(op, low, high, ports);
  if (count == 0) return EqCover::anyPort;
  if (count == 1 && ports[0].low == ports[0].high) {
    port = ports[0].low;
    return EqCover::onePort;
  }
  return EqCover::none;
}

bool ruleCovers(const AclEntry& source, const AclEntry& setting) {
  if (setting.permission != source.permission) return false;
  if (!addressCovers(source.source, source.mask_s, setting.source)) return false;
  if (setting.type == kStandardRule) return true;
  if (restricts(setting.protocol_no) && restricts(source.protocol_no) &&
      setting.protocol_no != source.protocol_no) {
    return false;
  }
  return addressCovers(source.destin, source.mask_d, setting.destin) &&
         portsCover(source.sp_typ, source.sp_low, source.sp_hig, setting.sp_typ, setting.sp_low,
                    setting.sp_hig) &&
         portsCover(source.dp_typ, source.dp_low, source.dp_hig, setting.dp_typ, setting.dp_low,
                    setting.dp_hig);
}

bool blockCovers(const unsigned char coverAddress[4], const unsigned char coverWildcard[4],
                 const unsigned char address[4], const unsigned char wildcard[4]) {
  // As in addressCovers(), the four bytes at once in any byte order.
  std::uint32_t cover, coverMask, other, otherMask;
  std::memcpy(&cover, coverAddress, 4);
  std::memcpy(&coverMask, coverWildcard, 4);
  std::memcpy(&other, address, 4);
  std::memcpy(&otherMask, wildcard, 4);
  return (~coverMask & otherMask) == 0 && ((cover ^ other) & ~coverMask) == 0;
}

bool portSetCovers(int coverOp, int coverLow, int coverHigh, int op, int low, int high) {
  PortRange cover[2], covered[2];
  const int coverCount = portRangesOf(coverOp, coverLow, coverHigh, cover);
  const int coveredCount = portRangesOf(op, low, high, covered);
  if (coverCount < 0 || coveredCount < 0) return false;
  // The covering ranges are apart, so each covered range, having no gap,
  // must lie within one of them.
  for (int k = 0; k < coveredCount; ++k) {
    bool inside = false;
    for (int m = 0; m < coverCount; ++m) {
      inside = inside || (cover[m].low <= covered[k].low && covered[k].high <= cover[m].high);
    }
    if (!inside) return false;
  }
  return true;
}

bool exactRuleCovers(const AclEntry& source, const AclEntry& setting) {
  if (setting.permission != source.permission) return false;
  if (restricts(source.protocol_no) && source.protocol_no != setting.protocol_no) return false;
  return blockCovers(source.source, source.mask_s, setting.source, setting.mask_s) &&
         blockCovers(source.destin, source.mask_d, setting.destin, setting.mask_d) &&
         portSetCovers(source.sp_typ, source.sp_low, source.sp_hig, setting.sp_typ, setting.sp_low,
                       setting.sp_hig) &&
         portSetCovers(source.dp_typ, source.dp_low, source.dp_hig, setting.dp_typ, setting.dp_low,
                       setting.dp_hig);
}

}  // namespace dorvex
