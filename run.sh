#!/usr/bin/env bash
# Installs what is missing, builds, and starts the editor from build/run/
# (it finds its "bin" and "img" folders in the working directory), with one
# virtual pedal registered in build/run/pedals that lives as long as the editor.
# A real pedal plugged in is listed first and used as usual.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh

if [ -z "${DISPLAY:-}" ]; then
  echo "No display: Orvella is a desktop program and needs an X display." >&2
  echo "Run it from a desktop session, or under a virtual one: xvfb-run ./run.sh" >&2
  exit 1
fi

cd build/run
export ORVELLA_PEDAL_DIR="$PWD/pedals"
mkdir -p "$ORVELLA_PEDAL_DIR"
serial=VP000001
factory=()
if [ -f bin/factoryset.fap ]; then factory=(--factory bin/factoryset.fap); fi

# The pedal keeps its presets in pedals/$serial.pedal.state between runs.
./orvella-pedal --serial "$serial" "${factory[@]}" >/dev/null &
pedal=$!
trap 'kill "$pedal" 2>/dev/null || true; wait "$pedal" 2>/dev/null || true' EXIT
trap 'exit 130' INT TERM HUP
for _ in $(seq 50); do
  [ -f "$ORVELLA_PEDAL_DIR/$serial.pedal" ] && break
  if ! kill -0 "$pedal" 2>/dev/null; then
    echo "The virtual pedal did not start; the editor starts without it." >&2
    break
  fi
  sleep 0.1
done

./orvella "$@"   # --service, --help: see README
