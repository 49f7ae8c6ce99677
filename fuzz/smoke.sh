#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a while on its seed
# corpus; fails when a target finds a crash, a sanitizer report or a broken
# check. The committed corpus is only read: new inputs go to a scratch copy.
# Usage: fuzz/smoke.sh [BUILD_DIR] [SECONDS_PER_TARGET]
#        (defaults: build-fuzz, 60; CXX picks the compiler, default clang++-14)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-fuzz}
seconds=${2:-60}

cmake -S fuzz -B "$build" -DCMAKE_CXX_COMPILER="${CXX:-clang++-14}" >/dev/null
cmake --build "$build" -j2

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
status=0
for target in parser_fuzzer check_fuzzer text_cursor_fuzzer; do
  mkdir -p "$scratch/$target"
  dict=()
  if [ -f "fuzz/$target.dict" ]; then dict=(-dict="fuzz/$target.dict"); fi
  echo "== $target: ${seconds}s"
  if "$build/$target" "${dict[@]}" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$build/$target-" "$scratch/$target" "fuzz/corpus/$target" \
      >"$scratch/$target.log" 2>&1; then
    grep -E '^(#[0-9]+[[:space:]]+DONE|Done|stat::number_of_executed_units)' "$scratch/$target.log" || true
  else
    echo "== $target FAILED; the input is saved under $build/$target-*"
    tail -n 60 "$scratch/$target.log"
    status=1
  fi
done
exit $status
