#!/usr/bin/env bash
# The memory target of --format json: on a generated pair of LINES lines
# (default 200,000), the driver's peak resident memory with --format json
# is at most twice that of the text output of the same pair. Prints one
# line like those of run_targets.sh, with both figures, their ratio against
# the limit, and PASS or FAIL.
#
# Usage: bench/json_memory.sh [BUILD_DIR [LINES]]    (default: build-perf)
# Exit status: 0 pass, 1 fail, 2 trouble.
set -euo pipefail
build=${1:-build-perf}
lines=${2:-200000}
dorvex=$build/dorvex pair=$build/bench/dorvex_config_pair
for program in "$dorvex" "$pair" /usr/bin/time; do
  if [ ! -x "$program" ]; then
    echo "json_memory.sh: $program not found" >&2
    exit 2
  fi
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$pair" "lines=$lines" "$work/source.cfg" "$work/setting.cfg"

# The peak resident memory in KB of one run with the output format $1.
peak() {
  local status=0
  /usr/bin/time -f %M -o "$work/rss" "$dorvex" -q --no-report --format "$1" \
    "$work/source.cfg" "$work/setting.cfg" >/dev/null || status=$?
  if [ "$status" -gt 1 ]; then
    echo "json_memory.sh: dorvex --format $1 ended with $status" >&2
    exit 2
  fi
  tail -n1 "$work/rss"
}
text=$(peak text) json=$(peak json)
awk -v lines="$lines" -v text="$text" -v json="$json" 'BEGIN {
  ratio = json / text
  printf "%-36s json %d KB / text %d KB = %.2f (limit 2) %s\n",
         "Target_JsonMemory/" lines "_lines", json, text, ratio, ratio <= 2 ? "PASS" : "FAIL"
  exit ratio <= 2 ? 0 : 1
}'
