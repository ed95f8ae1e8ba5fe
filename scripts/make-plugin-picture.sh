#!/usr/bin/env bash
# Draws docs/img/plugin-lv2-generic.png, the README's picture of the LV2
# plugin in a host's generic view: jalv.gtk3 showing the build tree's
# orvella.lv2 with the factory preset "Brit Stack" loaded, in a private X
# server with a window manager.
#
# jalv is a JACK client, so this needs jalv and a JACK server, which nothing
# else in the project uses (they are not in scripts/install-deps.sh). Run as
# root it installs them when missing:
#   apt-get install --no-install-recommends jalv jackd2
# The JACK server is a private one (its own name) on the dummy backend at
# 48 kHz, so no sound card is needed and no other JACK session is touched.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/docs/img/plugin-lv2-generic.png
uri=https://kestrova.example/plugins/orvella
if [ "${1:-}" != --inside ]; then
  if ! command -v jalv.gtk3 >/dev/null || ! command -v jackd >/dev/null; then
    [ "$(id -u)" = 0 ] || { echo "needs jalv and jackd2: apt-get install --no-install-recommends jalv jackd2" >&2; exit 1; }
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends jalv jackd2
  fi
  [ -f build/CMakeCache.txt ] || scripts/build.sh >/dev/null
  cmake --build build --target orvella_lv2_bundle >/dev/null
  exec xvfb-run -a -s "-screen 0 1024x900x24" "$0" --inside
fi

work=$(mktemp -d /tmp/orvella-plugin-picture.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
export HOME=$work/home HOMEDRIVE=$work/home LV2_PATH=$root/build/plugin/lv2
export JACK_DEFAULT_SERVER=orvella-picture-$$ JACK_NO_AUDIO_RESERVATION=1
mkdir -p "$HOME"
jackd -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 256 >"$work/jackd.log" 2>&1 &
pids+=($!)
jack_wait -w -t 10 >/dev/null 2>&1 || { cat "$work/jackd.log" >&2; exit 1; }
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
jalv.gtk3 -p "$uri#factory1" "$uri" >"$work/jalv.log" 2>&1 &
pids+=($!)
win=$(timeout 20 xdotool search --sync --name '^Orvella' | head -1) || { cat "$work/jalv.log" >&2; exit 1; }
xdotool windowmove "$win" 0 0
sleep 2
import -window "$win" -frame "$work/shot.png"
convert "$work/shot.png" -colors 256 "$out"
echo "Wrote ${out#"$root"/}"
