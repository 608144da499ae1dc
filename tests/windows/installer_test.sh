#!/bin/bash
# The Windows installer under Wine, in a fresh prefix: `setup.exe /S` puts every file of the
# staging tree where the layout says, makes the fixed folders, the Start-menu entry and the
# uninstall key; the installed album program runs; `uninstall.exe /S` removes all of it, keeps
# a file the user put in forpxw and leaves drive C: and the uninstall keys as they were.
# Exits 77 (skipped) without makensis or wine.
#
#   installer_test.sh PACKAGE_WINDOWS BUILD RUN_UNDER_WINE     (WINEPREFIX: a prefix of its own)
set -euo pipefail
package=$1 build=$2 wine_run=$3
for tool in makensis wine; do
    command -v $tool >/dev/null || { echo "SKIPPED: $tool is missing"; exit 77; }
done
work=$(mktemp -d)
trap '"$wine_run" --stop || true; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
wine_tool() { WINEDEBUG=-all wine "$@" 2>/dev/null | tr -d '\r'; }
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
c=$WINEPREFIX/drive_c
program_folder="$c/Program Files/Pixelwain"
drive_c_listing() { (cd "$c" && find . | LC_ALL=C sort); }

setup=$("$package" "$build" "$work/dist")
version=$(basename "$setup" | sed -n 's/^pixelwain-\(.*\)-setup\.exe$/\1/p')
staging=$build/windows-staging
"$wine_run" --stop 2>/dev/null || true
rm -rf "$WINEPREFIX"
"$wine_run" --start
drive_c_listing >"$work/before"
wine_tool reg query "$key" /s >"$work/keys-before"

"$wine_run" --run "$setup" /S || fail "setup.exe /S exited with $?"
while IFS= read -r file; do
    case $file in
    program/*) installed="$program_folder/${file#program/}" ;;
    windows/*) installed="$c/windows/${file#windows/}" ;;
    esac
    cmp "$staging/$file" "$installed" || fail "$file is not installed as $installed"
done < <(cd "$staging" && find . -type f -printf '%P\n')
for folder in lumaforge forpxw pxwtemp01; do
    [[ -d $c/windows/$folder ]] || fail "C:\\windows\\$folder is missing"
done
shortcut="$c/ProgramData/Microsoft/Windows/Start Menu/Programs/Pixelwain.lnk"
strings -a "$shortcut" | grep -qxF 'C:\Program Files\Pixelwain\pixelwain.exe' ||
    fail "no Start-menu entry for pixelwain.exe"
uninstall=$(wine_tool reg query "$key\\Pixelwain" /v UninstallString) || fail "no uninstall key"
[[ $uninstall == *'"C:\Program Files\Pixelwain\uninstall.exe"'* ]] || fail "key says: $uninstall"
if [[ -f $staging/program/pxwalbum.exe ]]; then
    said=$("$wine_run" --run "$program_folder/pxwalbum.exe" --version | tr -d '\r')
    [[ $said == "pxwalbum $version" ]] || fail "installed pxwalbum.exe --version says: $said"
fi

# A file of the user's, and the program's staged copies of a run, with a folder of the user's.
echo mine >"$c/windows/forpxw/mine.ico"
mkdir "$c/windows/pxwtemp01/kept"
echo staged >"$c/windows/pxwtemp01/img001.jpg"
# What NSIS itself does: the uninstaller, copied out of the folder it empties and given that
# folder as _?=, runs there and then exits. NSIS reads _?= only unquoted, and Wine quotes an
# argument with a blank: so the folder's short name.
cp "$program_folder/uninstall.exe" "$work/uninstall.exe"
short_folder=$(wine_tool winepath -s 'C:\Program Files\Pixelwain')
"$wine_run" --run "$work/uninstall.exe" /S "_?=$short_folder" ||
    fail "uninstall.exe /S exited with $?"
[[ ! -e $c/windows/pxwtemp01/img001.jpg ]] || fail "the uninstaller left the staged copy"
rm "$c/windows/forpxw/mine.ico" || fail "the uninstaller removed the user's file"
rmdir "$c/windows/pxwtemp01/kept" || fail "the uninstaller removed the user's folder"
rmdir "$c/windows/forpxw" "$c/windows/pxwtemp01" || fail "the uninstaller left the files above"
drive_c_listing | diff -u "$work/before" - || fail "the uninstaller left the files above"
wine_tool reg query "$key" /s | diff -u "$work/keys-before" - || fail "the uninstall keys differ"
echo "installed and uninstalled $(find "$staging" -type f | wc -l) files"
