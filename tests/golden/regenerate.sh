#!/usr/bin/env bash
# Rewrites the expected files of the golden tests from what the code does
# now (DORVEX_REGENERATE=1). Use it on purpose only, then review every change
# with `git diff tests/golden` before committing it: each expected byte must be what the system should write.
#   tests/golden/regenerate.sh [build-dir] [gtest-filter]
set -euo pipefail
cd "$(dirname "$0")/../.."
build="${1:-build}"
filter="${2:-ParserGoldenTest.*:GoldenCheckTest.*:GoldenWithinTest.*}"
cmake -S . -B "$build" >/dev/null
cmake --build "$build" --target dorvex_tests -j"$(nproc)"
DORVEX_REGENERATE=1 "$build/tests/dorvex_tests" --gtest_filter="$filter"
git status --short tests/golden
