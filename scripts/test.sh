#!/usr/bin/env bash
# Installs what is missing, builds Pixelwain twice (normal, and with AddressSanitizer +
# UndefinedBehaviorSanitizer) and runs every test in both builds. The normal build is also packed
# into the Debian package, which is checked and tried out unpacked. Last, the libFuzzer targets
# are built with clang and each runs for a short while from its seed corpus.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)

"$top/scripts/install-deps.sh"

status=0
run_build() {
  local dir=$1; shift
  cmake -S "$top" -B "$dir" -G Ninja -DPXW_WERROR=ON "$@"
  cmake --build "$dir" -j"$jobs"
  echo "== tests in $(basename "$dir")"
  (cd "$dir" && ctest --output-on-failure -j"$jobs" --timeout 600) || status=1
}
run_build "$top/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo "== the Debian package"
{ deb=$("$top/scripts/package.sh" "$top/build") && "$top/tests/package/check.sh" "$deb" "$top/build"; } || status=1
run_build "$top/build-asan" -DCMAKE_BUILD_TYPE=Debug -DPXW_SANITIZE=ON
run_build "$top/build-fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPXW_FUZZ=ON \
    -DCMAKE_CXX_COMPILER=clang++
exit $status
