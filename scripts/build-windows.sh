#!/usr/bin/env bash
# Cross-builds the Windows programs and their installer into build-windows/:
# orvella.exe, orvella-cli.exe, the CLAP plugin plugin/Orvella.clap and
# Orvella-<version>-setup.exe, statically
# linked (no DLLs to ship), with the toolkit (FLTK 1.3.9) and PortAudio 19.7.0
# built first from their release archives into build-windows/deps/prefix.
#
#   scripts/build-windows.sh [--fltk FLTK_ARCHIVE] [--portaudio PORTAUDIO_ARCHIVE] [--clap CLAP_ARCHIVE] [--tests]
#
# The archives default to the folder named by ORVELLA_THIRD_PARTY, else to
# ../shared/third_party beside the project. Their checksums are checked before
# use; the build unpacks the CLAP headers itself (cmake/Clap.cmake). --tests
# also builds the toolkit-free test suites (the CLAP test host among them) as
# .exe for Wine (tests/windows/run-wine-tests.sh runs them). Needs Debian's
# mingw-w64 and nsis.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

fltk_sha=2498cdcd199cc2dfa4841da5d8e208179f16bf64eb1de6e6c332a61dd14c4a8b
portaudio_sha=beeee85c2e0735d05b099e37b826e1d06271caaeda78f019061d811c75c537e0
third_party=${ORVELLA_THIRD_PARTY:-$root/../shared/third_party}
fltk_archive=$third_party/fltk-1.3.9.tar.gz
portaudio_archive=$third_party/portaudio-19.7.0.tar.gz
clap_archive=$third_party/clap-1.2.10.tar.gz
with_tests=OFF

while [ $# -gt 0 ]; do
  case "$1" in
    --fltk) fltk_archive=$2; shift 2 ;;
    --portaudio) portaudio_archive=$2; shift 2 ;;
    --clap) clap_archive=$2; shift 2 ;;
    --tests) with_tests=ON; shift ;;
    -h|--help) sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "Unknown argument: $1 (see --help)" >&2; exit 2 ;;
  esac
done

need() {
  local archive=$1 sum=$2 where=$3
  if [ ! -f "$archive" ]; then
    echo "Missing $archive." >&2
    echo "Download $(basename "$archive") from $where and give its path (see --help)." >&2
    exit 1
  fi
  if ! echo "$sum  $archive" | sha256sum --check --status; then
    echo "$archive does not have the expected SHA-256 checksum $sum; it is not the release this build expects." >&2
    exit 1
  fi
}
need "$fltk_archive" "$fltk_sha" "https://www.fltk.org/software.php (release 1.3.9)"
need "$portaudio_archive" "$portaudio_sha" "https://github.com/PortAudio/portaudio/releases (v19.7.0)"
need "$clap_archive" "$(sed -n 's/^set(ORVELLA_CLAP_SHA256 \(.*\))$/\1/p' "$root/cmake/Clap.cmake")" \
  "https://github.com/free-audio/clap/releases (1.2.10)"

for tool in x86_64-w64-mingw32-g++-posix makensis convert; do
  command -v "$tool" >/dev/null || { echo "Missing $tool: scripts/install-deps.sh installs it" >&2; exit 1; }
done

out=$root/build-windows
deps=$out/deps
prefix=$deps/prefix
toolchain=$root/cmake/mingw-w64-x86_64.cmake
jobs=$(nproc)
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
mkdir -p "$deps" "$prefix"

# Each library is built once per archive checksum; a stamp in the prefix says so.
build_library() {
  local name=$1 archive=$2 sum=$3
  shift 3
  local stamp=$prefix/.built-$name-$sum
  [ -f "$stamp" ] && return 0
  echo "Building $name for Windows from $(basename "$archive")"
  rm -rf "$deps/src-$name" "$deps/build-$name"
  mkdir -p "$deps/src-$name"
  tar -xzf "$archive" -C "$deps/src-$name" --strip-components=1
  local log=$deps/build-$name.log
  # Their own warnings are theirs: kept in the log, shown only on failure.
  if ! { cmake -S "$deps/src-$name" -B "$deps/build-$name" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
           -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" "${launcher[@]}" "$@" &&
         cmake --build "$deps/build-$name" -j"$jobs" &&
         cmake --install "$deps/build-$name"; } >"$log" 2>&1; then
    tail -40 "$log" >&2
    echo "Building $name failed; the whole log is $log" >&2
    exit 1
  fi
  touch "$stamp"
}

# The toolkit with its own zlib, png and jpeg (Wine's mingw zlib must not be picked up).
build_library fltk "$fltk_archive" "$fltk_sha" \
  -DOPTION_USE_SYSTEM_ZLIB=OFF -DOPTION_USE_SYSTEM_LIBPNG=OFF -DOPTION_USE_SYSTEM_LIBJPEG=OFF \
  -DOPTION_USE_GL=OFF -DOPTION_BUILD_SHARED_LIBS=OFF -DFLTK_BUILD_TEST=OFF -DFLTK_BUILD_EXAMPLES=OFF \
  -DOPTION_BUILD_HTML_DOCUMENTATION=OFF -DOPTION_BUILD_PDF_DOCUMENTATION=OFF

build_library portaudio "$portaudio_archive" "$portaudio_sha" \
  -DPA_BUILD_SHARED=OFF -DPA_BUILD_STATIC=ON -DPA_LIBNAME_ADD_SUFFIX=OFF -DPA_USE_ASIO=OFF

# PortAudio's own .pc names no system libraries, which a static link needs.
mkdir -p "$prefix/lib/pkgconfig"
cat > "$prefix/lib/pkgconfig/portaudio-2.0.pc" <<EOF
prefix=$prefix
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: PortAudio
Description: Portable audio I/O (static, for Windows)
Version: 19.7.0
Libs: -L\${libdir} -lportaudio -lwinmm -ldsound -lole32 -luuid -lsetupapi
Cflags: -I\${includedir}
EOF

# The icon, drawn by the Linux build's logo tool and packed for Windows.
icons=$root/build/packaging/icons
if [ ! -f "$icons/256/example.kestrova.orvella.png" ]; then
  echo "Drawing the icon with the Linux build"
  cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
  cmake --build "$root/build" -j"$jobs" --target packaging_files >/dev/null
fi
mkdir -p "$out"
convert "$icons/256/example.kestrova.orvella.png" -define icon:auto-resize=256,128,48,32,16 "$out/orvella.ico"

# The programs, found through the prefix only (never the build machine's .pc files).
export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig
export PKG_CONFIG_PATH=
cmake -S "$root" -B "$out" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_PREFIX_PATH="$prefix" -DORVELLA_WINDOWS_TESTS="$with_tests" -DORVELLA_WINDOWS_ICON="$out/orvella.ico" \
  -DORVELLA_CLAP_ARCHIVE="$clap_archive" \
  "${launcher[@]}" >/dev/null
cmake --build "$out" -j"$jobs"
cmake --build "$out" --target installer
echo "Built: $(cd "$out" && ls orvella.exe orvella-cli.exe plugin/Orvella.clap Orvella-*-setup.exe | tr '\n' ' ')in $out"
