#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole suite; GUI tests run
# under a private X server (Xvfb). Exits non-zero on any failure.
# With CI set, or given --robustness, it then runs the sanitizer suite and the
# fuzz targets as well (scripts/ci-robustness.sh, docs/robustness.md).
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh
xvfb-run -a -s "-screen 0 1024x768x24" \
  ctest --test-dir build --output-on-failure --timeout 600 -j2
# The install in a temporary DESTDIR and the Debian package.
scripts/check-install.sh
if [ -n "${CI:-}" ] || [ "${1:-}" = "--robustness" ]; then
  scripts/ci-robustness.sh
fi
