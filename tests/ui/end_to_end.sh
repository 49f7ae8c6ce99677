#!/usr/bin/env bash
# End-to-end run of dorvex.exe under Wine, driven by X input (xdotool):
# types the two example configs into the panes, presses "CEHCK!", answers
# the boxes, takes screenshots of the main dialog and of the result dialog
# in both views, and compares the report file with the one that the
# console driver writes for the same configs.
# Usage: end_to_end.sh BIN_DIR SCREENSHOT_DIR, with DISPLAY and WINEPREFIX
# set up by run_windows_tests.sh.
set -euo pipefail
bin=$1
shots=$2
repo=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
# The program starts in a folder of the Wine prefix's drive C:, so that its
# output box (and the screenshots) show a plain C:\Reports.
gui="$WINEPREFIX/drive_c/Reports"
trap 'rm -rf "$work" "$gui"' EXIT

# Typed text arrives line by line as Return keys: no CR of its own.
for config in source setting; do
  tr -d '\r' <"$repo/examples/$config.cfg" >"$work/$config.txt"
done

waitFor() {  # caption [--gone]; prints the window's rectangle
  if [ "${2:-}" = --gone ]; then
    timeout 60 wine "$bin/dorvex-ui-wait.exe" --gone "$1" 20
  else
    timeout 60 wine "$bin/dorvex-ui-wait.exe" "$1" 20 | tr -d '\r'
  fi
}

shoot() {  # rectangle name
  read -r x y w h <<<"$1"
  import -window root -crop "${w}x${h}+${x}+${y}" +repage "$shots/$2.png"
}

keys() { xdotool key --delay 80 "$@"; sleep 0.5; }

mkdir -p "$gui" "$work/cli"
cd "$gui"
wine "$bin/dorvex.exe" &
app=$!

main=$(waitFor "Dorvex ver0.8")
desktop=$(xdotool search --name 'Wine desktop' | head -1)
xdotool windowfocus --sync "$desktop" 2>/dev/null || true
sleep 1
shoot "$main" main-dialog-start

# The left pane has the focus with its hint text selected; Tab moves on to
# the right pane and selects its hint text.
xdotool type --delay 5 --file "$work/source.txt"
keys Tab
xdotool type --delay 5 --file "$work/setting.txt"
sleep 1
waitFor "Dorvex ver0.8" >/dev/null

# A click on "CEHCK!": 323 dialog units from the left, 19.5 above the
# bottom, in the dialog font's 1.5 x 1.625 pixels a unit (9 points).
read -r mx my mw mh <<<"$main"
xdotool mousemove $((mx + 3 + 323 * (mw - 6) / 355)) $((my + mh - 3 - 32)) click 1
waitFor "ok?" >/dev/null
keys Return
waitFor "Report Filename" >/dev/null
keys Return

result=$(waitFor "Compare Result")
sleep 1
shoot "$result" result-summary
# A click on "Analyse Result": 115 dialog units from the left, 14.5 above
# the bottom.
read -r rx ry rw rh <<<"$result"
xdotool mousemove $((rx + 3 + 115 * (rw - 6) / 355)) $((ry + rh - 3 - 24)) click 1
sleep 0.5
waitFor "Compare Result" >/dev/null
sleep 1
shoot "$result" result-analysis
# "Report Print" opens the report in the program for text files.
report=$(basename "$(ls "$gui"/Result*.txt)" .txt)
xdotool mousemove $((rx + 3 + 252 * (rw - 6) / 355)) $((ry + rh - 3 - 23)) click 1
timeout 60 wine "$bin/dorvex-ui-wait.exe" --containing "$report" 30 >/dev/null
keys alt+F4
timeout 60 wine "$bin/dorvex-ui-wait.exe" --gone --containing "$report" 20

waitFor "Compare Result" >/dev/null
keys Escape
waitFor "Compare Result" --gone
# Closing the result dialog repaints the whole main dialog: a picture taken
# right after typing can show the panes half repainted.
sleep 1
shoot "$main" main-dialog

# From "CEHCK!" round to "<About Me>".
waitFor "Dorvex ver0.8" >/dev/null
keys Tab Tab Tab space
about=$(waitFor "ﾊﾞｰｼﾞｮﾝ情報")
sleep 1
shoot "$about" about-dialog
keys Escape
waitFor "ﾊﾞｰｼﾞｮﾝ情報" --gone

waitFor "Dorvex ver0.8" >/dev/null
keys alt+F4
for _ in $(seq 1 100); do
  kill -0 "$app" 2>/dev/null || break
  sleep 0.2
done
if kill -0 "$app" 2>/dev/null; then
  echo "dorvex.exe did not end on Alt+F4"
  kill "$app"
  exit 1
fi

# The same check by the console driver; only the date and the two file
# names (typed texts have none) may differ.
cd "$repo/examples"
timeout 60 wine "$bin/dorvex-cli.exe" -q -o "$(winepath -w "$work/cli")" source.cfg setting.cfg >/dev/null || true

reports=("$gui"/Result*.txt)
expected=("$work"/cli/Result*.txt)
if [ ! -f "${reports[0]}" ] || [ ! -f "${expected[0]}" ]; then
  echo "report file missing: gui ${reports[0]}, console ${expected[0]}"
  exit 1
fi
grep -q $'^@Source Filename= unopened \r$' "${reports[0]}"
grep -q $'^@Setting Filename = unopened\r$' "${reports[0]}"
mask() { sed -e 's/^Result Report  \[Date=.*\]/DATE/' -e 's/^@Source Filename= .*/SOURCE/' -e 's/^@Setting Filename = .*/SETTING/' "$1"; }
if ! diff <(mask "${expected[0]}") <(mask "${reports[0]}"); then
  echo "the report of dorvex.exe differs from the console driver's"
  exit 1
fi
echo "end-to-end: report $(basename "${reports[0]}") matches, screenshots in $shots"
