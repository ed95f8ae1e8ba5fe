#!/usr/bin/env bash
# The Windows programs under Wine against virtual pedals; run by ./test.sh
# (with CI set, or as ./test.sh --windows) under Xvfb, after
# scripts/build-windows.sh --tests and the Linux build:
#
#   tests/windows/run-wine-tests.sh [--screenshot FILE.png]
#
# 1. the toolkit-free suites as .exe (ctest in build-windows);
# 2. orvella-cli.exe backup and restore through a COM port that is a Linux
#    virtual pedal's pseudo-terminal, byte for byte, sending what the Linux
#    orvella-cli sends for the same restore; a second orvella-cli.exe is
#    refused (status 4) while the first holds the port;
# 3. orvella.exe connects, READs preset 3 and WRITEs it back with a new title,
#    clicked with xdotool; the pedal receives what the Linux editor sends for
#    the same clicks;
# 4. the CLAP plugin: the test host (.exe) plays the same output bytes
#    through Orvella.clap as the Linux test host through the Linux plugin;
# 5. the installer installs silently, the installed editor starts and finds
#    its data, the installed plugin loads and plays, the uninstaller removes
#    the programs and the plugin and leaves the presets.
# Everything runs in a private Wine prefix that is removed afterwards.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
win=$root/build-windows
linux=$root/build/run
screenshot=""
[ "${1:-}" = "--screenshot" ] && screenshot=$2

fail() { echo "FAILED: $*" >&2; exit 1; }
step() { echo "== $* ($(( $(date +%s) - started )) s)"; }
started=$(date +%s)

[ -n "${DISPLAY:-}" ] || fail "no X display (run under xvfb-run)"
for f in "$win/orvella.exe" "$win/orvella-cli.exe" "$win"/Orvella-*-setup.exe "$linux/orvella-pedal" \
         "$linux/orvella" "$linux/orvella-cli" "$win/plugin/Orvella.clap" "$win/tests/windows_plugin_clap_tests.exe" \
         "$root/build/tests/plugin/plugin_clap_tests"; do
  [ -f "$f" ] || fail "missing $f: run scripts/build-windows.sh --tests and scripts/build.sh first"
done
for tool in wine wineboot wineserver openbox xdotool; do
  command -v "$tool" >/dev/null || fail "missing $tool (scripts/install-deps.sh installs it)"
done

# Statically linked: nothing but the system's own libraries to ship.
for exe in "$win/orvella.exe" "$win/orvella-cli.exe" "$win/plugin/Orvella.clap"; do
  x86_64-w64-mingw32-objdump -p "$exe" >"/tmp/orvella-imports.$$" || fail "cannot read $exe"
  if grep -iE 'DLL Name: (lib|fltk|portaudio)' "/tmp/orvella-imports.$$"; then
    rm -f "/tmp/orvella-imports.$$"
    fail "$exe needs the DLLs above"
  fi
  rm -f "/tmp/orvella-imports.$$"
done

