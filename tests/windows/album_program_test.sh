#!/bin/bash
# The Windows album program in a real album, written by the zip component of the Linux build:
# the album passes `unzip -t`, lists, extracts and gives back its icon under Wine, and an
# album with a name Windows cannot hold, or a damaged one, is refused with nothing written.
# Exits 77 (skipped) when the Linux build's pxwzip-bench is missing.
#
#   album_program_test.sh PXWALBUM_EXE PXWZIP_BENCH RUN_UNDER_WINE
set -euo pipefail
album_program=$1 zip_bench=$2 wine_run=$3
if [[ ! -x $zip_bench ]]; then
    echo "SKIPPED: $zip_bench is missing; build the Linux configuration first"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
make_album() { # FOLDER ALBUM
    mkdir -p "$work/prefix/dosdevices"
    ln -sfn / "$work/prefix/dosdevices/z:"
    PIXELWAIN_PREFIX="$work/prefix" "$zip_bench" "$album_program" "$work/icon.ico" "$1" "$2"
}
mkdir -p "$work/photos" "$work/hostile"
for i in 1 2; do
    convert -size 40x30 "xc:rgb($((i * 90)),40,200)" "$work/photos/img00$i.jpg"
done
convert -size 32x32 xc:orange "$work/icon.ico"
make_album "$work/photos" "$work/album.exe"
unzip -tq "$work/album.exe" || fail "unzip -t refuses the album"

listed=$("$wine_run" --run "$work/album.exe" --list | tr -d '\r')
[[ $listed == $'img001.jpg\nimg002.jpg' ]] || fail "--list gave: $listed"
"$wine_run" --run "$work/album.exe" --extract "Z:$work/out"
for i in 1 2; do
    cmp "$work/photos/img00$i.jpg" "$work/out/img00$i.jpg"
done
"$wine_run" --run "$work/album.exe" --icon "Z:$work/icon-out.ico"
cmp "$work/icon.ico" "$work/icon-out.ico"

# A name Linux holds and Windows reads as a device; then a damaged entry.
cp "$work/photos/img001.jpg" "$work/hostile/CON.jpg"
make_album "$work/hostile" "$work/device.exe"
cp "$work/album.exe" "$work/damaged.exe"
at=$(LC_ALL=C grep -obUaP '\xff\xd9' "$work/damaged.exe" | tail -n1 | cut -d: -f1)
printf 'X' | dd of="$work/damaged.exe" bs=1 seek="$at" conv=notrunc status=none
for album in device damaged; do
    status=0
    "$wine_run" --run "$work/$album.exe" --extract "Z:$work/$album-out" 2>"$work/$album.err" || status=$?
    tr -d '\r' <"$work/$album.err"
    ((status == 1)) || fail "the $album album gave the exit status $status"
    [[ ! -e $work/$album-out ]] || fail "the $album album wrote $(ls "$work/$album-out")"
done
grep -q 'CON.jpg" has the name of a Windows device' "$work/device.err" || fail "no device message"
grep -q 'damaged: its CRC' "$work/damaged.err" || fail "no CRC message"
echo "the Windows album program lists, extracts and refuses under Wine"
