#!/usr/bin/env bash
# How long a drop of a folder of 5,000 images takes until the window lists them all, and what
# staging 5,000 listed images costs beyond the copying itself; both must stay under 1 s.
# Usage: bench/list/run.sh [build folder] [images]
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$top/build}
cmake --build "$build" --target pxw-list-bench >/dev/null
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$build/bench/list/pxw-list-bench" "${2:-5000}"