work=$(mktemp -d /tmp/orvella-wine.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  WINEPREFIX=$work/prefix wineserver -k 2>/dev/null || true
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
[ -n "${ORVELLA_KEEP_WINE_WORK:-}" ] && trap 'echo "Kept $work"; WINEPREFIX=$work/prefix wineserver -k 2>/dev/null || true' EXIT
trap 'exit 130' INT TERM HUP

export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
# Wine's own output goes to files, never into a pipe: its services keep a
# pipe open long after the program ended.
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
step "Wine prefix"
# A server that stays between programs, then the prefix itself.
mkdir -p "$WINEPREFIX"
wineserver -p
wineboot --init >"$work/wineboot.log" 2>&1
wine cmd /c exit >"$work/wine-warm.log" 2>&1

step "Toolkit-free suites under Wine"
ctest --test-dir "$win" --output-on-failure --timeout 300 -j2

# wait_for SECONDS COMMAND...: polls (every 0.1 s) until the command succeeds.
wait_for() {
  local limit=$(( $1 * 10 )); shift
  for _ in $(seq "$limit"); do "$@" && return 0; sleep 0.1; done
  return 1
}
# The pedal's command log without its time stamps: what it received and answered.
commands() { grep -v ' # ' "$1" | cut -d' ' -f2-; }
# Waits until the pedal's log holds a line naming $2 and then stays unchanged for a second.
settled() {
  local log=$1 name=$2 last="" now
  wait_for 60 grep -q " $name " "$log" || return 1
  for _ in $(seq 100); do
    now=$(wc -l <"$log")
    [ "$now" = "$last" ] && return 0
    last=$now
    sleep 1
  done
  return 1
}

# pedal NAME SERIAL [COM [PEDAL OPTIONS...]]: a Linux virtual pedal registered in $work/NAME (for
# the Linux programs); with COM, its pseudo-terminal is also that port in the
# prefix, registered for the Windows programs in $work/NAME-win.
pedal() {
  local name=$1 serial=$2 com=${3:-}
  shift $(( $# < 3 ? $# : 3 ))
  mkdir -p "$work/$name"
  "$linux/orvella-pedal" --dir "$work/$name" --serial "$serial" --log "$work/$name.log" \
    --state "$work/$name.state" --factory "$root/data/bin/factoryset.fap" "$@" >"$work/$name.out" 2>&1 &
  pids+=($!)
  wait_for 30 test -f "$work/$name/$serial.pedal" || fail "the virtual pedal $name did not start"
  [ -n "$com" ] || return 0
  local tty
  tty=$(sed -n 's/^tty=//p' "$work/$name/$serial.pedal")
  # The pseudo-terminal needs a controlling process of its own, or the Wine
  # server becomes it: a session leader that opens it and waits.
  setsid sh -c "exec sleep 100000 <'$tty'" &
  pids+=($!)
  ln -sfn "$tty" "$WINEPREFIX/dosdevices/${com,,}"
  mkdir -p "$work/$name-win"
  printf 'description=Kestrova Drevani\nserial=%s\ntty=%s\ntx-stalled=0\npid=0\n' "$serial" "$com" \
    >"$work/$name-win/$serial.pedal"
}

step "orvella-cli.exe backup and restore through COM5"
pedal cli VPW0000001 COM5
pedal clilinux VPL0000001
export ORVELLA_VIRTUAL_ONLY=1
(
  export ORVELLA_PEDAL_DIR="Z:$work/cli-win"
  cd "$work"
  wine "$win/orvella-cli.exe" backup "Z:$work/before.bkp" >"$work/cli1.out" 2>&1 || fail "backup: $(cat "$work/cli1.out")"
  # The same bank with presets 1 and 2 swapped (24 bytes each) and 8 renamed.
  python3 - "$work/before.bkp" "$work/changed.bkp" <<'EOF'
import sys
bank = bytearray(open(sys.argv[1], 'rb').read())
assert len(bank) == 192
bank[0:24], bank[24:48] = bank[24:48], bank[0:24]
open(sys.argv[2], 'wb').write(bank)
EOF
  cmp -s "$work/before.bkp" "$work/changed.bkp" && fail "the changed bank equals the first"
  wine "$win/orvella-cli.exe" restore "Z:$work/changed.bkp" >"$work/cli2.out" 2>&1 || fail "restore: $(cat "$work/cli2.out")"
  wine "$win/orvella-cli.exe" backup "Z:$work/after.bkp" >"$work/cli3.out" 2>&1 || fail "backup: $(cat "$work/cli3.out")"
)
cmp "$work/changed.bkp" "$work/after.bkp" || fail "the pedal does not hold the restored bank byte for byte"
# The paths it shows are Windows paths: the backup it wrote, with backslashes.
grep -qF "Z:${work//\//\\}\\before.bkp" "$work/cli1.out" \
  || fail "orvella-cli.exe did not show the backup's path with backslashes: $(cat "$work/cli1.out")"
# The Linux orvella-cli, given the same three commands on a pedal with the
# same start, sends the same bytes.
(
  export ORVELLA_PEDAL_DIR=$work/clilinux
  "$linux/orvella-cli" backup "$work/before-linux.bkp" >"$work/cli-linux.out" 2>&1 &&
    "$linux/orvella-cli" restore "$work/changed.bkp" >>"$work/cli-linux.out" 2>&1 &&
    "$linux/orvella-cli" backup "$work/after-linux.bkp" >>"$work/cli-linux.out" 2>&1
) || fail "Linux orvella-cli: $(cat "$work/cli-linux.out")"
diff <(commands "$work/cli.log") <(commands "$work/clilinux.log") >"$work/cli.diff" \
  || { head -20 "$work/cli.diff"; fail "orvella-cli.exe sent other bytes than orvella-cli"; }
echo "orvella-cli.exe and orvella-cli sent the same $(commands "$work/cli.log" | wc -l) commands"

step "orvella-cli.exe and a pedal that never answers (COM7)"
pedal silent VPW0000003 COM7 --fault no-reply
set +e
( export ORVELLA_PEDAL_DIR="Z:$work/silent-win"; cd "$work"
  wine "$win/orvella-cli.exe" status >"$work/silent.out" 2>&1 )
code=$?
set -e
# The read time-outs end the wait: a communication error (5), not a hang.
[ "$code" = 5 ] || fail "status on a silent pedal ended with $code: $(cat "$work/silent.out")"
grep -q ' status ' "$work/silent.log" || fail "the silent pedal received no command"

step "a second orvella-cli.exe while the first holds COM8"
pedal busy VPW0000004 COM8 --fault slow-reply=0.4
(
  export ORVELLA_PEDAL_DIR="Z:$work/busy-win"
  cd "$work"
  wine "$win/orvella-cli.exe" restore "Z:$work/before.bkp" >"$work/busy1.out" 2>&1 &
  first=$!
  wait_for 60 grep -q ' status ' "$work/busy.log" || fail "the first orvella-cli.exe sent nothing"
  set +e
  wine "$win/orvella-cli.exe" --quiet status >"$work/busy2.out" 2>"$work/busy2.err"
  code=$?
  kill -0 "$first" 2>/dev/null || fail "the first program ended before the second was done: $(cat "$work/busy1.out")"
  wait "$first"
  firstCode=$?
  set -e
  # Refused for the whole run as on Linux: "in use" (4), said on standard
  # error only; the first one's restore is not disturbed.
  [ "$code" = 4 ] || fail "the second program ended with $code: $(cat "$work/busy2.out" "$work/busy2.err")"
  grep -q 'in use by another program' "$work/busy2.err" || fail "no reason given: $(cat "$work/busy2.err")"
  [ ! -s "$work/busy2.out" ] || fail "--quiet printed on standard output: $(cat "$work/busy2.out")"
  [ "$firstCode" = 0 ] || fail "the first program's restore failed: $(cat "$work/busy1.out")"
)

# gui_session NAME COMMAND...: starts an editor connected to pedal NAME,
# READs preset 3, WRITEs it back titled "UNDER WINE", and stops the editor.
gui_session() {
  local name=$1; shift
  : >"$work/$name.err"
  ORVELLA_DIALOGS=print "$@" 2>"$work/$name.err" >"$work/$name.stdout" &
  local editor=$!
  pids+=($editor)
  wait_for 60 grep -q '^started: data from' "$work/$name.err" || fail "$name: the editor did not start: $(cat "$work/$name.err")"
  local window
  wait_for 30 xdotool search --onlyvisible --name '^Kestrova - Orvella' >"$work/$name.window" || fail "$name: no window"
  window=$(head -1 "$work/$name.window")
  # Start-up connects and loads preset 1.
  settled "$work/$name.log" read-preset || fail "$name: the editor did not connect: $(cat "$work/$name.err")"
  xdotool mousemove --window "$window" 228 498 click 1      # Preset-3
  sleep 0.5
  local before
  before=$(grep -c ' read-preset ' "$work/$name.log")
  xdotool mousemove --window "$window" 677 528 click 1      # READ
  wait_for 30 test "$(grep -c ' read-preset ' "$work/$name.log")" -gt "$before" || fail "$name: READ sent nothing"
  settled "$work/$name.log" read-preset
  xdotool mousemove --window "$window" 434 504 click 1      # the title
  xdotool key --window "$window" ctrl+a BackSpace
  xdotool type --window "$window" --delay 30 "UNDER WINE"
  xdotool key --window "$window" Return
  sleep 0.5
  xdotool mousemove --window "$window" 768 528 click 1      # WRITE
  settled "$work/$name.log" store-image || fail "$name: WRITE stored nothing: $(cat "$work/$name.err")"
  if [ -n "$screenshot" ] && [ "$name" = gui ]; then
    import -window root "$screenshot" && echo "Screenshot: $screenshot"
  fi
  kill "$editor" 2>/dev/null || true
  wait "$editor" 2>/dev/null || true
}

step "orvella.exe READ and WRITE through COM6"
pedal gui VPW0000002 COM6
(
  cd "$win"
  export ORVELLA_PEDAL_DIR="Z:$work/gui-win"
  gui_session gui wine "$win/orvella.exe"
)
grep -q '^alert' "$work/gui.err" && fail "the Windows editor showed an alert: $(grep '^alert' "$work/gui.err")"
step "the Linux editor, same clicks"
pedal guilinux VPL0000002
(
  cd "$linux"
  mkdir -p "$work/home-guilinux"
  export ORVELLA_PEDAL_DIR=$work/guilinux HOMEDRIVE=$work/home-guilinux USERPROFILE=$work/home-guilinux
  gui_session guilinux "$linux/orvella"
)
diff <(commands "$work/gui.log") <(commands "$work/guilinux.log") >"$work/gui.diff" \
  || { head -20 "$work/gui.diff"; fail "the Windows editor sent other bytes than the Linux editor"; }
echo "orvella.exe and orvella sent the same $(commands "$work/gui.log" | wc -l) commands"
grep ' store-header ' "$work/gui.log" | tr -d ' ' | grep -qi "$(printf 'UNDER WINE' | xxd -p)" \
  || fail "the stored title is not the one typed"

step "CLAP plugin: the same output bytes as on Linux"
# The test host's first sound (a random record set by parameter events in
# random blocks), kept by both hosts and compared byte for byte.
ORVELLA_PLUGIN_OUTPUT="$work/linux.f32" "$root/build/tests/plugin/plugin_clap_tests" \
  --gtest_filter='ClapHost.PlaysTheRender*' >"$work/clap-linux.log" 2>&1 \
  || { tail -20 "$work/clap-linux.log"; fail "the Linux test host failed"; }
(cd "$win" && ORVELLA_PLUGIN_OUTPUT="$(winepath -w "$work/windows.f32")" \
   wine tests/windows_plugin_clap_tests.exe --gtest_filter='ClapHost.PlaysTheRender*' >"$work/clap-win.log" 2>&1) \
  || { tail -20 "$work/clap-win.log"; fail "the Windows test host failed"; }
[ -s "$work/linux.f32" ] && cmp "$work/linux.f32" "$work/windows.f32" \
  || fail "Orvella.clap played other bytes than the Linux plugin"
echo "Orvella.clap and the Linux plugin played the same $(( $(stat -c %s "$work/linux.f32") / 8 )) frames"

step "installer: silent install, start, uninstall"
setup=$(ls "$win"/Orvella-*-setup.exe | head -1)
installed="$WINEPREFIX/drive_c/Program Files/Kestrova/Orvella"
wine "$setup" /S >"$work/setup.out" 2>&1 || fail "the installer failed"
wait_for 60 test -f "$installed/uninstall.exe" || fail "nothing installed in $installed"
for f in orvella.exe orvella-cli.exe bin/factoryset.fap img; do
  [ -e "$installed/$f" ] || fail "the installer left out $f"
done
wait_for 10 test -f "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Orvella/Orvella.lnk" \
  || fail "no Start-menu entry"
# Wine sets HOMEDRIVE (C:) and USERPROFILE itself, as Windows does.
presets="$WINEPREFIX/drive_c/Kestrova/Orvella/presets"
(
  # Started from a folder without "bin" and "img": the data beside the .exe must be found.
  cd "$work"
  export ORVELLA_PEDAL_DIR="Z:$work/none" ORVELLA_DIALOGS=print
  : >"$work/installed.err"
  wine "C:/Program Files/Kestrova/Orvella/orvella.exe" 2>"$work/installed.err" >"$work/installed.out" &
  editor=$!
  pids+=($editor)
  wait_for 60 grep -q '^started: data from C:/Program Files/Kestrova/Orvella' "$work/installed.err" \
    || fail "the installed editor did not find its data: $(cat "$work/installed.err")"
  kill "$editor"; wait "$editor" 2>/dev/null || true
)
[ -d "$presets" ] || fail "the installed editor made no preset folder"
clap="$WINEPREFIX/drive_c/Program Files/Common Files/CLAP/Orvella"
[ -f "$clap/Orvella.clap" ] && [ -f "$clap/bin/factoryset.fap" ] || fail "the installer left out the CLAP plugin"
(cd "$win" && ORVELLA_TEST_CLAP="C:/Program Files/Common Files/CLAP/Orvella/Orvella.clap" \
   wine tests/windows_plugin_clap_tests.exe --gtest_filter='ClapHost.StateAndPresets*' >"$work/clap-installed.log" 2>&1) \
  || { tail -20 "$work/clap-installed.log"; fail "the installed CLAP plugin did not load its presets"; }
printf 'mine' >"$presets/mine.lop"
wine "$installed/uninstall.exe" /S >"$work/uninstall.out" 2>&1 || true
# The uninstaller returns while its copy in the temporary folder still works.
wait_for 60 test ! -e "$installed" || fail "the uninstaller left $(ls "$installed")"
[ -f "$presets/mine.lop" ] || fail "the uninstaller removed the user's presets"
[ ! -e "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Orvella" ] || fail "Start-menu entry left"
[ ! -e "$clap" ] || fail "the uninstaller left $clap"

step "Windows tests passed"
