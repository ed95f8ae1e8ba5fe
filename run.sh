#!/usr/bin/env bash
# Installs what is missing, builds, and starts the editor from build/run/
# (it finds its "bin" and "img" folders in the working directory).
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
exec ./orvella
