#!/bin/bash
# The Windows image tool under Wine on real photos, started with the program's own convert
# command line (whose d="...\" a C runtime would misread): the JPEG with an EXIF orientation,
# the PNG, the GIF, the TIFF and the BMP are converted, named, sized and pictured as the Linux
# tool does them, the JPEG photos to the byte; the truncated JPEG and the Photoshop file are reported and left with the rest
# done; a reader that sends a damaged reply, or none, costs only its files. The Linux
# comparison is skipped when its build is missing.
#
#   lumabatch_tool_test.sh LUMABATCH_EXE HOSTILE_READER_EXE LINUX_BUILD
set -euo pipefail
tool=$1 hostile=$2 linux_tool=$3/tools/lumabatch/lumabatch
# As run_under_wine.sh: the tool's command line goes through cmd, which that script cannot run.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
winpath() { echo "Z:${1//\//\\}"; }

mkdir -p "$work/photos"
convert -size 800x600 gradient:red-blue "$work/photos/photo.jpg"
convert -size 400x300 plasma:fractal -alpha set -channel A -evaluate set 50% "$work/photos/pic.png"
convert -size 200x100 xc:green "$work/photos/anim.gif"
convert -size 100x75 gradient:yellow-navy "$work/photos/small.bmp" # enlarged into the box
convert -size 640x320 plasma:fractal "$work/photos/scan.tif"
convert -size 100x80 xc:orange "$work/photos/layers.psd"
head -c 3000 "$work/photos/photo.jpg" >"$work/photos/brüchig.jpg"
# Orientation 6 (a quarter turn) in an EXIF block of its own right after the start marker.
{ head -c 2 "$work/photos/photo.jpg"
  printf '\xff\xe1\x00\x22Exif\x00\x00MM\x00\x2a\x00\x00\x00\x08\x00\x01\x01\x12\x00\x03\x00\x00\x00\x01\x00\x06\x00\x00\x00\x00\x00\x00'
  tail -c +3 "$work/photos/photo.jpg"; } >"$work/photos/turned.jpg"

# The convert command line of the program (job/command_lines.cpp), as cmd passes it on.
options() { # SOURCE DESTINATION
    echo "s=\"$1\" d=\"$2\" -w\"300\" -h\"300\" -prop -sm1 -namegen=\"img[counter3;1].jpg\" -ov" \
        "-dpiver72 -dpihor72 -sortlstAZ -sizeto(-1;-1;\"300\";\"300\") -exclude(db) -remsrc" \
        "-nodlg -q\"85"
}
run_windows() { # TOOL NAME: converts a copy of the photos into $work/NAME-out
    cp -r "$work/photos" "$work/$2"
    printf '@"%s" %s\r\n@exit %%ERRORLEVEL%%\r\n' "$(winpath "$1")" \
        "$(options "$(winpath "$work/$2")" "$(winpath "$work/$2-out")\\")" >"$work/$2.bat"
    status=0
    wine cmd /c "$(winpath "$work/$2.bat")" 2>"$work/$2.err" || status=$?
    cat "$work/$2.err"
}
sizes() { (cd "$1" && identify -format '%f %m %w %h %x %y\n' *); }

run_windows "$tool" win
((status == 1)) || fail "exit status $status"
grep -q '^lumabatch: layers.psd: not supported on Windows' "$work/win.err" ||
    fail "no message for the PSD file"
grep -q '^lumabatch: brüchig.jpg: damaged image' "$work/win.err" ||
    fail "no message for the truncated file"
[[ $(ls "$work/win") == $'brüchig.jpg\nlayers.psd' ]] || fail "sources left: $(ls "$work/win")"
grep -q $'\r' "$work/win.err" && fail "line ends other than Linux's"
sizes "$work/win-out"
[[ $(sizes "$work/win-out" | awk '$2 == "JPEG" && $3 <= 300 && $4 <= 300' | wc -l) == 6 ]] \
    || fail "not six JPEG files within 300 x 300"

if [[ -x $linux_tool ]]; then
    mkdir -p "$work/linux"
    cp "$work/photos"/* "$work/linux"
    rm "$work/linux/layers.psd" # read on Linux, it would take a number
    # The same words: no value holds a blank, so the quotes only go.
    read -ra words <<<"$(options "$work/linux" "$work/linux-out/" | tr -d '"')"
    "$linux_tool" "${words[@]}" 2>/dev/null || true
    [[ $(sizes "$work/win-out") == "$(sizes "$work/linux-out")" ]] \
        || fail "the Linux tool made: $(sizes "$work/linux-out")"
    # The same pictures: turned the same way, colours in their places, alpha on white.
    for output in "$work/win-out"/*; do
        psnr=$(compare -metric PSNR "$output" "$work/linux-out/${output##*/}" null: 2>&1 || true)
        echo "${output##*/}: $psnr dB from the Linux tool's"
        awk -v psnr="$psnr" 'BEGIN { exit !(psnr + 0 >= 30 || psnr == "inf") }' \
            || fail "${output##*/} differs from the Linux tool's"
    done
    # The JPEG photos, converted by the same JPEG reader, come out byte for byte as on Linux, at
    # the quality asked for. The outputs are numbered in the order of the sources converted.
    mapfile -t converted < <(ls "$work/photos" |
        grep -vxF -f <(sed -n 's/^lumabatch: \([^:]*\): .*/\1/p' "$work/win.err"))
    outputs=("$work/win-out"/*) photos=0
    for i in "${!converted[@]}"; do
        [[ ${converted[i]} == *.jpg ]] || continue
        cmp "${outputs[i]}" "$work/linux-out/${outputs[i]##*/}" || fail "${converted[i]} differs"
        [[ $(identify -format %Q "${outputs[i]}") == 85 ]] || fail "${converted[i]}: not quality 85"
        photos=$((photos + 1))
    done
    ((photos == 2)) || fail "$photos JPEG photos compared, not 2"
else
    echo "SKIPPED the comparison: $linux_tool is missing"
fi

# Beside the tool, readers that answer wrongly: each file fails alone, and nothing is written.
mkdir -p "$work/hostile-tool"
cp "$tool" "$work/hostile-tool/lumabatch.exe"
cp "$hostile" "$work/hostile-tool/lumabatch-reader.exe"
for row in "short:the image reader sent a damaged reply" \
    "wide:the image reader sent a damaged reply" "jpeg:the image reader sent a damaged reply" \
    "silent:the image reader crashed on this file"; do
    LUMABATCH_TEST_READER=${row%%:*} run_windows "$work/hostile-tool/lumabatch.exe" "${row%%:*}"
    ((status == 1)) || fail "exit status $status with the ${row%%:*} reader"
    [[ $(grep -c "^lumabatch: [^:]*: ${row#*:}\$" "$work/${row%%:*}.err") == 8 ]] \
        || fail "not eight times \"${row#*:}\""
    [[ -z $(ls -A "$work/${row%%:*}-out") ]] || fail "the ${row%%:*} reader's run wrote files"
done
echo "the Windows tool converts, names and refuses as the Linux one"
