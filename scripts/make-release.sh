#!/usr/bin/env bash
# Builds the release archive: Quillmax.dll, its notes for the user in Polish
# (CZYTAJ.txt) and English (README.txt), the licence notices of everything
# linked into the DLL (LICENSES/) and SHA256SUMS. The same inputs give the
# same zip, byte for byte: every file carries the build's date and fixed
# permissions, the entries are in name order, and the zip records no owner
# and no extended time stamps.
#
# usage: make-release.sh ARCHIVE DLL VERSION EPOCH_FILE TEXT_DIR PCRE_SOURCE COMPILER
#   EPOCH_FILE   the build's date in seconds since 1970
#                (cmake/SourceDateEpoch.cmake); empty: the DLL's own time
#   TEXT_DIR     CZYTAJ.txt and README.txt in UTF-8, @QUILLMAX_VERSION@
#                standing for VERSION; shipped in Windows-1250 with CR LF,
#                the plain text of the users' Windows
#   PCRE_SOURCE  where the pcre3 source package the DLL's PCRE was built
#                from is unpacked: its debian/copyright is PCRE's notice
#   COMPILER     the mingw-w64 g++ that linked the DLL: the copyright files
#                of the Debian packages that installed its libstdc++, libgcc
#                and runtime are their notices
set -euo pipefail

usage='usage: make-release.sh ARCHIVE DLL VERSION EPOCH_FILE TEXT_DIR PCRE_SOURCE COMPILER'
[ $# -eq 7 ] || { echo "$usage" >&2; exit 2; }
archive=$(realpath -m "$1")
dll=$2 version=$3 epoch_file=$4 text_dir=$5 pcre_source=$6 compiler=$7

stage=$archive.stage
rm -rf "$stage" "$archive" "$archive.tmp"
mkdir -p "$stage/LICENSES"

cp "$dll" "$stage/Quillmax.dll"
for text in CZYTAJ.txt README.txt; do
  # iconv stops the build on a character Windows-1250 cannot hold.
  sed "s/@QUILLMAX_VERSION@/$version/g" "$text_dir/$text" | iconv -f UTF-8 -t CP1250 |
    sed 's/\r$//; s/$/\r/' >"$stage/$text"
done

# The copyright file of the Debian package that installed FILE.
copyright_of() {
  local file package
  file=$(realpath -e "$1") || { echo "make-release: no $1" >&2; return 1; }
  # "package: path", or "package:arch: path" for a multiarch package.
  package=$(dpkg-query -S "$file" | head -n 1 | sed 's/: .*//; s/:.*//')
  if [ ! -f "/usr/share/doc/$package/copyright" ]; then
    echo "make-release: $package, which installed $file, has no copyright file" >&2
    return 1
  fi
  echo "/usr/share/doc/$package/copyright"
}

pcre_copyright=$(find "$pcre_source" -mindepth 3 -maxdepth 3 -path '*/debian/copyright' | head -n 1)
if [ -z "$pcre_copyright" ]; then
  echo "make-release: no debian/copyright in the pcre3 source under $pcre_source" >&2
  exit 1
fi
cp "$pcre_copyright" "$stage/LICENSES/PCRE.txt"
cp "$(copyright_of "$("$compiler" -print-file-name=libstdc++.a)")" "$stage/LICENSES/libstdc++.txt"
cp "$(copyright_of "$("$compiler" -print-libgcc-file-name)")" "$stage/LICENSES/libgcc.txt"
cp "$(copyright_of "$("$compiler" -print-file-name=libmingwex.a)")" "$stage/LICENSES/mingw-w64.txt"

names() { (cd "$stage" && find . -type f | sed 's|^\./||' | LC_ALL=C sort); }
(cd "$stage" && names | xargs -d '\n' sha256sum) >"$archive.sums"
mv "$archive.sums" "$stage/SHA256SUMS"

epoch=$(cat "$epoch_file" 2>/dev/null || true)
[ -n "$epoch" ] || epoch=$(stat -c %Y "$dll")
find "$stage" -type d -exec chmod 755 {} +
find "$stage" -type f -exec chmod 644 {} +
find "$stage" -exec touch -d "@$epoch" {} +
# zip records local time: UTC makes it the same everywhere.
names | (cd "$stage" && TZ=UTC zip -q -X -D -@ "$archive.tmp")
mv "$archive.tmp" "$archive"
rm -rf "$stage"
