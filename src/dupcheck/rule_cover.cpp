#include "dupcheck/rule_cover.h"

#include <cstring>

#include "parser/acl_entry.h"

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

}  // namespace dorvex
