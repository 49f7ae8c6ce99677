#!/usr/bin/env bash
# Builds Dorvex and runs its main job or its tests, installing the Debian
# packages the build needs when they are missing.
#   bash do example   build, then check examples/source.cfg against examples/setting.cfg
#   bash do test      build, then run every test
set -euo pipefail
cd "$(dirname "$0")"

BUILD_PACKAGES=(build-essential cmake libgtest-dev libbenchmark-dev libcli11-dev
  python3 python3-jsonschema)
# The HTML report's test reads the page in a real browser.
TEST_PACKAGES=(chromium)

install_missing() {
  local missing=()
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}

build() {
  install_missing "${BUILD_PACKAGES[@]}"
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release ${DORVEX_CMAKE_FLAGS:-}
  cmake --build build -j"$(nproc)"
}

case "${1:-}" in
  example)
    build
    mkdir -p out
    status=0
    ./build/dorvex -o out --print summary examples/source.cfg examples/setting.cfg || status=$?
    # Exit status 1 only says that duplications were found.
    [ "$status" -le 1 ]
    ;;
  test)
    install_missing "${TEST_PACKAGES[@]}"
    build
    ctest --test-dir build --output-on-failure -j"$(nproc)"
    if [ -f build/windows/dorvex-ui-test.exe ] && command -v wine >/dev/null &&
       command -v xvfb-run >/dev/null; then
      # The normal build has cross-built the Windows programs into build/windows.
      bash .ci/windows-tests.sh build/windows
    fi
    ;;
  *)
    sed -n '2,5p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
    ;;
esac
