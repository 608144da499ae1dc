#!/usr/bin/env bash
# Cross-builds the Windows album program pxwalbum.exe (Release, without tests) in
# build-windows-release and prints its path, for the Linux build's PXW_WINDOWS_ALBUM_PROGRAM:
# installed beside pxwalbum, it makes every album open on Windows and on Linux alike.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$top/build-windows-release
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPXW_BUILD_TESTS=OFF \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64.cmake" >&2
cmake --build "$build" -j"$(nproc)" --target pxwalbum >&2
echo "$build/tools/album/pxwalbum.exe"
