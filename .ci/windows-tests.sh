#!/usr/bin/env bash
# The Windows programs: cross-build them with MinGW-w64 (unless a folder of
# built programs is given) and run their tests under Wine on a virtual X
# server: the dialog test program and the end-to-end run of dorvex.exe.
#   bash .ci/windows-tests.sh [BIN_DIR]
# Needs g++-mingw-w64-i686, wine and wine32 (or, where the kernel runs no
# 32-bit code, g++-mingw-w64-x86-64 and wine64), xvfb, xdotool, imagemagick,
# fonts-ipafont-gothic, fonts-wine, fonts-liberation (both recommended by
# wine) and the ja_JP.UTF-8 locale; installs nothing.
# Screenshots of the run go to build-windows/screenshots.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! locale -a | grep -qi '^ja_JP\.utf-\?8$'; then
  echo "windows-tests: the ja_JP.UTF-8 locale is missing (locale-gen ja_JP.UTF-8)" >&2
  exit 1
fi

bin=${1:-}
if [ -z "$bin" ]; then
  echo "== cross build"
  cmake -S . -B build-windows -DCMAKE_BUILD_TYPE=Release -DDORVEX_WERROR=ON \
    -DDORVEX_BUILD_BENCHMARKS=OFF -DDORVEX_CROSS_WINDOWS=ON
  cmake --build build-windows --target dorvex_windows -j"$(nproc)"
  bin=build-windows/windows
fi
# A kernel that runs no 32-bit code cannot test the i686 programs under
# Wine: the same programs are built for x86_64 and tested under 64-bit Wine.
if ! wine --version >/dev/null 2>&1; then
  echo "== this machine runs no 32-bit code: cross build for x86_64"
  cmake -S . -B build-windows64 -DCMAKE_BUILD_TYPE=Release -DDORVEX_WERROR=ON \
    -DDORVEX_BUILD_BENCHMARKS=OFF -DDORVEX_CROSS_WINDOWS=ON -DDORVEX_WINDOWS_ARCH=x86_64
  cmake --build build-windows64 --target dorvex_windows -j"$(nproc)"
  bin=build-windows64/windows
fi
for program in dorvex.exe dorvex-cli.exe dorvex-ui-test.exe dorvex-ui-wait.exe; do
  [ -f "$bin/$program" ] || { echo "windows-tests: $bin/$program was not built" >&2; exit 1; }
done

echo "== Windows tests under Wine"
mkdir -p build-windows/screenshots
timeout 5400 xvfb-run -a -s "-screen 0 1024x768x24" \
  bash tests/ui/run_windows_tests.sh "$bin" build-windows/screenshots
