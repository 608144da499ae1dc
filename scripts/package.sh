#!/usr/bin/env bash
# Builds the Debian package dist/pixelwain_<version>_amd64.deb: a stripped install of the build,
# packed by CPack, its Depends found by dpkg-shlibdeps.
#   scripts/package.sh                 configures and builds a Release build in build-release
#   scripts/package.sh BUILD_FOLDER    packs an existing build (the test command's normal build)
# Install it with: apt install ./dist/pixelwain_*.deb
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build-release}

if [ $# -eq 0 ]; then
  "$top/scripts/install-deps.sh"
  windows_album=$("$top/scripts/windows-album.sh")
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPXW_BUILD_TESTS=OFF \
    -DPXW_WINDOWS_ALBUM_PROGRAM="$windows_album"
fi
cmake --build "$build" -j"$(nproc)" >&2
rm -f "$top"/dist/pixelwain_*.deb
(cd "$build" && cpack -G DEB --config CPackConfig.cmake >/dev/null)
ls "$top"/dist/pixelwain_*_amd64.deb
