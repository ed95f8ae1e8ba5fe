#!/usr/bin/env bash
# Takes the Windows pictures of docs/ under Wine, in a private X server with
# a window manager (after scripts/build-windows.sh and scripts/build.sh):
#   docs/img/windows-log.png              the status log after a READ, lines whole
#   docs/img/windows-about.png            Menu > About Orvella, with the data folder
#   docs/img/windows-guide-setup.png      the User Guide's Basic Setup on Windows
#   docs/img/windows-installer-finish.png the installer's last page
# orvella.exe runs from build-windows/ against a Linux virtual pedal whose
# pseudo-terminal is COM6 in the private Wine prefix, as in
# tests/windows/run-wine-tests.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
win=$root/build-windows
out=$root/docs/img
if [ "${1:-}" != --inside ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" --inside
fi
for f in "$win/orvella.exe" "$win"/Orvella-*-setup.exe "$root/build/run/orvella-pedal"; do
  [ -f "$f" ] || { echo "missing $f: run scripts/build-windows.sh and scripts/build.sh first" >&2; exit 1; }
done

work=$(mktemp -d /tmp/orvella-pictures.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  WINEPREFIX=$work/prefix wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
mkdir -p "$WINEPREFIX"
wineserver -p
wineboot --init >"$work/wineboot.log" 2>&1

wait_for() {
  local limit=$(( $1 * 10 )); shift
  for _ in $(seq "$limit"); do "$@" && return 0; sleep 0.1; done
  return 1
}
# shoot WINDOW FILE [X Y W H]: the window (or that part of it) as a PNG.
shoot() {
  local id=$1 file=$2
  if [ $# -gt 2 ]; then
    import -window "$id" -crop "${5}x${6}+${3}+${4}" +repage "$file"
  else
    import -window "$id" "$file"
  fi
  echo "Wrote $file"
}

# A virtual pedal on COM6.
mkdir -p "$work/pedal" "$work/pedal-win"
"$root/build/run/orvella-pedal" --dir "$work/pedal" --serial VPW0000009 --log "$work/pedal.log" \
  --factory "$root/data/bin/factoryset.fap" >"$work/pedal.out" 2>&1 &
pids+=($!)
wait_for 30 test -f "$work/pedal/VPW0000009.pedal"
tty=$(sed -n 's/^tty=//p' "$work/pedal/VPW0000009.pedal")
setsid sh -c "exec sleep 100000 <'$tty'" &
pids+=($!)
ln -sfn "$tty" "$WINEPREFIX/dosdevices/com6"
printf 'description=Kestrova Drevani\nserial=VPW0000009\ntty=COM6\ntx-stalled=0\npid=0\n' >"$work/pedal-win/VPW0000009.pedal"

(
  cd "$win"
  export ORVELLA_PEDAL_DIR="Z:$work/pedal-win" ORVELLA_VIRTUAL_ONLY=1
  wine "$win/orvella.exe" >"$work/editor.out" 2>&1 &
  echo $! >"$work/editor.pid"
)
pids+=("$(cat "$work/editor.pid")")
wait_for 60 xdotool search --onlyvisible --name '^Kestrova - Orvella' >"$work/window"
window=$(head -1 "$work/window")
xdotool windowmove "$window" 0 0
wait_for 60 grep -q ' read-preset ' "$work/pedal.log"
sleep 2
xdotool mousemove --window "$window" 228 498 click 1      # Preset-3
sleep 0.5
xdotool mousemove --window "$window" 677 528 click 1      # READ
sleep 3
xdotool mousemove --window "$window" 400 300
sleep 0.5
shoot "$window" "$out/windows-log.png" 0 540 660 60

xdotool search --onlyvisible --class orvella.exe | sort >"$work/before"
xdotool mousemove --window "$window" 750 564 click 1      # Menu
sleep 1
xdotool key Down Return                                    # About Orvella
sleep 2
xdotool search --onlyvisible --class orvella.exe | sort >"$work/after"
about=$(comm -13 "$work/before" "$work/after" | tail -1)
[ -n "$about" ] && shoot "$about" "$out/windows-about.png"
xdotool key Return
sleep 1

xdotool key --window "$window" alt+3                       # User Guide
sleep 2
shoot "$window" "$out/windows-guide-setup.png"
kill "$(cat "$work/editor.pid")" 2>/dev/null || true

# The installer, clicked through to its finish page.
setup=$(ls "$win"/Orvella-*-setup.exe | head -1)
wine "$setup" >"$work/setup.out" 2>&1 &
pids+=($!)
wait_for 60 xdotool search --onlyvisible --name 'Setup' >"$work/setup.window"
setupWindow=$(head -1 "$work/setup.window")
sleep 2
xdotool key --window "$setupWindow" Return                 # Install
wait_for 120 test -f "$WINEPREFIX/drive_c/Program Files/Kestrova/Orvella/uninstall.exe"
sleep 4
shoot "$setupWindow" "$out/windows-installer-finish.png"
xdotool key --window "$setupWindow" Return                 # Finish
sleep 1
