#!/usr/bin/env bash
# Runs one example of examples/formats/ in a fresh folder, as its README shows it:
#
#   run_format_example.sh RUVO FOLDER [VARIANT]
#
# FOLDER holds NAME.xml (the folder's own name), template.txt, Ruvo.cfg and expected.txt. A
# VARIANT is a subfolder of FOLDER with its own template.txt, Ruvo.cfg and expected.txt for the
# same document, and an args file with the options of its run (-encoding UTF-8, say). The run
# must end with status 0, print nothing, log nothing and write expected.txt byte for byte, and
# every value of the output must be one the document holds (check_values_from_document.py).
set -u

if [ $# -lt 2 ] || [ $# -gt 3 ]; then
  echo "usage: $0 RUVO FOLDER [VARIANT]" >&2
  exit 2
fi
ruvo=$(realpath "$1") || exit 2
folder=$(realpath "$2") || exit 2
name=$(basename "$folder")
files=$folder
label=$name
if [ $# -eq 3 ]; then
  files=$folder/$3
  label="$name/$3"
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

[ -f "$folder/$name.xml" ] || { echo "FAIL $label: missing $name.xml"; exit 1; }
for file in template.txt Ruvo.cfg expected.txt; do
  [ -f "$files/$file" ] || { echo "FAIL $label: missing $file"; exit 1; }
done
options=()
if [ -f "$files/args" ]; then
  read -r -a options < "$files/args"
fi
# The encoding the files and the output are in, for reading them back.
encoding=ISO-8859-1
for ((i = 0; i + 1 < ${#options[@]}; i++)); do
  [[ "${options[i],,}" == -encoding ]] && encoding=${options[i + 1]}
done
cp "$folder/$name.xml" "$files/template.txt" "$files/Ruvo.cfg" "$work/"

(cd "$work" && "$ruvo" "$name.xml" template.txt output.txt "${options[@]}" > stdout.txt 2>&1)
status=$?
failed=0
fail() {
  echo "FAIL $label: $*"
  failed=1
}
[ "$status" -eq 0 ] || fail "exit status $status"
[ -s "$work/stdout.txt" ] && fail "printed: $(head -c 200 "$work/stdout.txt")"
[ -s "$work/Ruvo.log" ] && fail "logged: $(head -c 400 "$work/Ruvo.log")"
if ! cmp -s "$files/expected.txt" "$work/output.txt"; then
  fail "output differs from expected.txt"
  diff <(iconv -f "$encoding" -t UTF-8 "$files/expected.txt") \
       <(iconv -f "$encoding" -t UTF-8 "$work/output.txt" 2>/dev/null) | head -20
fi
python3 "$(dirname "$0")/check_values_from_document.py" "$files/expected.txt" \
  "$files/template.txt" "$files/Ruvo.cfg" "$folder/$name.xml" "$encoding" ||
  fail "expected.txt holds what the document does not"
[ "$failed" -eq 0 ] && echo "$label: as expected"
exit "$failed"
