#!/usr/bin/env bash
# Inspects the built Quillmax.dll with the mingw binutils and icoutils: the
# export table, the imports, the version resource and the icon are what the
# messenger and the Windows shell read, so each must be exactly right; and
# nothing in it may tell when or where it was built, or two builds of one
# commit would differ.
# usage: inspect_dll.sh Quillmax.dll [BUILD_PATH...]
#   BUILD_PATH  a directory of the build machine (the source and build
#               directories) whose name must not stand in the DLL
set -uo pipefail

dll=${1:?usage: inspect_dll.sh Quillmax.dll [BUILD_PATH...]}
shift
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

dump=$(i686-w64-mingw32-objdump -p "$dll") || { echo "FAIL: objdump cannot read $dll" >&2; exit 1; }

# Exports: exactly these three names, and the DLL's own name.
exports=$(printf '%s\n' "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  sed -n 's/^\s*\[ *[0-9]*\] //p' | sort | tr '\n' ' ')
[ "$exports" = "_IMessageProc@4 pcre_free pcre_malloc " ] ||
  fail "exports are '$exports'"
grep -Eq '^Name[[:space:]]+[0-9a-f]+[[:space:]]+Quillmax\.dll$' <<<"$dump" ||
  fail "the export directory does not name the DLL Quillmax.dll"

# Imports: system DLLs only, and InitCommonControls by ordinal 17.
imported=$(printf '%s\n' "$dump" | sed -n 's/^\s*DLL Name: //p' | tr 'a-z' 'A-Z' | sort | tr '\n' ' ')
for name in $imported; do
  case "$name" in
    KERNEL32.DLL | MSVCRT.DLL | USER32.DLL | COMCTL32.DLL) ;;
    *) fail "imports from $name, which is not a system DLL" ;;
  esac
done
comctl=$(printf '%s\n' "$dump" | sed -n '/DLL Name: COMCTL32.dll/,/^$/p')
grep -Eq '^\s*80000011\s+17\s+<none>' <<<"$comctl" ||
  fail "COMCTL32 is not imported by ordinal 17"
grep -q 'InitCommonControls' <<<"$comctl" &&
  fail "InitCommonControls is imported by name"
user32=$(printf '%s\n' "$dump" | sed -n '/DLL Name: USER32.dll/,/^$/p')
# The rule editor's window, list view and confirmation box.
for function in CreateWindowExA DestroyWindow ShowWindow SendMessageA MessageBoxA; do
  grep -Eq "\s$function$" <<<"$user32" || fail "USER32 $function is not imported"
done

# Resources: icon group 101 and the version block, both Polish (1045).
listing=$(wrestool -l "$dll")
grep -Eq -- '--type=14 --name=101 --language=1045' <<<"$listing" ||
  fail "no icon group 101 in Polish"
grep -Eq -- '--type=16 --name=1 --language=1045' <<<"$listing" ||
  fail "no version resource in Polish"

version_hex=$(wrestool -x --raw -t16 "$dll" | od -An -v -tx1 | tr -s ' \n' ' ')
# VS_FIXEDFILEINFO after its signature: structure version, file version
# 0.0.5.0, product version 0.0.5.0, flags mask, flags with VS_FF_SPECIALBUILD.
fixed="bd 04 ef fe 00 00 01 00 00 00 00 00 00 00 05 00 00 00 00 00 00 00 05 00 3f 00 00 00 20 00 00 00"
case "$version_hex" in
  *"$fixed"*) ;;
  *) fail "fixed version info is not 0.0.5.0 with the special-build flag" ;;
esac
# Translation: language 0x0415, code page 0x04B0.
case "$version_hex" in
  *"15 04 b0 04"*) ;;
  *) fail "the translation entry is not 0x0415, 0x04B0" ;;
esac

strings_list=$(wrestool -x --raw -t16 "$dll" | strings -el)
expect_string() {
  local key=$1 value=$2
  local found
  found=$(grep -A1 -x -- "$key" <<<"$strings_list" | tail -n 1)
  [ "$found" = "$value" ] || fail "version string $key is '$found', not '$value'"
}
grep -qx '041504B0' <<<"$strings_list" || fail "no string table 041504B0"
expect_string FileVersion "0, 0, 5, 0"
expect_string ProductVersion "0, 0, 5, 0"
expect_string SpecialBuild "beta"
expect_string FileDescription "zmiana wiadomosci w locie"
expect_string InternalName "Quillmax"
expect_string OriginalFilename "Quillmax.dll"
expect_string ProductName "Quillmax _ Parleon plugin"

# No time stamp: the PE header's (4 bytes at 8 past the "PE" signature),
# the export directory's, the resource directories', and no debug directory
# (which would carry one).
u32_at() { od -An -tu4 -j "$1" -N4 "$dll" | tr -d ' '; }
pe=$(u32_at 60)
[ "$(u32_at $((pe + 8)))" = 0 ] || fail "the PE header carries the time stamp $(u32_at $((pe + 8)))"
grep -Eq '^Time/Date stamp[[:space:]]+0$' <<<"$dump" ||
  fail "the export directory carries a time stamp: $(grep '^Time/Date stamp' <<<"$dump")"
grep -E 'Time: [0-9a-f]{8}' <<<"$dump" | grep -Eqv 'Time: 0{8}' &&
  fail "a resource directory carries a time stamp"
grep -Eq '^Entry 6 0{8} 0{8} Debug Directory' <<<"$dump" || fail "the DLL has a debug directory"

# No path of the build machine: the directories named, and any absolute path
# under the usual roots (a source file, a build or temporary directory).
for path in "$@"; do
  LC_ALL=C grep -Fqa -- "$path" "$dll" && fail "the DLL holds the build path $path"
done
found=$(LC_ALL=C grep -aoE '/(home|root|tmp|usr|build|work|opt|srv|var|mnt)/[[:alnum:]._+/-]+' "$dll" |
  head -n 3 | tr '\n' ' ')
[ -z "$found" ] || fail "the DLL holds paths: $found"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed for $dll" >&2
  exit 1
fi
echo "Quillmax.dll: exports, imports, version and icon as required"
