#!/usr/bin/env bash
# The deb-src entries `apt-get source pcre3` needs, derived from this
# machine's own Debian entries: every enabled `deb` entry of a Debian suite
# (with component main) gets a `deb-src` twin with the same address, suites,
# components and options (Signed-By, signed-by=..., and the rest), so a
# machine behind a local mirror reads sources from that mirror. A suite that
# already has a deb-src entry at the same address is left out. The
# distribution's own files are only read; the entries go into files of the
# project's own, beside them:
#   sources.list.d/quillmax-deb-src.sources  twins of deb822 entries (*.sources)
#   sources.list.d/quillmax-deb-src.list     twins of one-line entries (*.list, sources.list)
#
# usage: scripts/deb-src.sh          write (or remove) those files where they
#                                    differ; print each file changed
#        scripts/deb-src.sh --check  exit 1 if they would change, 0 if not
#        scripts/deb-src.sh --print  print what they should hold
# Environment (for tests): QUILLMAX_APT_DIR (default /etc/apt) and
# QUILLMAX_OS_RELEASE (default /etc/os-release, for the release's codename).
#
# A Debian suite is the release's codename or one of Debian's aliases
# (stable, oldstable, testing, unstable, sid), alone or with -updates,
# -security, -backports, -backports-sloppy, -proposed-updates or /updates;
# other archives (a vendor's "nodistro", "bookworm-pgdg") are not Debian's.
set -euo pipefail

mode=${1:-write}
case "$mode" in write | --check | --print) ;; *)
  echo "usage: deb-src.sh [--check|--print]" >&2
  exit 2
  ;;
esac

apt_dir=${QUILLMAX_APT_DIR:-/etc/apt}
os_release=${QUILLMAX_OS_RELEASE:-/etc/os-release}
parts=$apt_dir/sources.list.d
own_sources=$parts/quillmax-deb-src.sources
own_list=$parts/quillmax-deb-src.list

