#!/usr/bin/env bash
# Builds the packages from a finished build and tries the Debian one the way
# a user would: installs it with apt-get, runs the installed program (its
# JSON output validated against the installed schema), finds its man page
# and its completion, and removes it again.
#   package-test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
cd "$(dirname "$0")/.."

rm -f "$build"/dorvex_*.deb
(cd "$build" && cpack -G DEB)
deb=$(ls "$build"/dorvex_*.deb)
DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$deb"
trap 'DEBIAN_FRONTEND=noninteractive apt-get remove -y -q dorvex' EXIT

[ "$(command -v dorvex)" = /usr/bin/dorvex ]
dorvex --version
man -w dorvex
[ -f /usr/share/bash-completion/completions/dorvex ]
for page in README.md usage.md engine.md windows.md performance.md testing.md; do
  [ -f "/usr/share/doc/dorvex/$page" ]
done
out=$(mktemp -d)
status=0
dorvex -q -o "$out" examples/source.cfg examples/setting.cfg || status=$?
# 1: the examples hold duplications.
[ "$status" -eq 1 ]
ls "$out"/Result*.txt
# The JSON output against the schema installed beside it.
schema=/usr/share/doc/dorvex/json-output.schema.json
status=0
dorvex -q --no-report --format json examples/source.cfg examples/setting.cfg >"$out/result.json" ||
  status=$?
[ "$status" -eq 1 ]
python3 -c 'import json, sys, jsonschema
jsonschema.validate(json.load(open(sys.argv[1])), json.load(open(sys.argv[2])))' \
  "$out/result.json" "$schema"
rm -rf "$out"

if [ -d "$build/windows" ]; then
  rm -f "$build"/windows/dorvex-*-windows-i686.zip
  (cd "$build/windows" && cpack -G ZIP)
  zip=$(ls "$build"/windows/dorvex-*-windows-i686.zip)
  python3 - "$zip" <<'PY'
import sys, zipfile
names = {n.split("/", 1)[1] for n in zipfile.ZipFile(sys.argv[1]).namelist() if "/" in n}
missing = {"dorvex.exe", "dorvex-cli.exe", "README.md", "LICENSE", "docs/json-output.md",
           "docs/json-output.schema.json", "docs/usage.md", "docs/engine.md", "docs/windows.md",
           "docs/performance.md", "docs/testing.md", "docs/screenshots/main-dialog.png"} - names
if missing:
    sys.exit(f"missing from the ZIP: {sorted(missing)}")
print("ZIP holds", sorted(names))
PY
fi
