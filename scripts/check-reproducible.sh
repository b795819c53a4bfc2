#!/usr/bin/env bash
# Builds Quillmax.dll and its release archive a second time, from a fresh
# clone of the commit checked out here, at a path that holds a space, and
# compares both, byte for byte, with those of build/win32:
# the same commit must give the same files at any path and at any time.
# Run from make (`make test-reproducible`), after the win32 build.
set -euo pipefail
cd "$(dirname "$0")/.."

# The second build is of the commit: a working tree that differs from it
# would make the comparison meaningless. A developer's make test on work in
# progress skips it, saying so; a clean clone (CI) never does.
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "check-reproducible: SKIPPED: the working tree differs from its commit;" \
    "commit (or stash) the changes to compare two builds of it" >&2
  exit "${QUILLMAX_REPRO_DIRTY_STATUS:-0}"
fi

root=build/reproducible
clone="$root/sp test/Quillmax"
rm -rf "$root"
git clone -q --no-checkout . "$clone"
git -C "$clone" checkout -q --detach "$(git rev-parse HEAD)"
# PCRE as the first build made it: the library is the same from any
# directory (its build directory is mapped out of what the compiler
# records), so building it again would prove nothing the DLL does not.
# QUILLMAX_REPRO_PCRE=rebuild builds it again all the same.
if [ "${QUILLMAX_REPRO_PCRE:-}" != rebuild ] && [ -f build/pcre/win32/configuration ]; then
  mkdir -p "$clone/build/pcre"
  cp -a build/pcre/src build/pcre/win32 "$clone/build/pcre/"
fi
# A make of its own, not a part of the calling one's job pool.
env -u MAKEFLAGS -u MFLAGS -u MAKELEVEL make -C "$clone" win32 JOBS="${JOBS:-2}" \
  >"$root/build.log" 2>&1 || {
  tail -n 30 "$root/build.log" >&2
  echo "check-reproducible: the build in '$clone' failed (log: $root/build.log)" >&2
  exit 1
}

status=0
for file in Quillmax.dll release/*.zip; do
  for first in build/win32/$file; do
    second="$clone/$first"
    if cmp -s "$first" "$second"; then
      echo "same: $(sha256sum "$first")"
    else
      echo "check-reproducible: $first and '$second' differ:" >&2
      cmp -l "$first" "$second" | head -n 20 >&2 || true
      status=1
    fi
  done
done
[ $status -ne 0 ] || rm -rf "$root"
exit $status
