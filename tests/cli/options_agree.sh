#!/usr/bin/env bash
# The options of `dorvex --help`, of the man page, of the bash completion and
# of the option table in docs/usage.md are the same set, so that none of them
# falls behind the others; and the man page states the version the program
# says it is.
#   options_agree.sh DORVEX MAN_PAGE COMPLETION USAGE_PAGE
set -euo pipefail
dorvex=$1 manPage=$2 completion=$3 usagePage=$4

fromHelp() { "$dorvex" --help | grep -oE '(^|[ ,])--?[a-zA-Z][a-zA-Z-]*' | tr -d ' ,' | sort -u; }
# Option lines of the man page are the .TP items of its OPTIONS section:
# ".BR \-o ", " \-\-output\-dir ..." (the items of MODES name options too, and
# must not stand in for a missing one).
fromMan() {
  awk '/^\.SH / { options = ($0 == ".SH OPTIONS") } options' "$manPage" | grep -A1 '^\.TP' |
    grep -E '^\.BR? ' |
    sed 's/\\-/-/g' |
    grep -oE '(^|[ "])--?[a-zA-Z][a-zA-Z-]*' | tr -d ' "' | sort -u
}
# The option table of the usage page: the first cell of each row of the one
# table headed "| option | meaning |", e.g. "| `-o DIR`, `--output-dir DIR` |".
fromUsage() {
  awk -F'|' '/^\| option \| meaning \|$/ { table = 1; next } table && !/^\|/ { exit }
             table && !/^\|---/ { print $2 }' "$usagePage" |
    { grep -oE '(^|[ `,])--?[a-zA-Z][a-zA-Z-]*' || true; } | tr -d ' `,' | sort -u
}
fromCompletion() {
  sed -n "s/.*compgen -W '\(-[^']*\)'.*/\1/p" "$completion" | tr ' ' '\n' | grep . | sort -u
}

help=$(fromHelp) man=$(fromMan) completion=$(fromCompletion) usage=$(fromUsage)
[ -n "$help" ] || { echo "no options read from --help"; exit 1; }
[ -n "$usage" ] || { echo "no option table (| option | meaning |) read from $usagePage"; exit 1; }
status=0
if [ "$help" != "$man" ]; then
  echo "--help and the man page differ (< help, > man):"; diff <(echo "$help") <(echo "$man") || true
  status=1
fi
if [ "$help" != "$completion" ]; then
  echo "--help and the completion differ (< help, > completion):"
  diff <(echo "$help") <(echo "$completion") || true
  status=1
fi
if [ "$help" != "$usage" ]; then
  echo "--help and the option table of $usagePage differ (< help, > table):"
  diff <(echo "$help") <(echo "$usage") || true
  status=1
fi
version=$("$dorvex" --version)
manVersion=$(sed -n 's/^\.TH [^"]*"[^"]*" "\([^"]*\)".*/\1/p' "$manPage")
if [ "$version" != "$manVersion" ]; then
  echo "the man page says \"$manVersion\", --version \"$version\""
  status=1
fi
exit $status
