#!/usr/bin/env bash
# End-to-end run of dorvex.exe under Wine, driven by X input (xdotool) as a
# user drives it: types the two example configs into the panes, looks into
# the folder browser, presses "CEHCK!", tries a second check and a close of
# the main dialog while the "Report Filename" box is up (neither may take),
# switches the result view, opens the report, and compares the report with
# the one that the console driver writes for the same configs; then checks
# longer texts from the keyboard, each box answered by Return as it shows.
# Takes the screenshots on the way.
#
# A busy machine only makes the run slower: every step waits for the state
# the running program shows (dorvex-ui-wait.exe), clicks a control where
# the dialog says it is, clicks again when a click did not take, and
# confirms typed text in the pane before going on.
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

main="Dorvex ver0.8"
about="ﾊﾞｰｼﾞｮﾝ情報"
browser="参照"  # the folder browser's caption, "browse" in Wine's words
# Control IDs (src/ui/resource.h) and those of the standard buttons.
IDOK=1 IDCANCEL=2 REPORT_PRINT=3 ABOUT=104 CHECK=1001 SETTING_PANE=1002 SOURCE_PANE=1003
OUTPUT_DIR=1013 BROWSE=1014 VIEW_ANALYSIS=1017 VIEW_WITHIN=1018 COVER_CLASSIC=1022
COVER_LIST=1024

fail() { echo "end-to-end: $*" >&2; exit 1; }

# state SECONDS [OPTIONS] CAPTION: waits for a state (see wait_window.cpp)
# and prints what the tool prints.
state() {
  local seconds=$1
  shift
  timeout $((seconds + 60)) wine "$bin/dorvex-ui-wait.exe" "$@" "$seconds" | tr -d '\r'
}

clickAt() { xdotool mousemove --sync "$1" "$2" click 1; }

clickRect() {
  local x y w h
  read -r x y w h <<<"$1"
  clickAt $((x + w / 2)) $((y + h / 2))
}

# click CAPTION ID CHECK...: clicks control ID of the window CAPTION until
# CHECK (a command that waits a while for what the click leads to)
# succeeds. A click is repeated only while the control is there and takes
# input, so a slow answer to the first click is never clicked twice.
click() {
  local caption=$1 id=$2 rect attempt
  shift 2
  for attempt in 1 2 3 4 5; do
    if ! rect=$(state 120 --enabled --control "$id" "$caption"); then
      "$@" && return 0
      fail "control $id of \"$caption\" is not there to click"
    fi
    clickRect "$rect"
    "$@" && return 0
    echo "end-to-end: control $id of \"$caption\" did not take the click $attempt" >&2
  done
  fail "control $id of \"$caption\" never took a click"
}

appears() { state 60 "$@" >/dev/null; }
goneAway() { state 60 --gone "$@" >/dev/null; }
focused() { state 30 --focused --control "$1" "$main" >/dev/null; }
checked() { state 60 --checked --control "$1" "Compare Result" >/dev/null; }
chosen() { state 60 --checked --control "$1" "$main" >/dev/null; }

# shoot NAME [OPTIONS] CAPTION: a picture of the window once two pictures
# in a row are the same, so that it shows no half-done repaint.
shoot() {
  local name=$1 x y w h tries
  shift
  read -r x y w h <<<"$(state 120 "$@")"
  import -window root -crop "${w}x${h}+${x}+${y}" +repage "$work/shot.png"
  for tries in $(seq 1 20); do
    sleep 0.3
    import -window root -crop "${w}x${h}+${x}+${y}" +repage "$work/again.png"
    cmp -s "$work/shot.png" "$work/again.png" && break
    mv "$work/again.png" "$work/shot.png"
  done
  mv "$work/shot.png" "$shots/$name.png"
}

# typeInto ID FILE: types FILE into pane ID of the main dialog, until the
# pane holds exactly that text.
typeInto() {
  local id=$1 file=$2 attempt
  for attempt in 1 2 3; do
    click "$main" "$id" focused "$id"
    xdotool key --delay 50 ctrl+Home ctrl+shift+End BackSpace
    state 120 --text /dev/null --control "$id" "$main" >/dev/null || continue
    xdotool type --delay 5 --file "$file"
    state 300 --text "$file" --control "$id" "$main" >/dev/null && return 0
    echo "end-to-end: pane $id does not hold what was typed, attempt $attempt" >&2
  done
  fail "pane $id never held the text typed into it"
}

