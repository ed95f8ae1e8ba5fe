#!/usr/bin/env bash
# Checks what a user gets from build/: the install in a temporary DESTDIR (the
# expected files, --version and --help, the installed editor starting under a
# private X server from a folder without data, the alert naming where it
# looked when no data is found), the desktop entry and the AppStream metadata
# with Debian's validators, and the Debian package (its file list, lintian).
# Run after scripts/build.sh; ./test.sh calls it. Exits non-zero on a failure.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$PWD/build
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "check-install: FAILED: $*" >&2; failures=$((failures + 1)); }
pass() { echo "check-install: ok: $*"; }

mapfile -t programs < "$build/packaging/programs.txt"
# The audio plugins the build made (none when their headers were missing).
mapfile -t plugins < <(grep . "$build/packaging/plugins.txt" || true)
id=$(cat "$build/packaging/app-id.txt")
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")

# The files below the prefix /usr, as the install and the package must hold them.
expected_files() {
  local p f s
  for p in "${programs[@]}"; do echo "usr/bin/$p"; echo "usr/share/man/man1/$p.1.gz"; done
  for f in data/bin/* data/img/*; do echo "usr/share/orvella/${f#data/}"; done
  for s in 48 128 256; do echo "usr/share/icons/hicolor/${s}x${s}/apps/$id.png"; done
  echo "usr/share/icons/hicolor/scalable/apps/$id.svg"
  echo "usr/share/applications/$id.desktop"
  echo "usr/share/metainfo/$id.metainfo.xml"
  echo "usr/lib/udev/rules.d/70-orvella-drevani.rules"
  echo "usr/share/doc/orvella/copyright"
  echo "usr/share/doc/orvella/changelog.gz"
  for f in "${plugins[@]}"; do echo "usr/$f"; done
}
expected_files | sort > "$tmp/expected"

# 1. Install into a temporary DESTDIR.
DESTDIR="$tmp/root" cmake --install "$build" --prefix /usr > /dev/null
(cd "$tmp/root" && find . -type f -o -type l | sed 's|^\./||' | sort) > "$tmp/installed"
if diff -u "$tmp/expected" "$tmp/installed" > "$tmp/diff"; then pass "install holds the expected files"
else fail "install's files differ from the expected list:"; cat "$tmp/diff" >&2; fi
usr="$tmp/root/usr"

# Manual pages name the folders of the prefix installed to, and no rendering
# width hyphenates a word (a path, a program's name) across lines.
man_problems() {  # man_problems PAGE.gz DATADIR: prints what is wrong
  local page=$1 datadir=$2 w
  zcat "$page" | grep -q "/usr/local" && echo "$page names /usr/local"
  if zcat "$page" | grep -q "share/orvella" && ! zcat "$page" | grep -q "$datadir"; then
    echo "$page does not name $datadir"
  fi
  for w in 50 60 72 80 100; do
    MANWIDTH=$w LC_ALL=C.UTF-8 man -l "$page" 2> /dev/null | grep -n $'\xe2\x80\x90$' \
      | sed "s|^|$page at width $w hyphenates line |"
  done
  true
}
problems=""
for p in "${programs[@]}"; do problems+=$(man_problems "$usr/share/man/man1/$p.1.gz" /usr/share/orvella); done
DESTDIR="$tmp/opt" cmake --install "$build" --prefix /opt/orvella > /dev/null
problems+=$(man_problems "$tmp/opt/opt/orvella/share/man/man1/orvella-cli.1.gz" /opt/orvella/share/orvella)
[ -z "$problems" ] && pass "manual pages name the installed prefix's folders and hyphenate nothing" \
  || fail "manual pages: $problems"

out=$("$usr/bin/orvella" --version)
[ "$out" = "orvella $version" ] && pass "orvella --version says $version" || fail "orvella --version said '$out'"
"$usr/bin/orvella" --help | grep -q "^Usage: orvella" && pass "orvella --help" || fail "orvella --help"

# 2. The installed editor, started from a folder without data, with no pedal
# (ORVELLA_VIRTUAL_ONLY leaves real ones out) and its dialogs printed.
run_editor() {  # run_editor EXE FOLDER LOG: start, wait for start-up, stop
  local exe=$1 folder=$2 log=$3
  mkdir -p "$tmp/home" "$tmp/pedals"
  # HOMEDRIVE relative: it must keep naming a folder below the starting one.
  (cd "$folder" && HOME="$tmp/home" HOMEDRIVE="relhome" USERPROFILE="" ORVELLA_PEDAL_DIR="$tmp/pedals" \
     ORVELLA_VIRTUAL_ONLY=1 ORVELLA_DIALOGS=print \
     xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
       "$1" > "$2.out" 2> "$2" & pid=$!
       for _ in $(seq 300); do
         grep -q "^started: " "$2" && break
         kill -0 $pid 2> /dev/null || break
         sleep 0.1
       done
       if kill -0 $pid 2> /dev/null; then echo "running" >> "$2"; kill $pid; fi
       wait $pid; echo "exit status $?" >> "$2"' run "$exe" "$log")
}
mkdir -p "$tmp/elsewhere/relhome"
run_editor "$usr/bin/orvella" "$tmp/elsewhere" "$tmp/editor.log"
if grep -q "^started: data from $usr/share/orvella\$" "$tmp/editor.log" && grep -q "^running" "$tmp/editor.log" \
   && ! grep -q "^alert: " "$tmp/editor.log"; then
  pass "installed editor started from another folder and took its data from $usr/share/orvella"
else fail "installed editor did not start with its data:"; cat "$tmp/editor.log" >&2; fi
[ -d "$tmp/elsewhere/relhome/Kestrova/Orvella/presets" ] && pass "editor made its preset folder where HOMEDRIVE said" \
  || fail "no preset folder in $tmp/elsewhere/relhome"

# The same program where no data is beside it: the alert names where it looked, exit 0.
mkdir -p "$tmp/lonely/bin"
cp "$usr/bin/orvella" "$tmp/lonely/bin/"
run_editor "$tmp/lonely/bin/orvella" "$tmp/elsewhere" "$tmp/lonely.log"
if grep -q "^alert: One or more components required" "$tmp/lonely.log" \
   && grep -q "^    $tmp/elsewhere/bin\$" "$tmp/lonely.log" && grep -q "^    $tmp/lonely/bin/bin\$" "$tmp/lonely.log" \
   && grep -q "^    $tmp/lonely/share/orvella/bin\$" "$tmp/lonely.log" \
   && grep -q "^exit status 0" "$tmp/lonely.log" && ! grep -q "^started: " "$tmp/lonely.log"; then
  pass "without data the alert names the folders looked in and the editor ends with status 0"
else fail "missing data was not reported as expected:"; cat "$tmp/lonely.log" >&2; fi

# The installed command-line librarian: its version, and its data found from
# another folder (a whole backup is composed before it looks for a pedal, so
# with none attached it ends with "pedal not found", 4, not "file", 3).
out=$("$usr/bin/orvella-cli" --version)
[ "$out" = "orvella-cli $version" ] && pass "orvella-cli --version says $version" || fail "orvella-cli --version said '$out'"
# A bank a pedal can hold (a file of zeros names no speaker and is refused).
cp "$usr/share/orvella/bin/factoryset.fap" "$tmp/factory.bkp"
set +e
(cd "$tmp/elsewhere" && ORVELLA_PEDAL_DIR="$tmp/pedals" ORVELLA_VIRTUAL_ONLY=1 \
   "$usr/bin/orvella-cli" --quiet restore "$tmp/factory.bkp" > /dev/null 2> "$tmp/cli.err")
status=$?
set -e
[ "$status" -eq 4 ] && pass "installed orvella-cli found its data from another folder" \
  || { fail "installed orvella-cli restore ended with $status:"; cat "$tmp/cli.err" >&2; }

# The installed plugins find the data in <prefix>/share/orvella from their
# own place: the test host loads the installed CLAP plugin and lv2apply the
# installed LV2 bundle (playing an impulse response made by orvella-cli).
if [ -f "$usr/lib/clap/Orvella.clap" ]; then
  if ORVELLA_TEST_CLAP="$usr/lib/clap/Orvella.clap" "$build/tests/plugin/plugin_clap_tests" \
       --gtest_filter='ClapHost.StateAndPresets*:ClapHost.PlaysTheRender*' > "$tmp/clap.log" 2>&1; then
    pass "the installed CLAP plugin plays the render and loads its presets"
  else fail "installed CLAP plugin:"; tail -20 "$tmp/clap.log" >&2; fi
fi
if [ -f "$usr/lib/lv2/orvella.lv2/orvella.so" ]; then
  printf 'Plugin\n' > "$tmp/p.lop"; head -c 24 "$usr/share/orvella/bin/factoryset.fap" | head -c 12 >> "$tmp/p.lop"
  tail -c 96 "$usr/share/orvella/bin/factoryset.fap" | head -c 12 >> "$tmp/p.lop"
  if "$usr/bin/orvella-cli" --quiet ir --data "$usr/share/orvella" --lop "$tmp/p.lop" "$tmp/ir.wav" > "$tmp/lv2.log" 2>&1 \
     && LV2_PATH="$usr/lib/lv2" lv2apply -i "$tmp/ir.wav" -o "$tmp/lv2.wav" https://kestrova.example/plugins/orvella \
          >> "$tmp/lv2.log" 2>&1 \
     && lv2_validate "$usr/lib/lv2/orvella.lv2"/*.ttl 2>&1 | grep -q "Found 0 errors"; then
    pass "the installed LV2 bundle validates and plays"
  else fail "installed LV2 bundle:"; cat "$tmp/lv2.log" >&2; fi
fi

# 3. Desktop entry and AppStream metadata.
if desktop-file-validate "$usr/share/applications/$id.desktop"; then pass "desktop-file-validate"
else fail "desktop-file-validate"; fi
# --no-net: the screenshot and web addresses are under kestrova.example.
if appstreamcli validate --no-net --pedantic "$usr/share/metainfo/$id.metainfo.xml" > "$tmp/appstream" 2>&1; then
  pass "appstreamcli validate"
  # Informational only: cid-maybe-not-rdns (the .example domain is not one it knows).
  grep "^I: " "$tmp/appstream" | sed 's/^/  appstream: /' || true
else
  # Allowed: none. Every warning and error fails the check.
  fail "appstreamcli validate:"; cat "$tmp/appstream" >&2
fi

# 4. The Debian package: its file list, then lintian.
rm -f "$build"/package/orvella_*.deb
cmake --build "$build" --target package > "$tmp/cpack.log" 2>&1 || { cat "$tmp/cpack.log" >&2; fail "package build"; }
deb=$(ls "$build"/package/orvella_*.deb 2> /dev/null | head -1)
if [ -n "$deb" ]; then
  # The name is everything after the fifth field (data file names may hold spaces).
  dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { n = $0; for (i = 0; i < 5; i++) sub(/^[^ ]+ +/, "", n);
    sub(/ -> .*/, "", n); sub(/^\.\//, "", n); print n }' | sort > "$tmp/packaged"
  if diff -u "$tmp/expected" "$tmp/packaged" > "$tmp/diff"; then pass "dpkg-deb -c lists the expected files"
  else fail "package's files differ from the expected list:"; cat "$tmp/diff" >&2; fi
  dpkg-deb -f "$deb" Depends | grep -q "xdg-utils" && pass "package depends on xdg-utils" || fail "no xdg-utils dependency"
  mkdir -p "$tmp/deb" && dpkg-deb -x "$deb" "$tmp/deb"
  problems=$(man_problems "$tmp/deb/usr/share/man/man1/orvella-cli.1.gz" /usr/share/orvella)
  [ -z "$problems" ] && pass "the package's manual pages name /usr/share/orvella" || fail "package: $problems"
  # Built with Debian's hardening flags: lintian's hardening-* notes stay away.
  lintian -I --tag-display-limit 0 "$deb" 2> /dev/null | grep "hardening-" > "$tmp/hardening" || true
  [ ! -s "$tmp/hardening" ] && pass "lintian: no hardening-* tags" || { fail "lintian:"; cat "$tmp/hardening" >&2; }
  # Warnings left on purpose, if any, are listed in docs/install.md.
  if lintian --fail-on error --tag-display-limit 0 "$deb" > "$tmp/lintian" 2>&1; then
    pass "lintian: no errors"
    grep -v "root privileges" "$tmp/lintian" | sed 's/^/  lintian: /' || true
  else fail "lintian:"; cat "$tmp/lintian" >&2; fi
else
  fail "no package in $build/package"
fi

[ "$failures" -eq 0 ] || { echo "check-install: $failures check(s) failed" >&2; exit 1; }
echo "check-install: all checks passed"
