#!/bin/bash
# The Win32 view under Wine, on an X server of its own: the main and About windows lie where
# the Qt view places them, control by control; a screenshot is saved, closing the main window
# unloads the form; then the view's GoogleTest program runs there.
#
#   view_window_test.sh PLACES_EXE QT_PLACES VIEW_TESTS_EXE RUN_UNDER_WINE SCREENSHOT_PNG
set -euo pipefail
places_program=$1 qt_places=$2 view_tests=$3 wine_run=$4 screenshot=$5
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
# Wine's own desktop in one X window: with no window manager on the server, each window of its
# own would wait for one whenever it is hidden. Taken up by the next server.
for key in 'Explorer /v Desktop /d Default' 'Explorer\Desktops /v Default /d 1024x768'; do
    # shellcheck disable=SC2086 # the key's words are reg's arguments
    WINEDEBUG=-all wine reg add 'HKCU\Software\Wine\'$key /f >/dev/null
done
"$wine_run" --stop

"$wine_run" --show "$places_program" >"$work/win32.txt" &
program=$!
timeout 60 bash -c "until grep -q '^listed' '$work/win32.txt'; do sleep 0.1; done" ||
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

desktop=$(xdotool search --name 'Wine desktop' | head -n1)
xdotool windowfocus --sync "$desktop" key alt+F4
timeout 30 tail --pid="$program" -f /dev/null || fail "the window did not close"
wait "$program" || fail "$(tail -n1 "$work/win32.txt")"
tail -n1 "$work/win32.txt"

# As run_under_wine.sh checks a GoogleTest program, with the display.
status=0
out=$("$wine_run" --show "$view_tests" 2>&1 </dev/null) || status=$?
printf '%s\n' "$out"
((status == 0)) || fail "$view_tests exited with status $status"
grep -qE '^\[  PASSED  \] [1-9][0-9]* tests?\.' <<<"$out" && ! grep -q '^\[  FAILED  \]' <<<"$out" ||
    fail "$view_tests does not report that all its tests passed"
