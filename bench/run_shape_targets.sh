#!/usr/bin/env bash
# Times the order-aware engine on the shapes that fragment boxes, each at a
# size and at twice that size, and prints one line per shape and mode: the
# processor seconds of one dorvex run each, and their ratio (time per
# doubling of the list). Limits: 2 s at the larger size (10 s for the
# nested ranges, whose every line meets every other, so the within analysis
# is quadratic in the lines), 4.5 per doubling.
#   ranges  N lines "deny tcp any any range (N+1-i) 65535"
#   groups  one rule of two groups of N hosts each, then a rule inside it
#   masks   N lines of non-contiguous wildcards and "neq" ports
#
# Usage: bench/run_shape_targets.sh [BUILD_DIR]   (default build; a Release build)
# Exit status: 0 every shape within its limits, 1 one is not, 2 trouble.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
dorvex=$build/dorvex
[ -x "$dorvex" ] || { echo "run_shape_targets.sh: $dorvex not found" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

shape() {  # shape NAME N: the list on stdout
  awk -v name="$1" -v n="$2" 'BEGIN {
    if (name == "ranges") {
      print "ip access-list extended R"
      for (i = 0; i < n; ++i) printf " deny tcp any any range %d 65535\n", n + 1 - i
    } else if (name == "groups") {
      print "object-group network SRC"
      for (i = 0; i < n; ++i) printf " host 10.%d.%d.1\n", int(i / 250), i % 250
      print "object-group network DST"
      for (i = 0; i < n; ++i) printf " host 192.%d.%d.7\n", int(i / 250), i % 250
      print "access-list OUT extended permit tcp object-group SRC object-group DST eq 443"
      print "access-list OUT extended permit tcp host 10.0.0.1 host 192.0.0.7 eq 443"
    } else {
      print "ip access-list extended M"
      srand(7)
      for (i = 0; i < n; ++i) {
        printf " %s udp 10.%d.%d.%d 0.0.%d.%d any neq %d\n", (i % 3 ? "deny" : "permit"),
               int(rand() * 4), int(rand() * 256), int(rand() * 256), int(rand() * 4) * 2,
               int(rand() * 64), int(rand() * 100)
      }
    }
  }'
}

seconds() {  # seconds FILE MODE...: processor seconds of one run
  local file=$1; shift
  /usr/bin/time -f '%U %S' -o "$work/time" "$dorvex" -q --no-report --syntax full "$@" "$file" \
    >/dev/null 2>&1 || [ $? -le 1 ]
  tail -n 1 "$work/time" | awk '{ printf "%.2f", $1 + $2 }'
}

failed=0
for run in "ranges 1000 10" "groups 2000 2" "masks 4000 2"; do
  set -- $run
  shape "$1" "$2" >"$work/small.cfg"
  shape "$1" $(($2 * 2)) >"$work/large.cfg"
  for mode in within list; do
    if [ $mode = within ]; then args=(--within); else args=(--cover list "$work/large.cfg"); fi
    small=$(seconds "$work/small.cfg" "${args[@]}")
    large=$(seconds "$work/large.cfg" "${args[@]}")
    awk -v name="$1 $mode" -v n="$2" -v a="$small" -v b="$large" -v limit="$3" 'BEGIN {
      ratio = a > 0.01 ? b / a : 1
      verdict = b <= limit && ratio <= 4.5 ? "PASS" : "FAIL"
      printf "%-14s %5d: %6.2f s  %5d: %6.2f s  per doubling %4.2f  %s\n", name, n, a, 2 * n, b, ratio, verdict
      exit verdict == "FAIL"
    }' || failed=1
  done
done
exit $failed
