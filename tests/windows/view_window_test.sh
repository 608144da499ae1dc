#!/bin/bash
# The main window through the Win32 view under Wine, on an X server of its own: each control
# lies where the Qt view places it, a screenshot is saved, and closing the window unloads the
# form.
#
#   view_window_test.sh PLACES_EXE QT_PLACES RUN_UNDER_WINE SCREENSHOT_PNG
set -euo pipefail
places_program=$1 qt_places=$2 wine_run=$3 screenshot=$4
if [[ ! -x $qt_places ]]; then
    echo "SKIPPED: $qt_places is missing; build the Linux configuration first"
    exit 77
fi
work=$(mktemp -d)
server=""
trap '"$wine_run" --stop; [[ -n $server ]] && kill "$server" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

display=":$((200 + RANDOM % 600))"
Xvfb "$display" -nolisten tcp -screen 0 1024x768x24 >/dev/null 2>&1 &
server=$!
export DISPLAY=$display
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
export XDOTOOL_QUIET=1
"$wine_run" --start-shown
"$wine_run" --show "$places_program" >"$work/win32.txt" &
program=$!

window=$(timeout 60 xdotool search --sync --name '^Pixelwain V1\.2$' | head -n1) ||
    fail "no main window"
timeout 30 bash -c "until grep -q '^listed' '$work/win32.txt'; do sleep 0.1; done" ||
    fail "the program listed no controls"
"$qt_places" 2>/dev/null | sort >"$work/qt.txt"
# Windows ends the program's lines with CR LF.
tr -d '\r' <"$work/win32.txt" | grep -v '^listed' | sort >"$work/win32-sorted.txt"
diff -u --label "Qt view" --label "Win32 view" "$work/qt.txt" "$work/win32-sorted.txt" ||
    fail "the Win32 view places controls elsewhere than the Qt view"
echo "$(wc -l <"$work/qt.txt") controls where the Qt view places them"

sleep 1 # the first paint follows the mapping
import -silent -window root "$screenshot"
echo "screenshot: $screenshot"

xdotool windowfocus --sync "$window" key alt+F4
timeout 30 tail --pid="$program" -f /dev/null || fail "the window did not close"
wait "$program" || fail "$(tail -n1 "$work/win32.txt")"
tail -n1 "$work/win32.txt"
