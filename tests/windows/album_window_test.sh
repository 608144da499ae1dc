#!/bin/bash
# The Windows album program's window under Wine, on an X server of its own: it shows the first
# photo, pages with the arrow key and refits when the window is resized. Pixels of screenshots
# are checked against the photos as ImageMagick decodes them.
#
#   album_window_test.sh PXWALBUM_EXE PXWZIP_BENCH RUN_UNDER_WINE
set -euo pipefail
album_program=$1 zip_bench=$2 wine_run=$3
if [[ ! -x $zip_bench ]]; then
    echo "SKIPPED: $zip_bench is missing; build the Linux configuration first"
    exit 77
fi
work=$(mktemp -d)
server=""
trap '"$wine_run" --stop; [[ -n $server ]] && kill "$server" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

mkdir -p "$work/photos" "$work/prefix/dosdevices"
ln -s / "$work/prefix/dosdevices/z:"
# Left half one colour, right half another: where the halves meet shows the fit.
convert -size 200x150 xc:'rgb(210,40,40)' -size 200x150 xc:'rgb(40,40,210)' +append \
    "$work/photos/img001.jpg"
convert -size 300x400 xc:'rgb(40,180,60)' "$work/photos/img002.jpg"
convert -size 32x32 xc:orange "$work/icon.ico"
PIXELWAIN_PREFIX="$work/prefix" "$zip_bench" "$album_program" "$work/icon.ico" "$work/photos" \
    "$work/album.exe"

display=":$((200 + RANDOM % 600))"
Xvfb "$display" -nolisten tcp -screen 0 1024x768x24 >/dev/null 2>&1 &
server=$!
export DISPLAY=$display
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
export XDOTOOL_QUIET=1
"$wine_run" --start-shown
"$wine_run" --show "$work/album.exe" &

# The colour at x,y of the window's client area, as "r,g,b".
pixel() {
    import -silent -window "$window" "$work/shot.png"
    convert "$work/shot.png" -format '%[fx:int(255*p{'"$1,$2"'}.r)],%[fx:int(255*p{'"$1,$2"'}.g)],%[fx:int(255*p{'"$1,$2"'}.b)]' info:
}
# The colour of a photo at x,y as decoded here.
photo() {
    convert "$work/photos/$1" -format '%[fx:int(255*p{'"$2,$3"'}.r)],%[fx:int(255*p{'"$2,$3"'}.g)],%[fx:int(255*p{'"$2,$3"'}.b)]' info:
}
near() { # A B: each channel within 12
    local -a a b
    IFS=, read -ra a <<<"$1"; IFS=, read -ra b <<<"$2"
    for i in 0 1 2; do (( ${a[i]} - ${b[i]} <= 12 && ${b[i]} - ${a[i]} <= 12 )) || return 1; done
}
wait_title() {
    timeout 30 xdotool search --sync --name "^$1\$" | head -n1
}
check() { # X Y EXPECTED WHAT
    local seen
    seen=$(pixel "$1" "$2")
    near "$seen" "$3" || fail "$4: $seen at $1,$2, not $3"
    echo "$4: $seen at $1,$2"
}

window=$(wait_title "img001.jpg - album.exe") || fail "no window for the first photo"
[[ -n $window ]] || fail "no window for the first photo"
eval "$(xdotool getwindowgeometry --shell "$window")"
view=$((HEIGHT - 44))
sleep 1 # the first paint follows the mapping
# The 4:3 photo fills the width of the 800x596 view: halves meet in the middle.
check $((WIDTH / 4)) $((view / 2)) "$(photo img001.jpg 50 75)" "left half"
check $((WIDTH * 3 / 4)) $((view / 2)) "$(photo img001.jpg 350 75)" "right half"

xdotool key --window "$window" Right
wait_title "img002.jpg - album.exe" >/dev/null || fail "Right did not page"
sleep 0.5
check $((WIDTH / 2)) $((view / 2)) "$(photo img002.jpg 150 200)" "the second photo"
check 5 $((view / 2)) "40,40,40" "beside the portrait photo"

# Narrower than the portrait photo's proportions: it fills the width, with bars above and below.
xdotool windowsize "$window" 340 600
sleep 1
eval "$(xdotool getwindowgeometry --shell "$window")"
view=$((HEIGHT - 44))
check $((WIDTH / 2)) 3 "40,40,40" "above the refitted photo"
check 3 $((view / 2)) "$(photo img002.jpg 150 200)" "the refitted photo's edge"
echo "the window shows, pages and refits"
