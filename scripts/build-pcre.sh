#!/usr/bin/env bash
# Builds PCRE 8.39 from Debian's pcre3 source package as a static library for
# one target (native, i386 or win32) in the one configuration the plug-in
# ships with: 8-bit only, no UTF-8, no JIT, no C++ wrapper, match recursion on
# the heap so that a hostile message cannot overflow the host's stack.
#
# usage: scripts/build-pcre.sh native|i386|win32|fuzz OUT_DIR SOURCE_DIR
#
# `fuzz` is the native library compiled by clang with the fuzzer's coverage
# instrumentation and AddressSanitizer, so that the fuzzers are guided by
# what happens inside the engine, not only in the plug-in's own code.
#
# CMake runs it as a build step (cmake/Pcre.cmake), with OUT_DIR
# build/pcre/<target> and SOURCE_DIR build/pcre/src, shared by every build
# of the clone (the native and bench builds use one library):
#   SOURCE_DIR      Debian's source package, downloaded and unpacked once
#   OUT_DIR/lib/libpcre.a, OUT_DIR/include/pcre.h   the library and header
#   OUT_DIR/configuration   the stamp: the configuration, the compile
#                           commands, the patches and the source version
# A finished build whose stamp matches the current arguments is reused (the
# script only touches the stamp); any change of them rebuilds the library.
# Locks keep builds that run side by side from unpacking or building the
# same directory twice.
#
# Both may be anywhere, in a path that holds a space too; the library does
# not depend on it (see the build step below).
set -euo pipefail

usage='usage: build-pcre.sh native|i386|win32|fuzz OUT_DIR SOURCE_DIR'
target=${1:?$usage}
out=${2:?$usage}
src_parent=${3:?$usage}
mkdir -p "$out" "$src_parent"
out=$(cd "$out" && pwd)
src_parent=$(cd "$src_parent" && pwd)

# The one configuration of every build. Deep matches keep their frames on
# the heap; the recursion limit bounds them (about 7 MB a match) so that a
# hostile message cannot make the host's memory grow without end. Three-byte
# internal links let long patterns compile under PCRE_AUTO_CALLOUT, which
# adds a callout item before every item of a pattern (two-byte links refused
# rules of about 9,000 characters), while still capping a compiled pattern at
# 16 MB: with four-byte links a rule of 25 characters, nested repeats of a
# group, compiled to almost 1 GB.
config_defines=("LINK_SIZE 3" "MATCH_LIMIT_RECURSION 20000" "NO_RECURSE" "SUPPORT_PCRE8"
  "PCRE_STATIC 1")
# What configure finds of the system: PCRE's library itself uses only these,
# and every target has them. Its API keeps default visibility, all else is
# hidden, as configure sets it up wherever the compiler takes visibility.
config_defines+=("HAVE_STDINT_H 1" "HAVE_INTTYPES_H 1" "HAVE_MEMMOVE 1"
  'PCRE_EXP_DECL extern __attribute__ ((visibility ("default")))'
  'PCRE_EXP_DEFN __attribute__ ((visibility ("default")))'
  'PCRE_EXP_DATA_DEFN __attribute__ ((visibility ("default")))')
# The library's sources, in the order of PCRE's own Makefile.am (8-bit
# only, so no UTF-8 or Unicode tables are used, and the JIT compiles to
# nothing); the character tables are the default ones it ships.
pcre_sources=(pcre_byte_order.c pcre_compile.c pcre_config.c pcre_dfa_exec.c pcre_exec.c
  pcre_fullinfo.c pcre_get.c pcre_globals.c pcre_info.c pcre_jit_compile.c pcre_maketables.c
  pcre_newline.c pcre_ord2utf8.c pcre_refcount.c pcre_string_utils.c pcre_study.c pcre_tables.c
  pcre_ucd.c pcre_valid_utf8.c pcre_version.c pcre_xclass.c pcre_chartables.c)

# The flags PCRE's own build gives its library, and configure's default
# CFLAGS unless the target names others.
cflags="-g -O2"
pic=(-fPIC -DPIC)
ar=ar
case "$target" in
  native) cc=(gcc) ;;
  i386) cc=(gcc -m32) ;;
  win32)
    cc=(i686-w64-mingw32-gcc)
    pic=()
    ar=i686-w64-mingw32-ar
    ;;
  fuzz)
    cc=(clang)
    cflags="-g -O1 -fsanitize=fuzzer-no-link,address"
    ;;
  *)
    echo "build-pcre: unknown target '$target' (native, i386, win32 or fuzz)" >&2
    exit 2
    ;;
esac

