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
#   OUT_DIR/configuration   the stamp: the configure arguments and the source
#                           version
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
pcre_options=(--enable-static --disable-shared --disable-cpp --disable-jit --disable-utf
  --disable-unicode-properties --disable-stack-for-recursion --with-match-limit-recursion=20000
  --with-link-size=3 --disable-pcre16 --disable-pcre32)

# configure's own default CFLAGS unless the target names others.
cflags="-g -O2"
case "$target" in
  native) host_args=(--with-pic) ;;
  i386) host_args=(--with-pic --host=i686-linux-gnu --build=x86_64-linux-gnu "CC=gcc -m32") ;;
  win32) host_args=(--host=i686-w64-mingw32 --build=x86_64-linux-gnu) ;;
  fuzz)
    host_args=(--with-pic CC=clang)
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
  # Debian's patches touch the autotools inputs; without fresh timestamps
  # make would try to rerun aclocal-1.15, which Debian 12 does not have.
  (cd "$src" && touch aclocal.m4 && touch configure config.h.in Makefile.in)
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
  "${pcre_options[*]}" "${host_args[*]}" "CFLAGS=$cflags -ffile-prefix-map=...=$mapped_dir" \
  "$(cat "${patches[@]}" | sha256sum)")
if [ -f "$out/lib/libpcre.a" ] && [ -f "$out/include/pcre.h" ] &&
  [ "$(cat "$stamp" 2>/dev/null)" = "$configuration" ]; then
  touch "$stamp"
  exit 0
fi

# Autoconf refuses a source or build path that holds a space ("unsafe
# srcdir value"), and a clone may sit at any path: PCRE is configured and
# built in a directory of its own under the temporary directory, and only
# the library and its header come back into OUT_DIR.
tmp_root=${TMPDIR:-/tmp}
case "$tmp_root" in *[[:space:]]*) tmp_root=/tmp ;; esac
work=$(mktemp -d "$tmp_root/quillmax-pcre.XXXXXX")
trap 'rm -rf "$work"' EXIT
trap 'exit 1' HUP INT TERM
rm -f "$stamp"
mkdir -p "$work/build" "$out/lib" "$out/include"
# The unpacked source stays as Debian ships it; the patches go onto a copy
# (timestamps kept, so that make does not try to rerun the autotools).
cp -a "$src" "$work/source"
for p in "${patches[@]}"; do
  patch -s -p1 -d "$work/source" <"$p"
done
(
  cd "$work/build"
  "$work/source/configure" -q "${pcre_options[@]}" "${host_args[@]}" \
    "CFLAGS=$cflags -ffile-prefix-map=$work=$mapped_dir" >/dev/null
  # PCRE's own make, independent of the make that runs this step (its
  # jobserver is not passed down to a script).
  env -u MAKEFLAGS -u MFLAGS -u MAKELEVEL make -s -j"$(nproc)" libpcre.la >/dev/null
)
# Replaced only when they differ, so that an unchanged header does not make
# the plug-in recompile.
cmp -s "$work/build/.libs/libpcre.a" "$out/lib/libpcre.a" || cp "$work/build/.libs/libpcre.a" "$out/lib/"
cmp -s "$work/build/pcre.h" "$out/include/pcre.h" || cp "$work/build/pcre.h" "$out/include/"
printf '%s\n' "$configuration" >"$stamp"
echo "build-pcre: $target ready in $out"
