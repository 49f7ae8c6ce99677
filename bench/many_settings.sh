#!/usr/bin/env bash
# Times one console run of a source config against many setting configs
# (`dorvex -q -o DIR SOURCE SETTING...`) over 250, 500 and 1000 generated
# setting configs derived from one source config, and prints per run the
# settings' total size, the wall and the processor time (user + system,
# the best of three runs) and the processor time per MB. Each doubling of
# the setting configs must take at most 2.5 times as long, as the other
# growth targets of docs/performance.md: time linear in their total size.
#
# Usage: bench/many_settings.sh [BUILD_DIR] [SHAPE]
#   BUILD_DIR  a Release build (default: build-perf)
#   SHAPE      of each configuration, as dorvex_config_pair reads it
#              (default: rules=300,many, about 300 lines each)
# Exit status: 0 the growth target is met, 1 it is not, 2 trouble.
set -euo pipefail
build=${1:-build-perf}
shape=${2:-rules=300,many}
for program in "$build/dorvex" "$build/bench/dorvex_config_pair"; do
  if [ ! -x "$program" ]; then
    echo "many_settings.sh: $program not found; build first" >&2
    exit 2
  fi
done
counts=(250 500 1000)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

settings=()
for k in $(seq 1 "${counts[-1]}"); do settings+=("$work/setting$k.cfg"); done
"$build/bench/dorvex_config_pair" "$shape" "$work/source.cfg" "${settings[@]}"

# "WALL CPU" of the best of three runs over the first $1 setting configs,
# the processor time in milliseconds; the reports are removed between runs,
# untimed, so that each run writes into an empty folder.
measure() {
  local count=$1 best="" line wall user system cpu
  for _ in 1 2 3; do
    rm -rf "$work/out"
    mkdir "$work/out"
    TIMEFORMAT='%R %U %S'
    line=$( { time "$build/dorvex" -q -o "$work/out" "$work/source.cfg" \
        "${settings[@]:0:count}" >"$work/lines.txt" 2>"$work/err.txt"; } 2>&1 ) || true
    # Exit status 1 (duplications found) is expected: stdout and stderr tell
    # whether the run went through.
    if [ "$(wc -l <"$work/lines.txt")" -ne "$count" ] || [ -s "$work/err.txt" ]; then
      echo "many_settings.sh: the run over $count setting configs failed:" >&2
      cat "$work/err.txt" >&2
      exit 2
    fi
    read -r wall user system <<<"$line"
    cpu=$(awk -v u="$user" -v s="$system" 'BEGIN { printf "%d", (u + s) * 1000 }')
    if [ -z "$best" ] || [ "$cpu" -lt "${best#* }" ]; then best="$wall $cpu"; fi
  done
  echo "$best"
}

printf '%-9s %10s %9s %9s %12s\n' settings "total MB" "wall s" "cpu ms" "cpu ms/MB"
previous="" status=0
for count in "${counts[@]}"; do
  bytes=$(cat "${settings[@]:0:count}" | wc -c)
  read -r wall cpu <<<"$(measure "$count")"
  awk -v n="$count" -v b="$bytes" -v w="$wall" -v c="$cpu" \
    'BEGIN { mb = b / 1048576; printf "%-9d %10.1f %9.2f %9d %12.1f\n", n, mb, w, c, c / mb }'
  if [ -n "$previous" ]; then
    ratio=$(awk -v a="$cpu" -v b="$previous" 'BEGIN { printf "%.2f", a / (b > 0 ? b : 1) }')
    verdict=PASS
    awk -v r="$ratio" 'BEGIN { exit !(r <= 2.5) }' || { verdict=FAIL; status=1; }
    echo "  processor time over the run with half as many: x$ratio (at most 2.5) $verdict"
  fi
  previous=$cpu
done
exit $status
