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

# The wine command prefers Wine's 32-bit loader, which a kernel that runs no
# 32-bit code cannot start. On such a machine the programs come built for
# x86_64 (.ci/windows-tests.sh) and the 64-bit loader runs them and Wine's
# own tools, through commands of the same names put first on the PATH.
if ! wine --version >/dev/null 2>&1; then
  loader=$(ls /usr/lib/wine/wine64 2>/dev/null || true)
  if [ -z "$loader" ]; then
    echo "run_windows_tests: wine does not start and there is no 64-bit Wine (wine64)" >&2
    exit 1
  fi
  tools=$(dirname "$WINEPREFIX")/bin
  mkdir -p "$tools"
  printf '#!/bin/sh\nexec %s "$@"\n' "$loader" >"$tools/wine"
  for tool in wineboot winepath; do
    printf '#!/bin/sh\nexec %s %s.exe "$@"\n' "$loader" "$tool" >"$tools/$tool"
  done
  chmod +x "$tools"/*
  export PATH="$tools:$PATH" WINELOADER=$loader
  step "64-bit Wine: this machine runs no 32-bit code"
fi

step "preparing a fresh Wine prefix"
timeout 600 wineboot -i >/dev/null 2>&1
# All windows in one virtual desktop: Wine draws the captions itself and
# need not wait for a window manager that is not there.
timeout 300 wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null
timeout 300 wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null
# Text files open in Notepad, as on Windows ("Report Print").
timeout 300 wine reg add 'HKCR\.txt' /ve /d txtfile /f >/dev/null
# The dialogs' font, "ＭＳ Ｐゴシック", and the system's Japanese fonts are
# not in a Wine prefix: the IPA fonts take their place, proportional and
# fixed as the originals are, rather than a fixed-width fallback.
for face in "ＭＳ Ｐゴシック" "MS PGothic" "MS UI Gothic"; do
  timeout 300 wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d IPAPGothic /f >/dev/null
done
for face in "ＭＳ ゴシック" "MS Gothic"; do
  timeout 300 wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d IPAGothic /f >/dev/null
done
# The caption buttons are glyphs of the symbol font Marlett, which this
# Wine build does not find among its own fonts: the prefix gets a copy.
marlett=$(ls /usr/share/wine/fonts/marlett.ttf /usr/lib/wine/fonts/marlett.ttf 2>/dev/null | head -1 || true)
if [ -n "$marlett" ]; then
  cp "$marlett" "$WINEPREFIX/drive_c/windows/Fonts/"
else
  echo "run_windows_tests: no marlett.ttf (fonts-wine): caption buttons drawn as letters"
fi
# The desktop started by wineboot is a plain one: start afresh.
timeout 60 wineserver -k || true
timeout 60 wineserver -w || true

step "dialog tests"
log=$(dirname "$WINEPREFIX")/ui-test.log
status=0
# The dialog test saves its pictures (the progress window, the grown result
# dialog) here.
DORVEX_UI_PICTURES=$(winepath -w "$shots") timeout 1800 wine "$bin/dorvex-ui-test.exe" >"$log" 2>&1 || status=$?
for picture in "$shots"/*.bmp; do
  [ -f "$picture" ] || continue
  convert "$picture" -strip "${picture%.bmp}.png"
  rm "$picture"
done
# Its folder goes, so that the folder browser of the run below shows a
# plain drive C:.
rm -rf "$WINEPREFIX"/drive_c/dorvex-ui-test-*
# The progress lines of its checks are left out.
grep -v 'config check\|duplication check\|^<Process>' "$log" || true
if [ "$status" -ne 0 ] || ! grep -q '^[0-9]* passed, 0 failed' "$log"; then
  echo "dialog tests failed (exit status $status)"
  exit 1
fi

step "end-to-end run of dorvex.exe"
timeout 1800 bash ${E2E_TRACE:+-x} "$here/end_to_end.sh" "$bin" "$shots"
step "done"
