#!/usr/bin/env bash
# scripts/deb-src.sh over made-up apt directories (QUILLMAX_APT_DIR), never
# the machine's own. Each case_* function is one row of the table: the files
# it is given, the codename of the release, and what the project's two files
# must hold afterwards (their header comment aside; a file not expected must
# not exist). For every row the script must also leave the given files as
# they were, then find nothing to change (--check) and change nothing on a
# second run.
set -uo pipefail

script=$(cd "$(dirname "$0")/../.." && pwd)/scripts/deb-src.sh
own_sources=sources.list.d/quillmax-deb-src.sources
own_list=sources.list.d/quillmax-deb-src.list

# given PATH: a file of the apt directory, from standard input.
given() { mkdir -p "$(dirname "$apt/$1")" && cat >"$apt/$1"; }
# expect PATH: what one of the project's files must hold.
expect() { cat >"$expected/$1"; }
codename() { printf 'PRETTY_NAME="Debian"\nVERSION_CODENAME=%s\n' "$1" >"$os_release"; }

debian_sources() {
  given sources.list.d/debian.sources <<'EOF'
Types: deb
# http://snapshot.debian.org/archive/debian/20250520T000000Z
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
}

case_deb822_as_installed() {
  codename bookworm
  debian_sources
  # A vendor's archive (component main, but no Debian suite) and files apt
  # does not read are no business of the script.
  given sources.list.d/nodesource.sources <<'EOF'
Types: deb
URIs: https://deb.nodesource.com/node_20.x
Suites: nodistro
Components: main
Architectures: amd64
Signed-By: /usr/share/keyrings/nodesource.gpg
EOF
  given sources.list.d/other.list.disabled <<<'deb http://deb.debian.org/debian trixie main'
  expect "$own_sources" <<'EOF'

Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
}

