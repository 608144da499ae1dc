#!/bin/sh
# Shows the main window on a virtual screen and saves a picture of it in
# screenshots/main-window.png.
#   scripts/screenshot.sh [path/to/pixelwain]   (default: build/src/app/pixelwain)
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-"$root/build/src/app/pixelwain"}
shots="$root/screenshots"
title="Pixelwain V1.2"

if [ ! -x "$program" ]; then
    echo "screenshot.sh: no program at $program; build it first or give its path" >&2
    exit 1
fi
for tool in xvfb-run xwininfo import; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "screenshot.sh: $tool is missing (packages xvfb, x11-utils, imagemagick)" >&2
        exit 1
    fi
done
mkdir -p "$shots"

# Everything below runs inside the virtual X server.
export PXW_PROGRAM="$program" PXW_SHOT="$shots/main-window.png" PXW_TITLE="$title"
xvfb-run -a -s "-screen 0 1024x768x24" sh -eu -c '
    "$PXW_PROGRAM" &
    pid=$!
    trap "kill $pid 2>/dev/null || true" EXIT
    tries=0
    until xwininfo -root -tree | grep -q "\"$PXW_TITLE\""; do
        tries=$((tries + 1))
        if [ $tries -gt 100 ] || ! kill -0 $pid 2>/dev/null; then
            echo "screenshot.sh: the window \"$PXW_TITLE\" did not appear" >&2
            exit 1
        fi
        sleep 0.1
    done
    # The window is mapped; give it a moment to paint its controls.
    sleep 1
    window=$(xwininfo -name "$PXW_TITLE" | awk "/Window id:/ { print \$4 }")
    import -window "$window" "$PXW_SHOT"
'
echo "$shots/main-window.png"
