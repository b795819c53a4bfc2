#!/usr/bin/env bash
# Installs the Debian packages the project builds and tests with, and the
# deb-src entry that PCRE's source package needs. Does nothing when all of it
# is already there, so it is cheap to call before every build.
set -euo pipefail

packages=(
  build-essential dpkg-dev cmake
  g++-multilib g++-mingw-w64-i686 qemu-user
  googletest libgtest-dev libbenchmark-dev nlohmann-json3-dev
  clang libclang-rt-14-dev clang-format valgrind
  icoutils binutils-mingw-w64-i686 libunicorn-dev
)

src_list=/etc/apt/sources.list.d/quillmax-deb-src.sources

have_deb_src() {
  grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/
}

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

need_update=0
if ! have_deb_src; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: a deb-src entry is needed; run as root" >&2
    exit 1
  fi
  # A file of our own, so the distribution's debian.sources stays untouched.
  cat >"$src_list" <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
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
