#!/usr/bin/env bash
# Builds PCRE 8.39 from Debian's pcre3 source package as a static library for
# one target (native, i386 or win32) into build/deps/<target>/, in the one
# configuration the plug-in ships with: 8-bit only, no UTF-8, no JIT, no C++
# wrapper, match recursion on the heap so that a hostile message cannot
# overflow the host's stack. A finished build is reused.
#
# usage: scripts/build-pcre.sh native|i386|win32 [BUILD_ROOT]
set -euo pipefail

target=${1:?usage: build-pcre.sh native|i386|win32 [BUILD_ROOT]}
root=$(cd "$(dirname "$0")/.." && pwd)
build_root=${2:-$root/build}
deps=$build_root/deps
prefix=$deps/$target

# The one configuration of every build. Deep matches keep their frames on
# the heap; the recursion limit bounds them (about 7 MB a match) so that a
# hostile message cannot make the host's memory grow without end. The
# plug-in compiles every pattern with a callout before each item, which
# makes the compiled form about four times larger; four-byte links keep
# long rules (thousands of characters) within what PCRE compiles.
pcre_options=(--enable-static --disable-shared --disable-cpp --disable-jit --disable-utf
  --disable-unicode-properties --disable-stack-for-recursion --with-match-limit-recursion=20000
  --with-link-size=4 --disable-pcre16 --disable-pcre32)
stamp="$prefix/configuration"
if [ -f "$prefix/lib/libpcre.a" ] && [ -f "$prefix/include/pcre.h" ] &&
  [ "$(cat "$stamp" 2>/dev/null)" = "${pcre_options[*]}" ]; then
  exit 0
fi

case "$target" in
  native) host_args=(--with-pic) ;;
  i386) host_args=(--with-pic --host=i686-linux-gnu --build=x86_64-linux-gnu "CC=gcc -m32") ;;
  win32) host_args=(--host=i686-w64-mingw32 --build=x86_64-linux-gnu) ;;
  *)
    echo "build-pcre: unknown target '$target' (native, i386 or win32)" >&2
    exit 2
    ;;
esac

# One unpacked source tree serves all three targets; builds happen out of tree.
src_parent=$deps/src
lock=$deps/.src.lock
mkdir -p "$src_parent"
exec 9>"$lock"
flock 9
src=$(find "$src_parent" -maxdepth 1 -type d -name 'pcre3-8.39' | head -n 1)
if [ -z "$src" ]; then
  (cd "$src_parent" && { apt-get source -qq pcre3 >/dev/null 2>&1 ||
    { apt-get update -qq && apt-get source -qq pcre3 >/dev/null; }; })
  src=$(find "$src_parent" -maxdepth 1 -type d -name 'pcre3-8.39' | head -n 1)
  if [ -z "$src" ]; then
    echo "build-pcre: Debian's pcre3 source is not version 8.39" >&2
    exit 1
  fi
  # Debian's patches touch the autotools inputs; without fresh timestamps
  # make would try to rerun aclocal-1.15, which Debian 12 does not have.
  (cd "$src" && touch aclocal.m4 && touch configure config.h.in Makefile.in)
fi
flock -u 9

work=$deps/build-$target
rm -rf "$work"
mkdir -p "$work" "$prefix/lib" "$prefix/include"
(
  cd "$work"
  "$src/configure" -q "${pcre_options[@]}" "${host_args[@]}" >/dev/null
  make -s -j"$(nproc)" libpcre.la >/dev/null
)
cp "$work/.libs/libpcre.a" "$prefix/lib/"
cp "$work/pcre.h" "$prefix/include/"
printf '%s\n' "${pcre_options[*]}" >"$stamp"
rm -rf "$work"
echo "build-pcre: $target ready in $prefix"
