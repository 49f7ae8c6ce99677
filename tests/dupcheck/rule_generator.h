// Random rules over a few blocks, ports and options, for the tests that hold
// the engine against the first-match reference (packet_reference.h).
#ifndef DORVEX_TESTS_DUPCHECK_RULE_GENERATOR_H_
#define DORVEX_TESTS_DUPCHECK_RULE_GENERATOR_H_

#include <cstdint>
#include <initializer_list>
#include <random>
#include <vector>

#include "space/rule_list.h"

namespace dorvex {

// Rules that overlap.
struct Generator {
  std::mt19937 rng;
  explicit Generator(unsigned seed) : rng(seed) {}
  std::uint32_t pick(std::uint32_t n) { return rng() % n; }
  template <typename T>
  T among(std::initializer_list<T> values) {
    return values.begin()[pick(std::uint32_t(values.size()))];
  }

  static void fork(std::vector<Box>& boxes, auto&& one, auto&& other) {
    std::vector<Box> out;
    for (const Box& b : boxes) {
      out.push_back(b), one(out.back());
      out.push_back(b), other(out.back());
    }
    boxes.swap(out);
  }
  // Big lists spread their addresses wide (IPv4 or IPv6), so that every
  // level of the index is met.
  int spread = 0;        // 0 none, 4 IPv4, 6 IPv6
  int unknownOdds = 12;  // one rule in so many not exactly known
  void spreadAddress(Box& box, bool source) {
    std::uint32_t length = among<std::uint32_t>({0, 4, 8, 12, 16, 20, 24, 32});
    std::uint64_t high =
        std::uint64_t(among<std::uint32_t>({10, 11, 172})) << 56 | std::uint64_t(rng()) << 24;
    if (spread == 6) return box.setIpv6(source, high, std::uint64_t(rng()) << 32, length * 2);
    std::uint32_t wildcard = length == 0 ? ~0u : length == 32 ? 0 : ~0u >> length;
    box.setIpv4(source, std::uint32_t(high >> 32), wildcard | (pick(8) == 0 ? 0xF00 : 0));
  }
  void address(Box& box, bool source) {
    if (spread) return spreadAddress(box, source);
    std::uint32_t base = 0x0A010200 | (pick(2) << 8) | pick(256);
    switch (pick(6)) {
      case 0: return box.setIpv4(source, 0, 0xFFFFFFFF);
      case 1: return box.setIpv4(source, base, 0);
      default:
        return box.setIpv4(
            source, base,
            among<std::uint32_t>({0xFF, 0x7F, 0x3F, 0x1FF, 0xF0}) | (pick(3) == 0 ? pick(256) : 0));
    }
  }
  // Any, eq, range, lt, gt, or neq (two boxes).
  void ports(std::vector<Box>& boxes, RangeField f) {
    std::uint32_t p = among<std::uint32_t>({53, 80, 443, 1023, 1024}), kind = pick(6);
    const std::uint32_t lows[] = {0, p, p, 0, p + 1};
    const std::uint32_t highs[] = {65535, p, p + pick(2000), p - 1, 65535};
    if (kind < 5) {
      for (Box& b : boxes) b.setRange(f, lows[kind], highs[kind]);
    } else {
      fork(
          boxes, [&](Box& b) { b.setRange(f, 0, p - 1); },
          [&](Box& b) { b.setRange(f, p + 1, 65535); });
    }
  }
  void tcpFlags(std::vector<Box>& boxes) {
    switch (pick(6)) {
      case 3:  // established
        return fork(
            boxes, [](Box& b) { b.setTcpFlags(kAck, 0); },
            [](Box& b) { b.setTcpFlags(kRst, kAck); });
      case 4: {
        unsigned set = pick(16), clear = pick(16) & ~set;
        for (Box& b : boxes) b.setTcpFlags(set, clear);
        return;
      }
      case 5:  // match-any +ack +syn
        return fork(
            boxes, [](Box& b) { b.setTcpFlags(kAck, 0); },
            [](Box& b) { b.setTcpFlags(kSyn, kAck); });
    }
  }
  void options(std::vector<Box>& boxes) {
    if (pick(10) == 0)
      for (Box& b : boxes) b.setFragment(true);
    std::uint32_t tosKind = pick(16);
    for (Box& b : boxes) {
      if (tosKind == 0) b.setTos(among(46u, 10u) << 2, 0xFC);
      if (tosKind == 1) b.setTos(among(5u, 0u) << 5, 0xE0);
      if (tosKind == 2) b.setTos(among(4u, 0u) << 1, 0x1E);
    }
    std::uint32_t ttl = among<std::uint32_t>({5, 64}), ttlKind = pick(20);
    if (ttlKind == 0)
      for (Box& b : boxes) b.setRange(kTtl, 0, ttl - 1);
    if (ttlKind == 1) {
      fork(
          boxes, [&](Box& b) { b.setRange(kTtl, 0, ttl - 1); },
          [&](Box& b) { b.setRange(kTtl, ttl + 1, 255); });
    }
  }
  std::uint32_t among(std::uint32_t a, std::uint32_t b) { return pick(2) ? a : b; }

  CoverRule make(int line) {
    CoverRule r;
    r.line = line;
    r.action = pick(5) < 3 ? Action::permit : Action::deny;
    std::vector<Box> boxes(1);
    std::uint32_t protocol = among<std::uint32_t>({0, 1, 6, 6, 17});
    if (protocol) boxes[0].setRange(kProtocol, protocol, protocol);
    address(boxes[0], true);
    address(boxes[0], false);
    if (protocol == 6 || protocol == 17) ports(boxes, kDstPort), ports(boxes, kSrcPort);
    if (protocol == 6) tcpFlags(boxes);
    if (protocol == 1 && pick(2)) {
      std::uint32_t type = among<std::uint32_t>({8, 0, 3, 11});
      for (Box& b : boxes) b.setRange(kIcmpType, type, type);
      if (type == 3 && pick(2))
        for (Box& b : boxes) b.setRange(kIcmpCode, 1, 1);
    }
    options(boxes);
    r.boxes = boxes;
    if (pick(unknownOdds) == 0) r.exact = false, r.reason = "option not understood: x";
    return r;
  }
  // A source rule, kept or narrowed to one source host, its action flipped
  // now and then: settings that the source covers in part or whole.
  CoverRule variant(const CoverRule& of, int line) {
    CoverRule r = of;
    r.line = line;
    if (pick(4) == 0) r.action = r.action == Action::permit ? Action::deny : Action::permit;
    if (pick(2)) {
      std::uint32_t host = 0x0A010200 | pick(512);
      for (Box& b : r.boxes) b.setIpv4(true, host, 0);
    }
    return r;
  }
};

}  // namespace dorvex

#endif  // DORVEX_TESTS_DUPCHECK_RULE_GENERATOR_H_