# pasteInto ID FILE: pastes FILE into control ID of the main dialog, until
# it holds exactly that text.
pasteInto() {
  local id=$1 file=$2 attempt
  timeout 120 wine "$bin/dorvex-ui-wait.exe" --clipboard "$file" || fail "no clipboard"
  for attempt in 1 2 3; do
    click "$main" "$id" focused "$id"
    xdotool key --delay 50 ctrl+Home ctrl+shift+End ctrl+v
    state 300 --text "$file" --control "$id" "$main" >/dev/null && return 0
    echo "end-to-end: control $id does not hold what was pasted, attempt $attempt" >&2
  done
  fail "control $id never held the text pasted into it"
}

# Typed text arrives line by line as Return keys: no CR of its own.
for config in source setting; do
  tr -d '\r' <"$repo/examples/$config.cfg" >"$work/$config.txt"
done

mkdir -p "$gui" "$work/cli" "$work/cli-list"
cd "$gui"
wine "$bin/dorvex.exe" &
app=$!

state 120 "$main" >/dev/null || fail "no main dialog"
desktop=$(xdotool search --name 'Wine desktop' | head -1)
xdotool windowfocus --sync "$desktop" 2>/dev/null || true
# The left pane has the focus, its hint selected and shown from its start.
state 120 --focused --control "$SOURCE_PANE" "$main" >/dev/null || fail "the left pane has no focus"
shoot main-dialog-start "$main"

typeInto "$SOURCE_PANE" "$work/source.txt"
typeInto "$SETTING_PANE" "$work/setting.txt"

# The folder browser, looked into and left.
click "$main" "$BROWSE" appears --containing "$browser"
# Its whole caption depends on Wine's translations: X has it too.
browser=$(xdotool getwindowname "$(xdotool search --name "$browser" | head -1)")
shoot folder-browser "$browser"
click "$browser" "$IDCANCEL" goneAway "$browser"
state 120 --enabled "$main" >/dev/null || fail "the main dialog takes no input after the browser"

click "$main" "$CHECK" appears "ok?"
click "ok?" "$IDOK" goneAway "ok?"
state 300 "Report Filename" >/dev/null || fail "no report path box"
shoot report-filename "Report Filename"

# While the box is up the main dialog takes no input: a click on
# "CEHCK!" and one on its close box do nothing. X input reaches the
# program in order, so both are handled before the click on OK below.
clickRect "$(state 60 --control "$CHECK" "$main")"
read -r cx cy <<<"$(state 60 --close-box "$main")"
clickAt "$cx" "$cy"
click "Report Filename" "$IDOK" goneAway "Report Filename"

state 300 "Compare Result" >/dev/null || fail "no result dialog after the report box"
state 5 --gone "ok?" >/dev/null || fail "a second check started while the report box was up"
state 5 "$main" >/dev/null || fail "the main dialog closed while the report box was up"
shoot result-summary "Compare Result"
click "Compare Result" "$VIEW_ANALYSIS" checked "$VIEW_ANALYSIS"
shoot result-analysis "Compare Result"

# "Report Print" opens the report in the program for text files.
report=$(basename "$(ls "$gui"/Result*.txt)" .txt)
click "Compare Result" "$REPORT_PRINT" appears --containing "$report"
for attempt in 1 2 3 4 5; do
  point=$(state 60 --close-box --containing "$report") || break
  read -r cx cy <<<"$point"
  clickAt "$cx" "$cy"
  goneAway --containing "$report" && break
done
goneAway --containing "$report" || fail "the report's window did not close"

click "Compare Result" "$IDOK" goneAway "Compare Result"
state 120 --enabled "$main" >/dev/null || fail "the main dialog takes no input after the check"
shoot main-dialog "$main"

click "$main" "$ABOUT" appears "$about"
shoot about-dialog "$about"
click "$about" "$IDOK" goneAway "$about"

# A check in the list cover, its report in a folder of its own: the result
# dialog offers the within view, each configuration's lines on its side.
# The cover goes back to classic for the checks below.
printf 'C:\\Reports\\list' >"$work/list-dir.txt"
mkdir -p "$gui/list"
pasteInto "$OUTPUT_DIR" "$work/list-dir.txt"
click "$main" "$COVER_LIST" chosen "$COVER_LIST"
click "$main" "$CHECK" appears "ok?"
click "ok?" "$IDOK" goneAway "ok?"
state 300 "Report Filename" >/dev/null || fail "no report path box in the list cover"
click "Report Filename" "$IDOK" goneAway "Report Filename"
state 300 "Compare Result" >/dev/null || fail "no result dialog in the list cover"
click "Compare Result" "$VIEW_WITHIN" checked "$VIEW_WITHIN"
shoot result-within "Compare Result"
click "Compare Result" "$IDOK" goneAway "Compare Result"
state 120 --enabled "$main" >/dev/null || fail "the main dialog takes no input after the list cover"
click "$main" "$COVER_CLASSIC" chosen "$COVER_CLASSIC"

