#!/usr/bin/env bash
# Converts 200 generated invoices with scripts/convert-batch, with ruvo-batch's own processes,
# under GNU parallel (when installed) and under xargs, and checks every reported exit status, every output byte for
# byte, and that only the broken invoices left a run log.
#
#   check_convert_batch.sh SOURCE_DIR RUVO
set -uo pipefail

source=$1
ruvo=$2
here=$(dirname "$0")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

count=200
broken_every=50  # invoices 50, 100, 150 and 200 are not well-formed
"$here/make_invoices.sh" "$count" "$scratch" "$broken_every" || exit 1
# Files from Windows systems often end in upper case; the output keeps the name's stem.
upper=7
mv "$scratch/in/invoice-007.xml" "$scratch/in/invoice-007.XML"

runners=(processes xargs)
if command -v parallel > /dev/null; then
  runners=(processes parallel xargs)
else
  echo "GNU parallel is not installed: checking the xargs fallback only"
fi

failures=0
fail() {
  echo "FAIL ($runner): $*"
  failures=$((failures + 1))
}

for runner in "${runners[@]}"; do
  out="$scratch/out-$runner"
  RUVO_BATCH_RUNNER=$runner "$source/scripts/convert-batch" -j 8 -r "$ruvo" "$scratch/in" \
    "$scratch/template.txt" "$scratch/Ruvo.cfg" "$out" > "$scratch/stdout-$runner" \
    2> "$scratch/stderr-$runner"
  status=$?
  if [ "$status" -ne 1 ]; then
    fail "convert-batch ended with $status, expected 1 (some failed): $(cat "$scratch/stderr-$runner")"
    continue
  fi
  grep -q "$count documents, $((count - count / broken_every)) converted, $((count / broken_every)) failed" \
    "$scratch/stderr-$runner" || fail "summary: $(cat "$scratch/stderr-$runner")"
  [ "$(wc -l < "$out/status.tsv")" -eq "$count" ] || fail "status.tsv has not $count lines"
  [ "$(sort "$scratch/stdout-$runner")" = "$(cat "$out/status.tsv")" ] ||
    fail "printed statuses differ from status.tsv"

  declare -A reported_status=()
  while IFS=$'\t' read -r file reported; do
    reported_status[$file]=$reported
  done < "$out/status.tsv"
  for ((i = 1; i <= count; i++)); do
    printf -v name 'invoice-%03d' "$i"
    file=$name.xml
    [ "$i" -eq "$upper" ] && file=$name.XML
    reported=${reported_status[$file]:-none}
    if [ $((i % broken_every)) -eq 0 ]; then
      [ "$reported" = 252 ] || fail "$name: status '$reported', expected 252"
      [ -e "$out/$name.txt" ] && fail "$name: output written for a broken invoice"
      grep -q 'ERROR: Archivo de entrada parseado con errores.' "$out/logs/$name.log" ||
        fail "$name: its log lacks the parse error"
    else
      [ "$reported" = 0 ] || fail "$name: status '$reported', expected 0"
      cmp -s "$scratch/expected/$name.txt" "$out/$name.txt" || fail "$name: output differs"
      [ -e "$out/logs/$name.log" ] && fail "$name: a log for a successful conversion"
    fi
  done
  leftover=$(find "$out" -mindepth 1 -name '.work.*')
  [ -z "$leftover" ] || fail "work folders left: $leftover"
  echo "$runner: checked $count documents"
done

# NAME.xml and NAME.XML have one output name: one converts, the other is not started.
mkdir "$scratch/same"
cp "$scratch/in/invoice-001.xml" "$scratch/same/a.xml"
cp "$scratch/in/invoice-002.xml" "$scratch/same/a.XML"
for runner in processes xargs; do
  RUVO_BATCH_RUNNER=$runner "$source/scripts/convert-batch" -j 2 -r "$ruvo" "$scratch/same" \
    "$scratch/template.txt" "$scratch/Ruvo.cfg" "$scratch/out-same-$runner" > /dev/null 2>&1
  status=$?
  [ "$status" -eq 1 ] || fail "same stem: convert-batch ended with $status, expected 1"
  [ "$(cut -f 2 "$scratch/out-same-$runner/status.tsv" | sort | tr '\n' ' ')" = "0 not-started " ] ||
    fail "same stem: statuses $(tr '\n\t' '; ' < "$scratch/out-same-$runner/status.tsv")"
done

