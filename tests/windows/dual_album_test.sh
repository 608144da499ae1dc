#!/bin/bash
# An album that opens on Windows and on Linux (albumfile/album_program.h), written by the zip
# component of the Linux build around both album programs: `unzip -t` passes; it lists,
# extracts and gives back its icon with `sh`, `bash`, `dash`, from a shell as ./album.exe, and
# under Wine; the Linux program leaves no copy behind; the Windows side imports only DLLs of
# Windows and carries the chosen icon. Exits 77 (skipped) when the Linux build is missing.
#
#   dual_album_test.sh PXWALBUM_EXE LINUX_BUILD RUN_UNDER_WINE
set -euo pipefail
windows_program=$1 linux_build=$2 wine_run=$3
zip_bench=$linux_build/bench/album/pxwzip-bench linux_program=$linux_build/src/app/pxwalbum
if [[ ! -x $zip_bench || ! -x $linux_program ]]; then
    echo "SKIPPED: $zip_bench or $linux_program is missing; build the Linux configuration first"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

mkdir -p "$work/photos" "$work/prefix/dosdevices" "$work/tmp"
ln -s / "$work/prefix/dosdevices/z:"
for i in 1 2; do
    convert -size 40x30 "xc:rgb($((i * 90)),40,200)" "$work/photos/img00$i.jpg"
done
convert -size 16x16 xc:orange -size 32x32 xc:navy "$work/icon.ico"
PIXELWAIN_PREFIX="$work/prefix" "$zip_bench" "$linux_program" "$work/icon.ico" "$work/photos" \
    "$work/album.exe" "$windows_program"
unzip -tq "$work/album.exe" || fail "unzip -t refuses the album"
dlls=$(x86_64-w64-mingw32-objdump -p "$work/album.exe" | sed -n 's/.*DLL Name: //p' | tr 'A-Z' 'a-z' | sort | tr '\n' ' ')
for dll in $dlls; do
    [[ " kernel32.dll user32.dll gdi32.dll shell32.dll ole32.dll msvcrt.dll " == *" $dll "* ]] \
        || fail "the Windows side imports $dll"
done
echo "imports: $dlls"
# The Windows side's icon resources are the chosen icon (wrestool pads what it extracts).
wrestool -x -t14 "$work/album.exe" >"$work/icon-resource.ico"
cmp -n "$(stat -c %s "$work/icon.ico")" "$work/icon.ico" "$work/icon-resource.ico" \
    || fail "the Windows program's icon is not the chosen one"

expected=$'img001.jpg\nimg002.jpg'
export TMPDIR=$work/tmp
for shell in sh bash dash; do
    listed=$("$shell" "$work/album.exe" --list)
    [[ $listed == "$expected" ]] || fail "$shell album.exe --list gave: $listed"
done
listed=$(cd "$work" && bash -c './album.exe --list')
[[ $listed == "$expected" ]] || fail "./album.exe --list gave: $listed"
sh "$work/album.exe" --extract "$work/out-linux"
sh "$work/album.exe" --icon "$work/icon-linux.ico"
[[ -z $(ls -A "$work/tmp") ]] || fail "the Linux program left $(ls -A "$work/tmp")"

listed=$("$wine_run" --run "$work/album.exe" --list | tr -d '\r')
[[ $listed == "$expected" ]] || fail "Wine: --list gave: $listed"
"$wine_run" --run "$work/album.exe" --extract "Z:$work/out-windows"
"$wine_run" --run "$work/album.exe" --icon "Z:$work/icon-windows.ico"
for i in 1 2; do
    cmp "$work/photos/img00$i.jpg" "$work/out-linux/img00$i.jpg"
    cmp "$work/photos/img00$i.jpg" "$work/out-windows/img00$i.jpg"
done
cmp "$work/icon.ico" "$work/icon-linux.ico"
cmp "$work/icon.ico" "$work/icon-windows.ico"
photos=$(cat "$work"/photos/* "$work/icon.ico" | wc -c)
echo "the album opens on both; programs and archive add $(($(stat -c %s "$work/album.exe") - photos)) bytes"