# Issue 20: the box "Report Filename" could open without the keyboard
# focus, and Return did nothing until it was clicked. Checks of longer
# texts from the keyboard, a few times over: each box is answered by Return
# as soon as it shows, found without being put in front. The texts are
# pasted, and the reports go to a folder of their own. E2E_KEY_ROUNDS and
# E2E_KEY_LINES set the number of checks and the lines of each text.
rounds=${E2E_KEY_ROUNDS:-3}
lines=${E2E_KEY_LINES:-50000}
mkdir -p "$gui/keys"
printf 'C:\\Reports\\keys' >"$work/keys-dir.txt"
awk -v lines="$lines" 'BEGIN { for (i = 0; i < lines; i++)
  printf "access-list %d permit tcp host 10.3.%d.%d any eq %d\r\n",
         100 + i % 50, int(i / 250) % 250, i % 250, 1000 + i % 3000 }' >"$work/long.txt"
pasteInto "$SOURCE_PANE" "$work/long.txt"
pasteInto "$SETTING_PANE" "$work/long.txt"
pasteInto "$OUTPUT_DIR" "$work/keys-dir.txt"
returnTo() {
  state 300 --control "$IDOK" "$1" >/dev/null || fail "no window \"$1\""
  xdotool key Return
  goneAway "$1" || fail "\"$1\" did not take Return as it showed: no keyboard focus"
}
for round in $(seq 1 "$rounds"); do
  click "$main" "$CHECK" appears "ok?"
  returnTo "ok?"
  returnTo "Report Filename"
  returnTo "Compare Result"
  state 120 --enabled "$main" >/dev/null || fail "the main dialog takes no input after check $round"
done
written=$(find "$gui/keys" -name 'Result*.txt' | wc -l)
[ "$written" -eq "$rounds" ] || fail "$written reports from $rounds checks from the keyboard"

ended() {
  local tries
  for tries in $(seq 1 150); do
    kill -0 "$app" 2>/dev/null || return 0
    sleep 0.2
  done
  return 1
}
for attempt in 1 2 3 4 5; do
  point=$(state 60 --enabled --close-box "$main") || break
  read -r cx cy <<<"$point"
  clickAt "$cx" "$cy"
  ended && break
done
if ! ended; then
  kill "$app"
  fail "dorvex.exe did not end on its close box"
fi

# The same check by the console driver; only the date and the two file
# names (typed texts have none) may differ.
cd "$repo/examples"
timeout 120 wine "$bin/dorvex-cli.exe" -q -o "$(winepath -w "$work/cli")" source.cfg setting.cfg >/dev/null || true

reports=("$gui"/Result*.txt)
expected=("$work"/cli/Result*.txt)
if [ ! -f "${reports[0]}" ] || [ ! -f "${expected[0]}" ]; then
  fail "report file missing: gui ${reports[0]}, console ${expected[0]}"
fi
[ "${#reports[@]}" -eq 1 ] || fail "${#reports[@]} reports written, not one"
grep -q $'^@Source Filename= unopened \r$' "${reports[0]}"
grep -q $'^@Setting Filename = unopened\r$' "${reports[0]}"
# The texts typed into the panes have no file names: their lines go by the
# panes' names in reasons ("setting:10" for "setting.cfg:10").
mask() {
  sed -e 's/^Result Report  \[Date=.*\]/DATE/' -e 's/^@Source Filename= .*/SOURCE/' \
    -e 's/^@Setting Filename = .*/SETTING/' -e 's/reason=\(source\|setting\)\.cfg:/reason=\1:/' "$1"
}
if ! diff <(mask "${expected[0]}") <(mask "${reports[0]}"); then
  fail "the report of dorvex.exe differs from the console driver's"
fi
listed=("$gui"/list/Result*.txt)
timeout 120 wine "$bin/dorvex-cli.exe" -q --syntax full --cover list --within \
  -o "$(winepath -w "$work/cli-list")" source.cfg setting.cfg >/dev/null || true
expected=("$work"/cli-list/Result*.txt)
[ -f "${listed[0]}" ] && [ -f "${expected[0]}" ] || fail "list cover report missing"
if ! diff <(mask "${expected[0]}") <(mask "${listed[0]}"); then
  fail "the list cover report of dorvex.exe differs from the console driver's"
fi
echo "end-to-end: report $(basename "${reports[0]}") matches, screenshots in $shots"
