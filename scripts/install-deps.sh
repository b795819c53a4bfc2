#!/usr/bin/env bash
# Installs the Debian packages the project builds and tests with, and the
# deb-src entries that PCRE's source package needs. Does nothing when all of it
# is already there, so it is cheap to call before every build.
set -euo pipefail

packages=(
  build-essential dpkg-dev cmake
  g++-multilib g++-mingw-w64-i686 qemu-user
  googletest libgtest-dev libbenchmark-dev nlohmann-json3-dev
  clang libclang-rt-14-dev clang-format valgrind
  icoutils binutils-mingw-w64-i686 libunicorn-dev
  libzip-dev libexpat1-dev
  git zip unzip
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

# The deb-src entries, derived from the machine's own Debian entries (a local
# mirror gets entries for that mirror) into files of the project's own; the
# distribution's files stay untouched. (deb-src.sh reads QUILLMAX_APT_DIR
# instead of /etc/apt when it is set: its tests use made-up ones.)
deb_src=$(dirname "$0")/deb-src.sh
need_update=0
if ! bash "$deb_src" --check; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: the deb-src entries for apt-get source must be written; run as root" >&2
    exit 1
  fi
  bash "$deb_src" | sed 's/^/install-deps: deb-src entries in /'
  need_update=1
fi

if [ ${#missing[@]} -eq 0 ] && [ $need_update -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages: ${missing[*]}; run as root" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
