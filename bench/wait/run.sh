#!/usr/bin/env bash
# The program's own CPU use while it waits for a 3-second run of a child process, woken by a
# pidfd and by the SIGCHLD pipe (the way without pidfd_open); both must stay under 5% of a core.
# Usage: bench/wait/run.sh [build folder]
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$top/build}
cmake --build "$build" --target pxw-wait-bench >/dev/null
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$build/bench/wait/pxw-wait-bench" 3
