#!/usr/bin/env bash
# Sources: no trailing blanks, LF line ends, a final newline; the C++ of
# src/ and tests/ formatted as .clang-format says.
set -euo pipefail
cd "$(dirname "$0")/.."
status=0
while IFS= read -r file; do
  if grep -nE '[[:blank:]]$' "$file" >/dev/null; then echo "$file: trailing blanks"; status=1; fi
  if grep -q $'\r' "$file"; then echo "$file: CR in source"; status=1; fi
  if [ -s "$file" ] && [ -n "$(tail -c1 "$file")" ]; then echo "$file: no final newline"; status=1; fi
done < <(git ls-files '*.cpp' '*.h' '*.cmake' 'CMakeLists.txt' '*.sh' '*.md' '.ci/run')
while IFS= read -r file; do
  if ! clang-format-14 --dry-run --Werror "$file" 2>/dev/null; then
    echo "$file: not formatted (clang-format-14 -i $file)"
    status=1
  fi
done < <(git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h')
exit $status