case_one_line_with_options() {
  codename bookworm
  given sources.list <<'EOF'
# deb cdrom:[Debian GNU/Linux 12]/ bookworm main
deb [arch=amd64 signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian/ bookworm main contrib
deb http://security.debian.org/debian-security bookworm-security main # security
#deb http://deb.debian.org/debian bookworm-backports main
deb [signed-by=/etc/apt/keyrings/docker.gpg] https://download.docker.com/linux/debian bookworm stable
EOF
  given sources.list.d/pgdg.list <<<'deb http://apt.postgresql.org/pub/repos/apt bookworm-pgdg main'
  expect "$own_list" <<'EOF'
deb-src [arch=amd64 signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian/ bookworm main contrib
deb-src http://security.debian.org/debian-security bookworm-security main
EOF
}

case_mirror_with_several_suites() {
  codename bookworm
  given sources.list.d/mirror.sources <<'EOF'
Types: deb
URIs: http://apt-mirror.lan:3142/debian/
Suites: bookworm bookworm-updates
  bookworm-backports
Components: main contrib non-free-firmware
Signed-By:
 -----BEGIN PGP PUBLIC KEY BLOCK-----
 .
 mDMEZHlUdxYJKwYBBAHaRw8BAQdA
 -----END PGP PUBLIC KEY BLOCK-----
Check-Valid-Until: no

Types: deb
URIs: http://apt-mirror.lan:3142/debian-security
Suites: bookworm-security
Components: main
Enabled: no
EOF
  expect "$own_sources" <<'EOF'

Types: deb-src
URIs: http://apt-mirror.lan:3142/debian/
Suites: bookworm bookworm-updates bookworm-backports
Components: main contrib non-free-firmware
Signed-By:
 -----BEGIN PGP PUBLIC KEY BLOCK-----
 .
 mDMEZHlUdxYJKwYBBAHaRw8BAQdA
 -----END PGP PUBLIC KEY BLOCK-----
Check-Valid-Until: no
EOF
}

case_deb_src_already_there() {
  codename bookworm
  given sources.list.d/debian.sources <<'EOF'
Types: deb deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
EOF
  given sources.list <<'EOF'
deb http://deb.debian.org/debian bookworm-updates main
deb http://deb.debian.org/debian-security/ bookworm-security main
deb-src http://deb.debian.org/debian-security bookworm-security main
EOF
  expect "$own_list" <<'EOF'
deb-src http://deb.debian.org/debian bookworm-updates main
EOF
}

case_all_there_drops_our_old_file() {
  codename bookworm
  given sources.list <<'EOF'
deb http://deb.debian.org/debian bookworm main
deb-src http://deb.debian.org/debian bookworm main
EOF
  given "$own_sources" <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
EOF
}

case_old_hard_coded_file_follows_the_mirror() {
  codename bookworm
  given sources.list.d/debian.sources <<'EOF'
Types: deb
URIs: http://apt-mirror.lan/debian
Suites: bookworm
Components: main
EOF
  given "$own_sources" <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  expect "$own_sources" <<'EOF'

Types: deb-src
URIs: http://apt-mirror.lan/debian
Suites: bookworm
Components: main
EOF
}

case_unstable_without_codename() {
  printf 'PRETTY_NAME="Debian GNU/Linux trixie/sid"\n' >"$os_release"
  given sources.list <<<'deb http://deb.debian.org/debian unstable main'
  expect "$own_list" <<<'deb-src http://deb.debian.org/debian unstable main'
}

case_nothing_configured() {
  codename bookworm
  mkdir -p "$apt/sources.list.d"
}

# Lines of a file without the header comment; nothing for a missing file.
content() { if [ -e "$1" ]; then grep -v '^#' "$1"; fi; }
# Checksums of the files the script must only read.
given_sums() {
  (cd "$apt" && find . -type f ! -name 'quillmax-deb-src.*' -print0 | sort -z |
    xargs -0 -r md5sum)
}

run_case() {
  local name=$1 work
  work=$(mktemp -d)
  apt=$work/apt expected=$work/expected os_release=$work/os-release
  mkdir -p "$apt" "$expected/sources.list.d"
  "$name"
  local before failures=0
  before=$(given_sums)
  if ! QUILLMAX_APT_DIR=$apt QUILLMAX_OS_RELEASE=$os_release bash "$script" >"$work/out" 2>&1; then
    echo "$name: the script failed:"; cat "$work/out"; failures=1
  fi
  for own in "$own_sources" "$own_list"; do
    if [ -e "$expected/$own" ] && [ ! -e "$apt/$own" ]; then
      echo "$name: $own was not written"; failures=1
    elif [ ! -e "$expected/$own" ] && [ -e "$apt/$own" ]; then
      echo "$name: $own should not exist; it holds:"; cat "$apt/$own"; failures=1
    elif ! diff -u <(content "$expected/$own") <(content "$apt/$own") >"$work/diff"; then
      echo "$name: $own differs from the expected:"; cat "$work/diff"; failures=1
    elif [ -e "$apt/$own" ] && ! head -n 1 "$apt/$own" | grep -q '^# Written by Quillmax'; then
      echo "$name: $own lacks its header"; failures=1
    fi
  done
  if [ "$(given_sums)" != "$before" ]; then
    echo "$name: the script changed a file it was given"; failures=1
  fi
  if ! QUILLMAX_APT_DIR=$apt QUILLMAX_OS_RELEASE=$os_release bash "$script" --check; then
    echo "$name: --check still finds something to change"; failures=1
  fi
  if [ -n "$(QUILLMAX_APT_DIR=$apt QUILLMAX_OS_RELEASE=$os_release bash "$script")" ]; then
    echo "$name: a second run changed something"; failures=1
  fi
  rm -rf "$work"
  return $failures
}

passed=0 failed=0
for name in $(declare -F | awk '$3 ~ /^case_/ {print $3}'); do
  if run_case "$name"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
  fi
done
echo "deb-src: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
