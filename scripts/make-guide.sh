#!/usr/bin/env bash
# Regenerates the user guide from its one text source, docs/guide/guide.txt:
# the thirty pictures of the User Guide tab (data/img/ug_*) and
# docs/user-guide.md. The pictures hold pieces of the real window, so the
# tool builds the window under a private X server with a virtual pedal.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh >/dev/null
xvfb-run -a -s "-screen 0 1024x768x24" \
  build/tools/guide/orvella-draw-guide --repo . --pedal build/pedal/orvella-pedal \
  --out data/img --markdown docs/user-guide.md >/dev/null
echo "Wrote data/img/ug_* and docs/user-guide.md from docs/guide/guide.txt"
