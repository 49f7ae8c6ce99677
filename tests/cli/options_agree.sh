#!/usr/bin/env bash
# The options of `dorvex --help`, of the man page and of the bash completion
# are the same set, so that none of them falls behind the others; and the
# man page states the version the program says it is.
#   options_agree.sh DORVEX MAN_PAGE COMPLETION
set -euo pipefail
dorvex=$1 manPage=$2 completion=$3

fromHelp() { "$dorvex" --help | grep -oE '(^|[ ,])--?[a-zA-Z][a-zA-Z-]*' | tr -d ' ,' | sort -u; }
# Option lines of the man page are the .TP items: ".BR \-o ", " \-\-output\-dir ...".
fromMan() {
  grep -A1 '^\.TP' "$manPage" | grep -E '^\.BR? ' | sed 's/\\-/-/g' |
    grep -oE '(^|[ "])--?[a-zA-Z][a-zA-Z-]*' | tr -d ' "' | sort -u
}
fromCompletion() {
  sed -n "s/.*compgen -W '\(-[^']*\)'.*/\1/p" "$completion" | tr ' ' '\n' | grep . | sort -u
}

help=$(fromHelp) man=$(fromMan) completion=$(fromCompletion)
[ -n "$help" ] || { echo "no options read from --help"; exit 1; }
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
version=$("$dorvex" --version)
manVersion=$(sed -n 's/^\.TH [^"]*"[^"]*" "\([^"]*\)".*/\1/p' "$manPage")
if [ "$version" != "$manVersion" ]; then
  echo "the man page says \"$manVersion\", --version \"$version\""
  status=1
fi
exit $status
