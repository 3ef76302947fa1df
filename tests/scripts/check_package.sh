#!/usr/bin/env bash
# Builds the Debian package of a build folder with cpack, unpacks it into a scratch root and
# checks that it holds the programs, their compressed manual pages, the copyright, changelog,
# guide and examples, names libxml2 among its dependencies, that the packaged program and batch
# command (which finds the packaged ruvo-batch beside the ruvo on the PATH) convert the shipped
# example exactly as the built program does, and that the packaged ruvo-check finds nothing to
# report in that example. (lintian runs on the package of the "package" preset, in CI: this
# build is not the hardened Release one.)
#
#   check_package.sh BUILD_DIR SOURCE_DIR BUILT_RUVO VERSION [CPACK]
set -euo pipefail

build=$1
source=$2
built=$3
version=$4
cpack=${5:-cpack}

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

"$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/package" > "$scratch/cpack.log" ||
  { cat "$scratch/cpack.log"; exit 1; }
debs=("$scratch"/package/*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
  echo "FAIL: expected one .deb, found: ${debs[*]}"
  exit 1
fi
deb=${debs[0]}
echo "package: $(basename "$deb")"

failures=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if ! "$@"; then
    echo "FAIL: $what"
    failures=$((failures + 1))
  fi
}

package=$(dpkg-deb -f "$deb" Package)
package_version=$(dpkg-deb -f "$deb" Version)
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
check "package name is ruvo, not '$package'" test "$package" = ruvo
check "version is $version, not '$package_version'" test "$package_version" = "$version"
check "Depends names libxml2" grep -Eq '(^|, )libxml2( |,|$)' <<< "$depends"

root="$scratch/root"
dpkg -x "$deb" "$root"
installed="$root/usr/bin/ruvo"
doc="$root/usr/share/doc/ruvo"
check "usr/bin/ruvo is an executable" test -x "$installed"
check "usr/bin/ruvo-batch is an executable" test -x "$root/usr/bin/ruvo-batch"
check "usr/bin/ruvo-check is an executable" test -x "$root/usr/bin/ruvo-check"
check "usr/bin/ruvo-convert-batch is an executable" test -x "$root/usr/bin/ruvo-convert-batch"
check "usr/bin/ruvo-preview is an executable" test -x "$root/usr/bin/ruvo-preview"
for page in ruvo ruvo-batch ruvo-check ruvo-convert-batch ruvo-preview; do
  check "the manual page $page.1.gz is the source's man/$page.1" \
    cmp -s <(gzip -dc "$root/usr/share/man/man1/$page.1.gz") "$source/man/$page.1"
done
check "the copyright file is the source's" cmp -s "$doc/copyright" "$source/packaging/copyright"
check "the changelog starts with this version" \
  grep -q "^ruvo ($version) " <(gzip -dc "$doc/changelog.gz")
for file in docs/guide.md docs/batch.md examples/invoice.xml examples/guide/master-table/input.xml \
  examples/formats/nfce/nfce.xml examples/formats/xr-cii/expected.txt; do
  installed_file=${file#docs/}
  check "$file is installed" cmp -s "$doc/${installed_file}" "$source/$file"
done

# The same conversion by both binaries, each in its own folder.
for which in built installed; do
  mkdir "$scratch/$which"
  cp "$source/examples/invoice.xml" "$source/examples/template.txt" "$source/examples/Ruvo.cfg" \
    "$scratch/$which/"
done
binary_status() {  # binary_status FOLDER BINARY: runs the example, prints the exit status
  (cd "$1" && RUVO_OPERADOR=paquete "$2" invoice.xml template.txt output.txt -preview 1) > /dev/null
  echo $?
}
set +e
built_status=$(binary_status "$scratch/built" "$built")
installed_status=$(binary_status "$scratch/installed" "$installed")
set -e
check "the built program ends with 0, not $built_status" test "$built_status" = 0
check "the packaged program ends with 0, not $installed_status" test "$installed_status" = 0
check "both programs write the same output" \
  cmp "$scratch/built/output.txt" "$scratch/installed/output.txt"
check "the output is not empty" test -s "$scratch/installed/output.txt"
check "the packaged ruvo-check finds nothing in the example" \
  env RUVO_OPERADOR=paquete "$root/usr/bin/ruvo-check" "$doc/examples/invoice.xml" \
  "$doc/examples/template.txt" "$scratch/check-output.txt" -c "$doc/examples/Ruvo.cfg" -preview 1

# The installed batch command on the installed example, as a user runs it: ruvo is the one on the
# PATH, here the packaged one, and ruvo-batch is taken from beside it.
mkdir "$scratch/batch-in"
cp "$doc/examples/invoice.xml" "$scratch/batch-in/EJEMPLO.XML"
PATH="$root/usr/bin:$PATH" RUVO_OPERADOR=paquete ruvo-convert-batch -j 1 "$scratch/batch-in" \
  "$doc/examples/template.txt" "$doc/examples/Ruvo.cfg" "$scratch/batch-out" -preview 1 \
  > /dev/null 2> "$scratch/batch-stderr" || cat "$scratch/batch-stderr"
check "ruvo-convert-batch converts the example" \
  cmp "$scratch/built/output.txt" "$scratch/batch-out/EJEMPLO.txt"
check "ruvo-convert-batch lists the example as converted" \
  test "$(cat "$scratch/batch-out/status.tsv" 2> /dev/null)" = "$(printf 'EJEMPLO.XML\t0')"

[ "$failures" -eq 0 ] && echo "package checks passed"
exit "$((failures > 0))"
