#!/usr/bin/env bash
# Runs the console driver under valgrind on real checks (the examples, every
# golden case, hostile but small inputs, the outputs for scripts and the
# error exits) and fails on any memory error or leak, or on an exit status
# other than the one expected.
# Usage: .ci/memcheck.sh [BUILD_DIR]   (default: build; needs BUILD_DIR/dorvex)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
driver="$root/${1:-build}/dorvex"
[ -x "$driver" ] || { echo "memcheck: no driver at $driver (build it first)"; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/out"
# The driver's own statuses are 0, 1 and 2; a valgrind finding exits 99.
valgrind_error=99
failures=0
cases=0

# run_case NAME ALLOWED_STATUSES ARGS...: one driver run under valgrind.
run_case() {
  local name=$1 allowed=$2
  shift 2
  cases=$((cases + 1))
  local status=0
  valgrind -q --error-exitcode=$valgrind_error --leak-check=full --errors-for-leak-kinds=definite,indirect,possible \
    --log-file="$work/valgrind.log" "$driver" -q -o "$work/out" "$@" >"$work/stdout" 2>"$work/stderr" || status=$?
  if [ "$status" = "$valgrind_error" ] || [ -s "$work/valgrind.log" ]; then
    echo "memcheck: $name: valgrind found errors:"
    cat "$work/valgrind.log"
    failures=$((failures + 1))
  elif [[ " $allowed " != *" $status "* ]]; then
    echo "memcheck: $name: exit status $status, expected one of: $allowed"
    cat "$work/stderr"
    failures=$((failures + 1))
  else
    echo "memcheck: $name: ok (exit $status)"
  fi
  rm -f "$work/out"/* "$work/valgrind.log"
}

run_case "examples" "1" --print report examples/source.cfg examples/setting.cfg
run_case "examples reversed" "0 1" --print analysis examples/setting.cfg examples/source.cfg
for dir in tests/golden/check/*/; do
  [ -f "$dir/source.cfg" ] && [ -f "$dir/setting.cfg" ] || continue
  run_case "golden $(basename "$dir")" "0 1" --print summary "$dir/source.cfg" "$dir/setting.cfg"
done
for input in tests/golden/parser/*/input.cfg; do
  [ -f "$input" ] || continue
  run_case "parser $(basename "$(dirname "$input")") against itself" "0 1" --print details "$input" "$input"
done
for dir in tests/golden/check-full/*/; do
  [ -f "$dir/source.cfg" ] && [ -f "$dir/setting.cfg" ] || continue
  run_case "golden full $(basename "$dir")" "0 1" --syntax full --cover exact --print report \
    "$dir/source.cfg" "$dir/setting.cfg"
done
for pair in branch-router campus-edge; do
  run_case "list cover and within, $pair" "0 1" --syntax full --cover list --within --format json \
    "examples/real/$pair.cfg" "examples/real/$pair-revision.cfg"
  run_case "within $pair alone" "0 1" --within --print report "examples/real/$pair.cfg"
done
for input in tests/golden/parser-full/*/input.cfg; do
  [ -f "$input" ] || continue
  run_case "parser full $(basename "$(dirname "$input")") against itself" "0 1" --syntax full \
    --cover exact --print analysis "$input" "$input"
done

# Small hostile inputs: a NUL byte, a byte-order mark, CR-only line ends,
# Shift-JIS bytes, a line of too many words and one very long word.
printf 'access-list 10 permit any\n\000access-list 10 deny any\n' >"$work/nul.cfg"
printf '\357\273\277access-list 10 permit host 1.1.1.1\r\n' >"$work/bom.cfg"
printf 'access-list 10 permit any\raccess-list 10 deny any\r' >"$work/cr.cfg"
printf 'ip access-list extended \203\134\203\174\n permit tcp any any eq www \225\134\n! \203\174\n' >"$work/sjis.cfg"
{ printf 'access-list 10 permit'; for k in $(seq 1 40); do printf ' w%d' "$k"; done; printf '\n! '
  head -c 5000 /dev/zero | tr '\0' 'x'; printf '\n'; } >"$work/long.cfg"
run_case "NUL byte" "1" "$work/nul.cfg" "$work/bom.cfg"
run_case "CR-only line ends" "0" "$work/cr.cfg" "$work/bom.cfg"
run_case "Shift-JIS" "1" --print analysis "$work/sjis.cfg" "$work/sjis.cfg"
run_case "long lines" "0" --print summary "$work/long.cfg" "$work/long.cfg"
# Mostly CR line ends with a final LF, and a --print report taken from the
# pieces written.
printf 'access-list 10 permit any\raccess-list 10 deny any\r\n' >"$work/mostlycr.cfg"
run_case "mostly CR line ends" "0" --print report "$work/mostlycr.cfg" "$work/bom.cfg"

# The outputs for scripts: JSON, SARIF and the HTML page with Shift-JIS
# bytes, several setting configs, one of them missing, in JSON, SARIF and as
# text.
run_case "JSON, Shift-JIS" "1" --format json "$work/sjis.cfg" "$work/sjis.cfg"
run_case "SARIF and the HTML report, Shift-JIS" "1" --within --format sarif --html "$work/sjis.html" \
  "$work/sjis.cfg" "$work/sjis.cfg"
run_case "several setting configs, SARIF" "2" --cover list --within --format sarif \
  examples/source.cfg examples/setting.cfg "$work/missing.cfg"
run_case "several setting configs, JSON" "2" --format json examples/source.cfg \
  examples/setting.cfg "$work/missing.cfg" examples/source.cfg
run_case "several setting configs, text" "1" --print summary examples/source.cfg \
  examples/setting.cfg examples/source.cfg

# The error exits free what they took too.
: >"$work/empty.cfg"
run_case "missing file" "2" "$work/missing.cfg" examples/setting.cfg
run_case "empty file" "2" examples/source.cfg "$work/empty.cfg"
run_case "directory as input" "2" "$work" examples/setting.cfg
run_case "no output directory" "2" -o "$work/nodir" examples/source.cfg examples/setting.cfg
printf '\377\376a\000c\000l\000\n\000' >"$work/utf16.cfg"
run_case "UTF-16" "2" "$work/utf16.cfg" examples/setting.cfg
run_case "endless NUL bytes" "2" /dev/zero examples/setting.cfg

echo "memcheck: $cases runs, $failures failed"
[ "$failures" = 0 ]