# A run refused as a whole ends with 2 under every runner, said once, with no statuses.
for runner in processes xargs; do
  RUVO_BATCH_RUNNER=$runner "$source/scripts/convert-batch" -j 2 -r "$ruvo" "$scratch/same" \
    "$scratch/template.txt" "$scratch/Ruvo.cfg" "$scratch/out-refused-$runner" -encoding KLINGON \
    > /dev/null 2> "$scratch/stderr-refused"
  status=$?
  [ "$status" -eq 2 ] || fail "unknown encoding: convert-batch ended with $status, expected 2"
  [ "$(grep -c 'encoding KLINGON' "$scratch/stderr-refused")" -eq 1 ] ||
    fail "unknown encoding: $(cat "$scratch/stderr-refused")"
  [ -e "$scratch/out-refused-$runner/status.tsv" ] && fail "unknown encoding: statuses written"
done

# A resumed batch converts what is missing or older than its document, and keeps the rest.
for runner in processes xargs; do
  in="$scratch/in-resume-$runner"
  out="$scratch/out-resume-$runner"
  cp -r "$scratch/in" "$in"
  RUVO_BATCH_RUNNER=$runner "$source/scripts/convert-batch" -j 2 -r "$ruvo" "$in" \
    "$scratch/template.txt" "$scratch/Ruvo.cfg" "$out" > /dev/null 2>&1
  cp "$out/status.tsv" "$scratch/status-before"
  echo kept > "$out/invoice-001.txt"
  echo stale > "$out/invoice-005.txt"
  touch -d '+1 hour' "$in/invoice-005.xml"
  rm "$out/invoice-003.txt"
  RUVO_BATCH_RUNNER=$runner "$source/scripts/convert-batch" -j 2 -r "$ruvo" --resume "$in" \
    "$scratch/template.txt" "$scratch/Ruvo.cfg" "$out" > /dev/null 2>&1
  [ "$(cat "$out/invoice-001.txt")" = kept ] || fail "resume: an up-to-date output was written again"
  for name in invoice-003 invoice-005; do
    cmp -s "$out/$name.txt" "$scratch/out-processes/$name.txt" || fail "resume: $name not converted"
  done
  cmp -s "$out/status.tsv" "$scratch/status-before" || fail "resume: statuses differ"
done

# Its own manners: the usage on request, its name as called, no runner it does not have.
runner=manners
for ask in -h --help; do
  "$source/scripts/convert-batch" "$ask" > "$scratch/usage" 2> "$scratch/stderr-usage"
  status=$?
  [ "$status" -eq 0 ] || fail "$ask: ended with $status, expected 0"
  [ -s "$scratch/stderr-usage" ] && fail "$ask: wrote to standard error"
  head -1 "$scratch/usage" | grep -q '^usage: convert-batch \[-j JOBS\]' ||
    fail "$ask: usage begins $(head -1 "$scratch/usage")"
  grep -q '^-r RUVO' "$scratch/usage" || fail "$ask: no options in the usage"
done
"$source/scripts/convert-batch" -x > /dev/null 2> "$scratch/stderr-usage"
[ $? -eq 2 ] && grep -q '^usage: ' "$scratch/stderr-usage" || fail "-x: no usage error"
cp "$source/scripts/convert-batch" "$scratch/ruvo-convert-batch"
"$scratch/ruvo-convert-batch" -r "$ruvo" "$scratch/same" "$scratch/template.txt" \
  "$scratch/Ruvo.cfg" "$scratch/out-named" > /dev/null 2> "$scratch/stderr-named"
grep -q '^ruvo-convert-batch: 2 documents' "$scratch/stderr-named" ||
  fail "installed name: $(cat "$scratch/stderr-named")"
# A PATH with everything of /usr/bin and /bin but GNU parallel.
mkdir "$scratch/bin"
for tool in /usr/bin/* /bin/*; do
  [ "${tool##*/}" = parallel ] || ln -sf "$tool" "$scratch/bin/${tool##*/}"
done
for wanted in parallel bogus; do
  PATH=$scratch/bin RUVO_BATCH_RUNNER=$wanted "$source/scripts/convert-batch" -r "$ruvo" \
    "$scratch/same" "$scratch/template.txt" "$scratch/Ruvo.cfg" "$scratch/out-runner-$wanted" \
    > /dev/null 2> "$scratch/stderr-runner"
  status=$?
  [ "$status" -eq 2 ] || fail "runner $wanted: ended with $status, expected 2"
  grep -q "RUVO_BATCH_RUNNER" "$scratch/stderr-runner" ||
    fail "runner $wanted: $(cat "$scratch/stderr-runner")"
  [ -e "$scratch/out-runner-$wanted" ] && fail "runner $wanted: converted anyway"
done

exit "$((failures > 0))"
