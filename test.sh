#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole suite; GUI tests run
# under a private X server (Xvfb). Exits non-zero on any failure.
# With CI set, or given --robustness, it then runs the sanitizer suite and the
# fuzz targets as well (scripts/ci-robustness.sh, docs/robustness.md).
# With CI set and the toolkit's and PortAudio's release archives found (see
# scripts/build-windows.sh), it also cross-builds the Windows programs and
# tests them under Wine; --windows does only that (docs/windows.md).
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh

windows_tests() {
  local started=$SECONDS
  scripts/build-windows.sh --tests
  xvfb-run -a -s "-screen 0 1024x768x24" tests/windows/run-wine-tests.sh
  echo "Windows build and tests: $(( SECONDS - started )) s"
}
if [ "${1:-}" = "--windows" ]; then
  windows_tests
  exit 0
fi
xvfb-run -a -s "-screen 0 1024x768x24" \
  ctest --test-dir build --output-on-failure --timeout 600 -j2
# The install in a temporary DESTDIR and the Debian package.
scripts/check-install.sh
if [ -n "${CI:-}" ] || [ "${1:-}" = "--robustness" ]; then
  scripts/ci-robustness.sh
fi
if [ -n "${CI:-}" ]; then
  archives=${ORVELLA_THIRD_PARTY:-../shared/third_party}
  if [ -f "$archives/fltk-1.3.9.tar.gz" ] && [ -f "$archives/portaudio-19.7.0.tar.gz" ]; then
    windows_tests
  else
    echo "Windows tests skipped: the release archives are not in $archives (see scripts/build-windows.sh)."
  fi
fi
