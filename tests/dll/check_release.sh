#!/usr/bin/env bash
# Unpacks the release archive and checks what a user gets: exactly the
# files listed below, sums that match them, the DLL this build made, notes
# in Windows-1250 with CR LF that name the version, and the licence notices.
# usage: check_release.sh ARCHIVE DLL VERSION
set -uo pipefail

archive=${1:?usage: check_release.sh ARCHIVE DLL VERSION}
dll=${2:?usage: check_release.sh ARCHIVE DLL VERSION}
version=${3:?usage: check_release.sh ARCHIVE DLL VERSION}
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

listing=$(unzip -Z1 "$archive") || { echo "FAIL: unzip cannot read $archive" >&2; exit 1; }
expected='CZYTAJ.txt
LICENSES/PCRE.txt
LICENSES/libgcc.txt
LICENSES/libstdc++.txt
LICENSES/mingw-w64.txt
Quillmax.dll
README.txt
SHA256SUMS'
[ "$listing" = "$expected" ] || fail "the archive holds, in this order:"$'\n'"$listing"

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
unzip -q "$archive" -d "$unpacked" || { echo "FAIL: cannot unpack $archive" >&2; exit 1; }

# SHA256SUMS covers every other file, and each sum is right.
summed=$(sed 's/^[0-9a-f]\{64\}  //' "$unpacked/SHA256SUMS")
[ "$summed" = "$(grep -vx SHA256SUMS <<<"$expected")" ] ||
  fail "SHA256SUMS lists:"$'\n'"$summed"
(cd "$unpacked" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match the files"

cmp -s "$unpacked/Quillmax.dll" "$dll" || fail "the archive's Quillmax.dll is not $dll"

# Read as Windows-1250, each note names the version and the page's first
# field; every line ends in CR LF.
for text in CZYTAJ.txt README.txt; do
  file=$unpacked/$text
  utf8=$(iconv -f CP1250 -t UTF-8 "$file") || fail "$text is not Windows-1250"
  grep -q "Quillmax $version" <<<"$utf8" || fail "$text does not name the version $version"
  grep -q 'Zamień z:' <<<"$utf8" || fail "$text does not name \"Zamień z:\" in Windows-1250"
  [ "$(grep -c $'\r$' "$file")" = "$(wc -l <"$file")" ] || fail "$text has lines without CR LF"
  [ "$(tail -c 2 "$file" | od -An -tx1 | tr -d ' ')" = 0d0a ] || fail "$text does not end in CR LF"
done

# Each notice is the one of its library.
expect_notice() {
  grep -q -- "$2" "$unpacked/LICENSES/$1" || fail "LICENSES/$1 does not hold \"$2\""
}
expect_notice PCRE.txt 'PCRE LICENCE'
expect_notice libstdc++.txt 'GCC RUNTIME LIBRARY EXCEPTION'
expect_notice libgcc.txt 'GCC RUNTIME LIBRARY EXCEPTION'
expect_notice mingw-w64.txt 'mingw-w64'

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed for $archive" >&2
  exit 1
fi
echo "$(basename "$archive"): files, sums, DLL, notes and licences as required"
