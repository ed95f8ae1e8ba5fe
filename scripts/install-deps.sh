#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build, the tests and the
# drawing tools need and this machine lacks. Safe to run again.
set -euo pipefail

packages=(
  build-essential cmake pkg-config ccache
  libfltk1.3-dev libpng-dev libjpeg-dev zlib1g-dev libx11-dev
  libgtest-dev libgmock-dev
  # the audio output of Listen (its tests play through ALSA's file and null plugins, no sound card)
  portaudio19-dev
  # a JSON parser for the tests of orvella-cli --json
  nlohmann-json3-dev
  libcairo2-dev libfontconfig-dev
  fonts-liberation2
  xvfb xauth
  # checks of the install and the Debian package (scripts/check-install.sh)
  dpkg-dev file desktop-file-utils appstream lintian
  # the audio plugins: LV2 headers, and lv2apply / lv2_validate for their tests
  lv2-dev lilv-utils sordi
  # sanitizers and fuzz targets (scripts/ci-robustness.sh)
  clang libclang-rt-14-dev
  # the Windows build and its tests under Wine (scripts/build-windows.sh, docs/windows.md)
  mingw-w64 nsis imagemagick googletest wine wine64 openbox xdotool xxd python3
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Please run as root or install sudo: missing ${missing[*]}" >&2; exit 1; }
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
