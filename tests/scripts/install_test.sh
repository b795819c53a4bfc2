#!/usr/bin/env bash
# make install with a PREFIX of its own into a staging directory (DESTDIR):
# everything lands under it, and the installed quillmax-host runs from there,
# finds its plug-in, and has its manual page and completion.
# Usage: install_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1
build=$(basename "$2")
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
passed=0
failed=0
check() {  # check NAME COMMAND...
  local name=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    echo "install_test: FAILED: $name" >&2
    failed=$((failed + 1))
  fi
}

# Run from ctest under make test, the outer make's jobserver is not this one's.
env -u MAKEFLAGS -u MAKELEVEL make -s -C "$source_dir" install DESTDIR="$stage" PREFIX=/opt/qmx INSTALL_BUILD="$build" >/dev/null
root=$stage/opt/qmx
installed=$(cd "$stage" && find . -type f | sort | tr '\n' ' ')
check "installs the tool, the plug-in beside its stand-in, the manual page and the completion" \
  test "$installed" = "./opt/qmx/bin/quillmax-host ./opt/qmx/lib/quillmax/Quillmax.so \
./opt/qmx/lib/quillmax/libquillmax_win32.so ./opt/qmx/share/bash-completion/completions/quillmax-host \
./opt/qmx/share/man/man1/quillmax-host.1 "

# From elsewhere, with nothing of the build in reach: the tool finds the
# plug-in it was installed with.
cd /
check "the installed tool corrects" test "$("$root/bin/quillmax-host" correct moze)" = "może"
check "the installed tool names the plug-in's version" \
  grep -q "^plug-in: Quillmax 0.0.5beta ($root/bin/../lib/quillmax/Quillmax.so)$" \
  <<<"$("$root/bin/quillmax-host" --version)"

if command -v man >/dev/null; then
  check "the manual page reads" grep -q "rules import" \
    <<<"$(MANWIDTH=80 man -l "$root/share/man/man1/quillmax-host.1" 2>/dev/null)"
fi
completions() {  # completions WORD... : what the completion offers for the last word
  bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _quillmax_host
           echo "${COMPREPLY[*]}"' _ "$root/share/bash-completion/completions/quillmax-host" "$@"
}
check "the completion offers subcommands" test "$(completions quillmax-host --log rules im)" = import
check "the completion offers options" test "$(completions quillmax-host correct --st)" = --stats
check "the completion offers values" test "$(completions quillmax-host set incoming o)" = "on off"

echo "$passed passed, $failed failed"
test "$failed" -eq 0
