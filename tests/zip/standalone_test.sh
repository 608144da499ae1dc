#!/bin/bash
# An album runs on a machine without Pixelwain, Qt, libzip, libstdc++ or libjpeg: a real album
# is built, then run in a mount namespace where every file of those libraries is covered by
# /dev/null. It lists, extracts, and opens its window on an X server of its own. Exits 77
# (skipped) where user namespaces are off.
#
#   standalone_test.sh PXWALBUM PXWZIP_BENCH PXW_ALBUM_START
set -euo pipefail
album_program=$1 zip_bench=$2 start_timer=$3

if ! unshare -rm true 2>/dev/null; then
    echo "SKIPPED: user namespaces are off here (unshare -rm fails)"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/photos" "$work/prefix/dosdevices"
ln -s / "$work/prefix/dosdevices/z:"
vips black "$work/black.v" 300 400 --bands 3
for i in 1 2; do
    vips linear "$work/black.v" "$work/photos/img00$i.jpg[Q=85]" 1 $((i * 70)) --uchar
done
convert -size 32x32 xc:orange "$work/icon.ico"
PIXELWAIN_PREFIX="$work/prefix" "$zip_bench" "$album_program" "$work/icon.ico" "$work/photos" \
    "$work/album.exe"

# The real files behind every name the loader knows for those libraries.
HIDDEN=$(ldconfig -p | awk '$1 ~ /^lib(Qt6|zip\.|stdc\+\+\.|jpeg\.)/ { print $NF }' \
    | xargs -r readlink -f | sort -u | tr '\n' ' ')
export HIDDEN
echo "hidden: $HIDDEN"
for library in libQt6Core libzip libstdc++ libjpeg; do
    [[ " $HIDDEN" == *"/$library.so"* ]] || { echo "FAIL: no $library found to hide"; exit 1; }
done
cover='for file in $HIDDEN; do mount --bind /dev/null "$file"; done; exec "$@"'
hidden_run() {
    unshare -rm bash -c "$cover" hidden "$@"
}

# The hiding works: the zip component's own program cannot start there.
if hidden_run "$zip_bench" >"$work/log" 2>&1 || ! grep -q "error while loading shared libraries" "$work/log"; then
    echo "FAIL: the libraries are not hidden:"; cat "$work/log"; exit 1
fi
listed=$(hidden_run "$work/album.exe" --list)
[ "$listed" = $'img001.jpg\nimg002.jpg' ] || { echo "FAIL: --list gave: $listed"; exit 1; }
hidden_run "$work/album.exe" --extract "$work/out"
for i in 1 2; do
    cmp "$work/photos/img00$i.jpg" "$work/out/img00$i.jpg"
done
shown=$(xvfb-run -a -s "-nolisten tcp -screen 0 1024x768x24" "$start_timer" --keys 1 \
    "img001.jpg - album.exe" unshare -rm bash -c "$cover" hidden "$work/album.exe")
echo "$shown"
[[ "$shown" == *'title "img002.jpg - album.exe"'* ]] || { echo "FAIL: the window did not page"; exit 1; }
echo "the album lists, extracts and shows its window without those libraries"
