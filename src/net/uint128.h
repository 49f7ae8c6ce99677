// Uint128: the address arithmetic of both families, IPv4 in its low 32
// bits. A value type with no dependency: the parser, the covers and the
// engine share it.
#ifndef DORVEX_NET_UINT128_H_
#define DORVEX_NET_UINT128_H_

#include <cstdint>

namespace dorvex {

// An unsigned 128-bit number, for addresses: the compilers of every build
// (the 32-bit Windows one too) have no 128-bit integer of their own.
class Uint128 {
 public:
  constexpr Uint128() = default;
  // From any unsigned value of 64 bits or fewer, as an integer would be.
  constexpr Uint128(std::uint64_t low) : lo(low) {}  // NOLINT: implicit on purpose
  constexpr Uint128(std::uint64_t high, std::uint64_t low) : hi(high), lo(low) {}
  constexpr std::uint64_t high() const { return hi; }
  constexpr std::uint64_t low() const { return lo; }
  // The low 64 bits, as a cast of an integer would give them.
  explicit constexpr operator std::uint64_t() const { return lo; }
  explicit constexpr operator unsigned() const { return static_cast<unsigned>(lo); }

  friend constexpr Uint128 operator~(Uint128 a) { return {~a.hi, ~a.lo}; }
  friend constexpr Uint128 operator&(Uint128 a, Uint128 b) { return {a.hi & b.hi, a.lo & b.lo}; }
  friend constexpr Uint128 operator|(Uint128 a, Uint128 b) { return {a.hi | b.hi, a.lo | b.lo}; }
  friend constexpr Uint128 operator+(Uint128 a, Uint128 b) {
    const std::uint64_t lo = a.lo + b.lo;
    return {a.hi + b.hi + (lo < a.lo ? 1 : 0), lo};
  }
  friend constexpr Uint128 operator-(Uint128 a, Uint128 b) {
    return {a.hi - b.hi - (a.lo < b.lo ? 1 : 0), a.lo - b.lo};
  }
  friend constexpr Uint128 operator<<(Uint128 a, int n) {
    if (n <= 0) return a;
    if (n >= 128) return {};
    if (n >= 64) return {a.lo << (n - 64), 0};
    return {(a.hi << n) | (a.lo >> (64 - n)), a.lo << n};
  }
  friend constexpr Uint128 operator>>(Uint128 a, int n) {
    if (n <= 0) return a;
    if (n >= 128) return {};
    if (n >= 64) return {0, a.hi >> (n - 64)};
    return {a.hi >> n, (a.lo >> n) | (a.hi << (64 - n))};
  }
  Uint128& operator&=(Uint128 b) { return *this = *this & b; }
  Uint128& operator|=(Uint128 b) { return *this = *this | b; }
  Uint128& operator<<=(int n) { return *this = *this << n; }
  Uint128& operator>>=(int n) { return *this = *this >> n; }
  Uint128& operator+=(Uint128 b) { return *this = *this + b; }
  friend constexpr bool operator==(Uint128 a, Uint128 b) { return a.hi == b.hi && a.lo == b.lo; }
  friend constexpr bool operator<(Uint128 a, Uint128 b) {
    return a.hi != b.hi ? a.hi < b.hi : a.lo < b.lo;
  }
  friend constexpr bool operator>(Uint128 a, Uint128 b) { return b < a; }
  friend constexpr bool operator<=(Uint128 a, Uint128 b) { return !(b < a); }
  friend constexpr bool operator>=(Uint128 a, Uint128 b) { return !(a < b); }

 private:
  std::uint64_t hi = 0;
  std::uint64_t lo = 0;
};

}  // namespace dorvex

#endif  // DORVEX_NET_UINT128_H_
