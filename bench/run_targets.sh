#!/usr/bin/env bash
# Runs the target benchmarks of the performance issue (the Target_*
# benchmarks of bench/dorvex_bench.cpp) and prints one line per target: the
# two processor times it compares, their ratio against the limit, the ratio
# of the wall times beside it, and PASS or FAIL; then the memory target of
# the JSON output (bench/json_memory.sh), a line of its own. Each ratio is taken from
# times measured in the same run; the pair loop alone takes some seconds.
#
# Usage: bench/run_targets.sh [BUILD_DIR]    (default: build-perf)
# BUILD_DIR must be a Release build (-DCMAKE_BUILD_TYPE=Release).
# Exit status: 0 every target passes, 1 a target fails, 2 trouble.
set -euo pipefail
build=${1:-build-perf}
binary=$build/bench/dorvex_bench
if [ ! -x "$binary" ]; then
  echo "run_targets.sh: $binary not found; build the benchmarks first" >&2
  exit 2
fi
json=$(mktemp)
log=$(mktemp)
trap 'rm -f "$json" "$log"' EXIT
if ! "$binary" --benchmark_filter='^Target_' --benchmark_out="$json" \
    --benchmark_out_format=json >/dev/null 2>"$log"; then
  cat "$log" >&2
  exit 2
fi
status=0
awk '
  /"name":/ {
    name = $0
    sub(/.*"name": "/, "", name)
    sub(/\/iterations:.*/, "", name)
  }
  /"label":/ {
    label = $0
    sub(/.*"label": "/, "", label)
    sub(/",?[[:space:]]*$/, "", label)
    printf "%-36s %s\n", name, label
    if (label ~ /FAIL$/) failed = 1
  }
  /"error_message":/ {
    message = $0
    sub(/.*"error_message": "/, "", message)
    sub(/",?[[:space:]]*$/, "", message)
    printf "%-36s ERROR: %s\n", name, message
    failed = 1
  }
  END { exit failed }
' "$json" || status=1
memory=0
bash "$(dirname "$0")/json_memory.sh" "$build" || memory=$?
[ "$memory" -le "$status" ] || status=$memory
exit $status
