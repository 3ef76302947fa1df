#!/usr/bin/env bash
# Runs one example of examples/formats/ in a fresh folder, as its README shows it:
#
#   run_format_example.sh RUVO FOLDER
#
# FOLDER holds NAME.xml (the folder's own name), template.txt, Ruvo.cfg and expected.txt. The run
# must end with status 0, print nothing, log nothing and write expected.txt byte for byte.
set -u

if [ $# -ne 2 ]; then
  echo "usage: $0 RUVO FOLDER" >&2
  exit 2
fi
ruvo=$(realpath "$1") || exit 2
folder=$(realpath "$2") || exit 2
name=$(basename "$folder")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for file in "$name.xml" template.txt Ruvo.cfg expected.txt; do
  [ -f "$folder/$file" ] || { echo "FAIL $name: missing $file"; exit 1; }
done
cp "$folder/$name.xml" "$folder/template.txt" "$folder/Ruvo.cfg" "$work/"

(cd "$work" && "$ruvo" "$name.xml" template.txt output.txt > stdout.txt 2>&1)
status=$?
failed=0
fail() {
  echo "FAIL $name: $*"
  failed=1
}
[ "$status" -eq 0 ] || fail "exit status $status"
[ -s "$work/stdout.txt" ] && fail "printed: $(head -c 200 "$work/stdout.txt")"
[ -s "$work/Ruvo.log" ] && fail "logged: $(head -c 400 "$work/Ruvo.log")"
if ! cmp -s "$folder/expected.txt" "$work/output.txt"; then
  fail "output differs from expected.txt"
  diff <(iconv -f LATIN1 -t UTF-8 "$folder/expected.txt") \
       <(iconv -f LATIN1 -t UTF-8 "$work/output.txt" 2>/dev/null) | head -20
fi
[ "$failed" -eq 0 ] && echo "$name: as expected"
exit "$failed"