codename=$(sed -n 's/^VERSION_CODENAME=["'\'']\{0,1\}\([^"'\'']*\).*/\1/p' "$os_release" \
  2>/dev/null | head -n 1 || true)

# The files apt reads, in its order; the project's own are skipped inside.
files=()
if [ -f "$apt_dir/sources.list" ]; then files+=("$apt_dir/sources.list"); fi
for f in "$parts"/*; do
  case "$f" in *.list | *.sources) if [ -f "$f" ]; then files+=("$f"); fi ;; esac
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
: >"$tmp/sources"
: >"$tmp/list"

if [ ${#files[@]} -eq 0 ]; then
  echo "deb-src.sh: no deb-src entry, and no Debian entry to derive one from" >&2
else
  # Two passes over the files: the first collects the deb-src entries already
  # there (address and suite), the second writes the missing twins.
  awk -v codename="$codename" -v own_sources="$own_sources" -v own_list="$own_list" \
    -v out_sources="$tmp/sources" -v out_list="$tmp/list" '
    function trim(s) { sub(/^[ \t]+/, "", s); sub(/[ \t]+$/, "", s); return s }
    function key(uri, suite) { sub(/\/+$/, "", uri); return uri SUBSEP suite }
    function has_word(list, word,   w, n, i) {
      n = split(list, w, /[ \t]+/)
      for (i = 1; i <= n; i++) if (w[i] == word) return 1
      return 0
    }
    function debian_suite(suite,   base) {
      base = suite
      if (!sub(/\/updates$/, "", base))
        sub(/-(updates|security|backports|backports-sloppy|proposed-updates)$/, "", base)
      return (codename != "" && base == codename) ||
        base ~ /^(stable|oldstable|oldoldstable|testing|unstable|sid)$/
    }
    function header(out) {
      if (out in started) return
      started[out] = 1
      print "# Written by Quillmax'"'"'s scripts/deb-src.sh (scripts/install-deps.sh) for" > out
      print "# apt-get source: a deb-src twin of each of this machine'"'"'s own Debian" > out
      print "# entries that has none. Rewritten when those entries change." > out
    }
    # deb822: a field value, continuation lines joined.
    function value(name,   v) {
      if (!(name in raw)) return ""
      v = raw[name]
      sub(/^[^:]*:/, "", v)
      gsub(/\n/, " ", v)
      return trim(v)
    }
    function reset_stanza() { delete raw; nfields = 0; field = "" }
    function end_stanza(   types, uris, suites, u, s, nu, ns, i, j, rest, k) {
      if (nfields == 0) return
      if (stanza_own || tolower(value("enabled")) == "no") { reset_stanza(); return }
      types = value("types")
      nu = split(value("uris"), u, /[ \t]+/)
      ns = split(value("suites"), s, /[ \t]+/)
      if (stanza_pass == 1) {
        if (has_word(types, "deb-src"))
          for (i = 1; i <= nu; i++) for (j = 1; j <= ns; j++) present[key(u[i], s[j])] = 1
      } else if (has_word(types, "deb") && has_word(value("components"), "main")) {
        for (i = 1; i <= nu; i++) {
          rest = ""
          for (j = 1; j <= ns; j++) {
            k = key(u[i], s[j])
            if (debian_suite(s[j]) && !(k in present) && !(k in written)) {
              written[k] = 1
              rest = rest (rest == "" ? "" : " ") s[j]
            }
          }
          if (rest == "") continue
          header(out_sources)
          print "" > out_sources
          print "Types: deb-src" > out_sources
          print "URIs: " u[i] > out_sources
          print "Suites: " rest > out_sources
          for (j = 1; j <= nfields; j++)
            if (order[j] != "types" && order[j] != "uris" && order[j] != "suites")
              print raw[order[j]] > out_sources
        }
      }
      reset_stanza()
    }
    FNR == 1 {
      end_stanza()
      deb822 = FILENAME ~ /\.sources$/
      own = FILENAME == own_sources || FILENAME == own_list
    }
    deb822 {
      if ($0 ~ /^[ \t]*$/) { end_stanza(); next }
      if ($0 ~ /^#/) next
      if ($0 ~ /^[ \t]/) { if (field != "") raw[field] = raw[field] "\n" $0; next }
      i = index($0, ":")
      if (i == 0) next
      if (nfields == 0) { stanza_pass = pass; stanza_own = own }
      field = tolower(trim(substr($0, 1, i - 1)))
      if (!(field in raw)) order[++nfields] = field
      raw[field] = $0
      next
    }
    # One-line entries: deb [options] uri suite [component...]
    !own {
      line = $0
      sub(/(^|[ \t])#.*$/, "", line)
      line = trim(line)
      if (line !~ /^deb(-src)?[ \t]/) next
      type = line; sub(/[ \t].*$/, "", type)
      rest = trim(substr(line, length(type) + 1))
      options = ""
      if (substr(rest, 1, 1) == "[") {
        i = index(rest, "]")
        if (i == 0) next
        options = substr(rest, 1, i)
        rest = trim(substr(rest, i + 1))
      }
      n = split(rest, t, /[ \t]+/)
      if (n < 2) next
      components = ""
      for (i = 3; i <= n; i++) components = components " " t[i]
      k = key(t[1], t[2])
      if (pass == 1) {
        if (type == "deb-src") present[k] = 1
      } else if (type == "deb" && has_word(components, "main") && debian_suite(t[2]) &&
                 !(k in present) && !(k in written)) {
        written[k] = 1
        header(out_list)
        print "deb-src" (options == "" ? "" : " " options) " " t[1] " " t[2] components > out_list
      }
    }
    END {
      end_stanza()
      for (k in present) found++
      for (k in written) found++
      if (!found) print "deb-src.sh: no deb-src entry, and no Debian entry to derive one from" > "/dev/stderr"
    }
  ' pass=1 "${files[@]}" pass=2 "${files[@]}"
fi

if [ "$mode" = --print ]; then
  cat "$tmp/sources" "$tmp/list"
  exit 0
fi

# The project's files as they should be: absent when they would be empty.
changed=0
for pair in "sources:$own_sources" "list:$own_list"; do
  new=$tmp/${pair%%:*}
  target=${pair#*:}
  if [ -s "$new" ]; then
    if ! cmp -s "$new" "$target"; then
      changed=1
      if [ "$mode" = write ]; then
        mkdir -p "$parts"
        install -m 644 "$new" "$target"
        echo "$target"
      fi
    fi
  elif [ -e "$target" ]; then
    changed=1
    if [ "$mode" = write ]; then
      rm -f "$target"
      echo "$target (removed)"
    fi
  fi
done

if [ "$mode" = --check ]; then
  exit $changed
fi