# Debian's source package, unpacked once; a build waits while another
# unpacks it, and none sees it half unpacked.
find_source() { find "$src_parent" -maxdepth 1 -type d -name 'pcre3-8.39' | head -n 1; }
exec 8>"$src_parent.lock"
flock 8
src=$(find_source)
if [ -z "$src" ] || [ ! -f "$src/.quillmax-unpacked" ]; then
  rm -rf "$src_parent" && mkdir -p "$src_parent"
  # A fresh machine may not have read the deb-src lists yet.
  (cd "$src_parent" && { apt-get source -qq pcre3 >/dev/null 2>&1 ||
    { apt-get update -qq && apt-get source -qq pcre3 >/dev/null; }; })
  src=$(find_source)
  if [ -z "$src" ]; then
    echo "build-pcre: Debian's pcre3 source is not version 8.39" >&2
    exit 1
  fi
  # The version of the source, for the stamp; then the unpack is complete.
  sed -n 's/^Version: //p' "$src_parent"/pcre3_*.dsc | head -n 1 >"$src/.quillmax-unpacked"
fi
# Read only from here on: it is copied before being patched.
flock -u 8

# One build of this library at a time: a second waits, then finds it built.
exec 9>"$out/.lock"
flock 9

# The project's own patches, applied over Debian's (see each file's
# description); their contents are part of the stamp, so a changed patch
# rebuilds the library.
patch_dir=$(cd "$(dirname "$0")" && pwd)/pcre-patches
patches=("$patch_dir"/*.patch)

stamp=$out/configuration
# The build directory's name is mapped to this one in everything the
# compiler records (debug information, __FILE__).
mapped_dir=/quillmax-pcre
configuration=$(printf '%s\n' "pcre3 $(cat "$src/.quillmax-unpacked")" \
  "${config_defines[*]}" "${pcre_sources[*]}" "${cc[*]} -fvisibility=hidden $cflags ${pic[*]}" \
  "-ffile-prefix-map=...=$mapped_dir $ar" \
  "$(cat "${patches[@]}" | sha256sum)")
if [ -f "$out/lib/libpcre.a" ] && [ -f "$out/include/pcre.h" ] &&
  [ "$(cat "$stamp" 2>/dev/null)" = "$configuration" ]; then
  touch "$stamp"
  exit 0
fi

# PCRE is built in a directory of its own under the temporary directory,
# whose name is mapped out of the objects, so the library is the same from
# any clone at any path; only the library and its header come back into
# OUT_DIR. Its sources are compiled directly with the configuration above,
# as PCRE's CMake build does, rather than through its configure script,
# which took about 16 s of every first build on one core.
tmp_root=${TMPDIR:-/tmp}
case "$tmp_root" in *[[:space:]]*) tmp_root=/tmp ;; esac
work=$(mktemp -d "$tmp_root/quillmax-pcre.XXXXXX")
trap 'rm -rf "$work"' EXIT
trap 'exit 1' HUP INT TERM
rm -f "$stamp"
mkdir -p "$work/build" "$out/lib" "$out/include"
# The unpacked source stays as Debian ships it; the patches go onto a copy.
cp -a "$src" "$work/source"
for p in "${patches[@]}"; do
  patch -s -p1 -d "$work/source" <"$p"
done
{
  echo "/* The configuration of Quillmax's PCRE, over the defaults of PCRE's own config.h. */"
  for define in "${config_defines[@]}"; do echo "#define $define"; done
  echo '#include "config.h.generic"'
} >"$work/build/config.h"
# The header from its template, with the version the shipped header names.
version_of() { sed -n "s/^#define $1 *//p" "$work/source/pcre.h.generic"; }
sed -e "s/@PCRE_MAJOR@/$(version_of PCRE_MAJOR)/" -e "s/@PCRE_MINOR@/$(version_of PCRE_MINOR)/" \
  -e "s/@PCRE_PRERELEASE@/$(version_of PCRE_PRERELEASE)/" -e "s/@PCRE_DATE@/$(version_of PCRE_DATE)/" \
  "$work/source/pcre.h.in" >"$work/build/pcre.h"
cp "$work/source/pcre_chartables.c.dist" "$work/source/pcre_chartables.c"
compile=("${cc[@]}" -DHAVE_CONFIG_H -I"$work/build" -I"$work/source" -fvisibility=hidden $cflags
  "-ffile-prefix-map=$work=$mapped_dir" "${pic[@]}")
export work
printf '%s\n' "${pcre_sources[@]}" |
  xargs -P "$(nproc)" -n 1 bash -c \
    'source=${!#}; "${@:1:$#-1}" -c "$work/source/$source" -o "$work/build/${source%.c}.o"' \
    bash "${compile[@]}"
(cd "$work/build" && "$ar" rcsD libpcre.a "${pcre_sources[@]/%.c/.o}")
# Replaced only when they differ, so that an unchanged header does not make
# the plug-in recompile.
cmp -s "$work/build/libpcre.a" "$out/lib/libpcre.a" || cp "$work/build/libpcre.a" "$out/lib/"
cmp -s "$work/build/pcre.h" "$out/include/pcre.h" || cp "$work/build/pcre.h" "$out/include/"
printf '%s\n' "$configuration" >"$stamp"
echo "build-pcre: $target ready in $out"
