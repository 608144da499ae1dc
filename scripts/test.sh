#!/usr/bin/env bash
# Installs what is missing, checks the formatting and that includes run down the layers, builds
# Pixelwain twice (normal, and with AddressSanitizer + UndefinedBehaviorSanitizer), runs clang-tidy over the normal build and every
# test in both builds. The normal build is also packed into the Debian package, which is checked
# and tried out unpacked. Then the album's reader is cross-built for Windows (build-windows) and
# its tests run as Windows programs under Wine. Last, the libFuzzer targets are built with clang
# and each runs for a short while from its seed corpus. A failed check fails the command but
# does not stop the others.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)

"$top/scripts/install-deps.sh"

status=0
echo "== formatting"
(cd "$top" && git ls-files -z '*.cpp' '*.h' | xargs -0 -r clang-format --dry-run --Werror) || status=1
echo "== layers"
"$top/scripts/check-layers.sh" || status=1

run_build() {
  local dir=$1; shift
  cmake -S "$top" -B "$dir" -G Ninja -DPXW_WERROR=ON "$@"
  cmake --build "$dir" -j"$jobs"
  echo "== tests in $(basename "$dir")"
  (cd "$dir" && ctest --output-on-failure -j"$jobs" --timeout 600) || status=1
}
# The Windows configuration builds first: the normal build's package carries its album
# program. Release: its test programs are small without debug information, and quick to load.
# Configuring it cross-builds, once, the libraries Debian has no Windows build of (libzip,
# libjpeg-turbo, lcms2, libexif: scripts/build-windows-deps.sh).
echo "== the Windows configuration"
cmake -S "$top" -B "$top/build-windows" -G Ninja -DPXW_WERROR=ON -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64.cmake" || status=1
cmake --build "$top/build-windows" -j"$jobs" || status=1
run_build "$top/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPXW_WINDOWS_ALBUM_PROGRAM="$top/build-windows/tools/album/pxwalbum.exe"
echo "== the Debian package"
{ deb=$("$top/scripts/package.sh" "$top/build") && "$top/tests/package/check.sh" "$deb" "$top/build"; } || status=1
# Only the project's own sources: generated files (moc, resources) live in the build folder.
# .clang-tidy makes every warning an error (Debian 12's run-clang-tidy has no option for it).
echo "== clang-tidy"
own="^$top/(src|tools|tests|bench)/"
run-clang-tidy -quiet -j"$jobs" -p "$top/build" -header-filter="$own" "$own" || status=1
run_build "$top/build-asan" -DCMAKE_BUILD_TYPE=Debug -DPXW_SANITIZE=ON
# Its tests make albums with the normal build's zip component, and run under Wine.
echo "== tests in build-windows"
(cd "$top/build-windows" && ctest --output-on-failure -j"$jobs" --timeout 600) || status=1
run_build "$top/build-fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPXW_FUZZ=ON \
    -DCMAKE_CXX_COMPILER=clang++
exit $status
