#!/usr/bin/env bash
# Runs every example of docs/guide.md through the binary and checks that the guide still shows
# what the example folders hold.
#
#   run_guide_examples.sh RUVO CASES_DIR GUIDE [--update]
#
# Each folder under CASES_DIR is one example:
#   input.xml, template.txt, Ruvo.cfg   the run's inputs, copied into a fresh folder
#   args                                options written after the three file names (may be empty);
#                                       an -encoding among them is the encoding of the files
#   env        (optional)               NAME=value lines added to the environment
#   status     (optional)               the expected exit status; 0 when absent
#   expected.txt                        the exact output bytes; absent when the run must write none
#   expected.log (optional)             the run log, each timestamp written YYYYMMDD-HHMMSSmmm
#
# The guide must show, verbatim, every input file, expected.txt and expected.log (Latin-1 files
# as UTF-8), and the command line "$ [env] ruvo input.xml template.txt output.txt [args]".
# --update rewrites expected.txt and expected.log from what the binary does now: review the diff.
set -u

if [ $# -lt 3 ]; then
  echo "usage: $0 RUVO CASES_DIR GUIDE [--update]" >&2
  exit 2
fi
ruvo=$(realpath "$1") || exit 2
cases=$(realpath "$2") || exit 2
guide_file=$3
update=${4:-}

if [ ! -x "$ruvo" ]; then
  echo "FAIL: cannot run $ruvo"
  exit 1
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
guide=$(cat "$guide_file") || exit 2
failures=0
count=0

fail() {
  echo "FAIL $name: $*"
  failures=$((failures + 1))
}

# The guide is UTF-8, like the XML inputs; the program's other files are text in the run's
# encoding: Latin-1, or what the example's -encoding names.
encoding=LATIN1
as_utf8() {
  iconv -f "$encoding" -t UTF-8 "$1"
}

in_guide() {
  local text
  if [ "$(basename "$1")" = input.xml ]; then
    text=$(cat "$1")
  else
    text=$(as_utf8 "$1")
  fi
  [ -z "$text" ] || [[ "$guide" == *"$text"* ]]
}

for dir in "$cases"/*/; do
  name=$(basename "$dir")
  count=$((count + 1))
  for file in input.xml template.txt Ruvo.cfg args; do
    [ -f "$dir/$file" ] || fail "missing $file"
  done
  [ -f "$dir/expected.txt" ] || [ -f "$dir/status" ] || [ "$update" = "--update" ] ||
    fail "neither expected.txt nor status"

  work="$scratch/$name"
  mkdir -p "$work"
  cp "$dir/input.xml" "$dir/template.txt" "$dir/Ruvo.cfg" "$work/"
  read -r -a options < "$dir/args"
  encoding=LATIN1
  for ((i = 0; i + 1 < ${#options[@]}; i++)); do
    [[ "${options[i],,}" == -encoding ]] && encoding=${options[i + 1]}
  done
  environment=()
  if [ -f "$dir/env" ]; then
    mapfile -t environment < "$dir/env"
  fi
  expected_status=0
  if [ -f "$dir/status" ]; then
    expected_status=$(cat "$dir/status")
  fi

  (cd "$work" && env "${environment[@]}" "$ruvo" input.xml template.txt output.txt \
     "${options[@]}" > stdout.txt 2>&1)
  status=$?
  # Timestamps differ from run to run; the rest of each log line must not.
  if [ -f "$work/Ruvo.log" ]; then
    sed -E 's/^[0-9]{8}-[0-9]{9}:/YYYYMMDD-HHMMSSmmm:/' "$work/Ruvo.log" > "$work/masked.log"
  else
    : > "$work/masked.log"
  fi

  if [ "$update" = "--update" ]; then
    if [ -f "$work/output.txt" ]; then cp "$work/output.txt" "$dir/expected.txt"; fi
    if [ -f "$dir/expected.log" ] || [ -s "$work/masked.log" ]; then
      cp "$work/masked.log" "$dir/expected.log"
    fi
  fi

  [ "$status" -eq "$expected_status" ] || fail "exit status $status, expected $expected_status"
  [ -s "$work/stdout.txt" ] && fail "printed: $(head -c 200 "$work/stdout.txt")"
  if [ -f "$dir/expected.txt" ]; then
    if ! cmp -s "$dir/expected.txt" "$work/output.txt"; then
      fail "output differs from expected.txt"
      diff <(as_utf8 "$dir/expected.txt") <(as_utf8 "$work/output.txt") | head -20
    fi
  elif [ -e "$work/output.txt" ]; then
    fail "wrote output.txt, expected none"
  fi
  if [ -f "$dir/expected.log" ]; then
    if ! cmp -s "$dir/expected.log" "$work/masked.log"; then
      fail "run log differs from expected.log"
      diff <(as_utf8 "$dir/expected.log") <(as_utf8 "$work/masked.log") | head -20
    fi
  elif [ -s "$work/masked.log" ]; then
    fail "the run logged (add expected.log): $(head -c 200 "$work/masked.log")"
  fi

  for file in input.xml template.txt Ruvo.cfg expected.txt expected.log; do
    if [ -f "$dir/$file" ] && ! in_guide "$dir/$file"; then
      fail "$file is not shown verbatim in $(basename "$guide_file")"
    fi
  done
  command="\$ ${environment[*]}${environment[*]:+ }ruvo input.xml template.txt output.txt"
  command+="${options[*]:+ }${options[*]}"
  if ! grep -Fxq -- "$command" "$guide_file"; then
    fail "the guide does not show the line: $command"
  fi
  grep -Fq -- "examples/guide/$name/" "$guide_file" || fail "the guide does not name its folder"
done

# Every example the guide names has its folder.
while read -r named; do
  [ -d "$cases/$named" ] || { name=$named; fail "named in the guide, but no such folder"; }
done < <(grep -oE 'examples/guide/[A-Za-z0-9_-]+/' "$guide_file" | cut -d/ -f3 | sort -u)

if [ "$count" -eq 0 ]; then
  echo "FAIL: no example under $cases"
  exit 1
fi
echo "$count examples, $failures failures"
[ "$failures" -eq 0 ]
