#!/bin/bash
# The Windows tool's progress window under Wine, on an X server of its own: started with a
# show state, the tool shows it; its Cancel stops a run whose reader never answers, and the
# tool ends as cancelled with nothing written.
#
#   lumabatch_window_test.sh LUMABATCH_EXE HOSTILE_READER_EXE RUN_UNDER_WINE
set -euo pipefail
tool=$1 hostile=$2 wine_run=$3
work=$(mktemp -d)
server=""
trap '"$wine_run" --stop; [[ -n $server ]] && kill "$server" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

mkdir -p "$work/photos" "$work/tool"
for i in 1 2 3; do convert -size 40x30 xc:navy "$work/photos/img00$i.jpg"; done
cp "$tool" "$work/tool/lumabatch.exe"
cp "$hostile" "$work/tool/lumabatch-reader.exe"

display=":$((200 + RANDOM % 600))"
Xvfb "$display" -nolisten tcp -screen 0 1024x768x24 >/dev/null 2>&1 &
server=$!
export DISPLAY=$display XDOTOOL_QUIET=1
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
"$wine_run" --start-shown

status=0
PIXELWAIN_SHOW=1 LUMABATCH_TEST_READER=hang "$wine_run" --show "$work/tool/lumabatch.exe" \
    "s=Z:${work//\//\\}\\photos" "d=Z:${work//\//\\}\\out" -w100 --time-limit 600 \
    2>"$work/err" &
run=$!
window=$(timeout 30 xdotool search --sync --name '^lumabatch - converting into' | head -n1) \
    || fail "no progress window"
# Cancel, at the foot of the window's client area.
xdotool mousemove --window "$window" 347 79 click 1
wait "$run" || status=$?
tr -d '\r' <"$work/err"
((status == 3)) || fail "exit status $status after Cancel"
grep -q '^lumabatch: cancelled; 0 of 3 files converted' "$work/err" || fail "no cancel message"
[[ -z $(ls -A "$work/out" 2>/dev/null) ]] || fail "the cancelled run wrote $(ls -A "$work/out")"
[[ $(ls "$work/photos" | wc -l) == 3 ]] || fail "sources went"
echo "the progress window shows and its Cancel stops the run"
