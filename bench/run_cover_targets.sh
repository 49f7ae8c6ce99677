#!/usr/bin/env bash
# Runs the list cover over the ClassBench filter sets of every family and
# checks the targets of the order-aware check, one line per run:
#   check: the 10k list as source, the family's 1k list as setting: <= 5 s, 256 MiB
#   check: the 10k list against itself:                             <= 3 s, 256 MiB
#   check: the 10k list against a copy with 50 edits (as diff):     <= 3 s, 256 MiB
#   check: the 10k list against itself rotated by half:             <= 8 s, 256 MiB (a stress
#          run: half the list shadowed by rules that now come after it)
#   diff:  the 10k list against a copy with 50 edits:               <= 2 s, 256 MiB,
#          no pair undecided and none past the memory guard
#   within: the findings in the 10k list:                           <= 3 s, 512 MiB,
#           no line undecided (every rule is read exactly),
#           blocking sets of at most five lines in >= 95% of the unreachable lines
# Times are processor seconds of one run of dorvex_cover, memory its peak
# resident size.
#
# Usage: bench/run_cover_targets.sh [BUILD_DIR [DATA_DIR]]
#   BUILD_DIR default build (a Release build with bench/dorvex_cover);
#   DATA_DIR default $DORVEX_CLASSBENCH, else bench/data/classbench.
# Exit status: 0 every target passes, 1 a target fails, 2 trouble.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
data=${2:-${DORVEX_CLASSBENCH:-bench/data/classbench}}
tool=$build/bench/dorvex_cover
if [ ! -x "$tool" ]; then
  echo "run_cover_targets.sh: $tool not found; build dorvex_cover first" >&2
  exit 2
fi
failed=0
# judge NAME SECONDS_LIMIT MIB_LIMIT FIGURES
judge() {
  awk -v name="$1" -v seconds="$2" -v mib="$3" '
    { value[$1] = $2 }
    END {
      verdict = value["seconds"] <= seconds && value["peak_mib"] <= mib ? "PASS" : "FAIL"
      extra = ""
      if ("differences" in value) {
        if (value["undecided"] > 0 || value["guard"] > 0) verdict = "FAIL"
        extra = sprintf(" differences %d undecided %d guard %d", value["differences"], value["undecided"],
                        value["guard"])
      } else if ("blocking_at_most_5" in value) {
        share = value["unreachable"] ? value["blocking_at_most_5"] / value["unreachable"] : 1
        if (share < 0.95 || value["undecided"] > 0) verdict = "FAIL"
        extra = sprintf(" unreachable %d redundant %d undecided %d blocking<=5 %.1f%%", value["unreachable"],
                        value["redundant"], value["undecided"], 100 * share)
      } else {
        extra = sprintf(" covered %d not_covered %d undecided %d", value["covered"], value["not_covered"],
                        value["undecided"] + value["undecided_budget"])
      }
      printf "%-22s %7.2f s (<= %d) %7.1f MiB (<= %d)%s %s\n", name, value["seconds"], seconds,
             value["peak_mib"], mib, extra, verdict
      exit verdict == "FAIL"
    }'
}
for family in acl2 acl3 fw2 fw3 ipc2; do
  for run in "check 1k" "check itself" "check edited" "check shifted" "within" "diff"; do
    case $run in
      "check 1k") figures=$("$tool" check "$data/${family}_10k" "$data/${family}_1k") || exit 2
                  judge "$family 10k vs 1k" 5 256 <<<"$figures" || failed=1 ;;
      "check itself") figures=$("$tool" check "$data/${family}_10k" "$data/${family}_10k") || exit 2
                  judge "$family 10k vs itself" 3 256 <<<"$figures" || failed=1 ;;
      "check edited") figures=$("$tool" check "$data/${family}_10k" edited) || exit 2
                  judge "$family 10k vs 50 edits" 3 256 <<<"$figures" || failed=1 ;;
      "check shifted") figures=$("$tool" check "$data/${family}_10k" shifted) || exit 2
                  judge "$family 10k vs rotated" 8 256 <<<"$figures" || failed=1 ;;
      within) figures=$("$tool" within "$data/${family}_10k") || exit 2
                  judge "$family within 10k" 3 512 <<<"$figures" || failed=1 ;;
      diff) figures=$("$tool" diff "$data/${family}_10k" 50) || exit 2
                  judge "$family diff 50 edits" 2 256 <<<"$figures" || failed=1 ;;
    esac
  done
done
exit $failed
