#!/usr/bin/env bash
# Runs the Windows tests under Wine on the X display already set ($DISPLAY):
# the dialog test program, then the end-to-end run of dorvex.exe.
# Usage: run_windows_tests.sh BIN_DIR SCREENSHOT_DIR
# BIN_DIR holds dorvex.exe, dorvex-cli.exe, dorvex-ui-test.exe and
# dorvex-ui-wait.exe; the screenshots go to SCREENSHOT_DIR.
set -euo pipefail
bin=$(cd "$1" && pwd)
shots=$(mkdir -p "$2" && cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)

# Shift-JIS (code page 932) is what the program was made for.
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
WINEPREFIX=$(mktemp -d)/prefix
export WINEPREFIX
cleanup() { timeout 20 wineserver -k >/dev/null 2>&1 || true; rm -rf "$(dirname "$WINEPREFIX")"; }
trap cleanup EXIT

step() { printf '== %s (%ss)\n' "$1" "$SECONDS"; }

step "preparing a fresh Wine prefix"
timeout 180 wineboot -i >/dev/null 2>&1
# All windows in one virtual desktop: Wine draws the captions itself and
# need not wait for a window manager that is not there.
timeout 60 wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null
timeout 60 wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null
# Text files open in Notepad, as on Windows ("Report Print").
timeout 60 wine reg add 'HKCR\.txt' /ve /d txtfile /f >/dev/null
# The desktop started by wineboot is a plain one: start afresh.
timeout 60 wineserver -k || true
timeout 60 wineserver -w || true

step "dialog tests"
log=$(dirname "$WINEPREFIX")/ui-test.log
status=0
timeout 1800 wine "$bin/dorvex-ui-test.exe" >"$log" 2>&1 || status=$?
# The progress lines of its checks are left out.
grep -v 'config check\|duplication check\|^<Process>' "$log" || true
if [ "$status" -ne 0 ] || ! grep -q '^[0-9]* passed, 0 failed' "$log"; then
  echo "dialog tests failed (exit status $status)"
  exit 1
fi

step "end-to-end run of dorvex.exe"
timeout 1800 bash ${E2E_TRACE:+-x} "$here/end_to_end.sh" "$bin" "$shots"
step "done"
