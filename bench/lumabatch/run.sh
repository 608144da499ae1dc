#!/bin/bash
# Times lumabatch against vipsthumbnail and ImageMagick's mogrify on the same batch of real
# photographs (300x400 box, quality 90) and prints the ratios.
#
#   bench/lumabatch/run.sh [PHOTO_FOLDER]
#
# Without a folder, ~40 photographs are taken from Debian's wallpaper packages, downloaded
# into bench/data (not kept in git). LUMABATCH names the tool (default: the build folder's),
# RUNS the number of timed runs per tool (the median counts).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
data="$root/bench/data"
tool=${LUMABATCH:-$root/build/tools/lumabatch/lumabatch}
runs=${RUNS:-3}
count=${PHOTOS:-40}

for program in "$tool" vipsthumbnail mogrify /usr/bin/time; do
    command -v "$program" >/dev/null || { echo "missing: $program" >&2; exit 1; }
done

fetch_photos() {
    local photos=$1
    mkdir -p "$data/debs" "$data/extract" "$photos"
    if ! ls "$data"/debs/*.deb >/dev/null 2>&1; then
        (cd "$data/debs" && apt-get download plasma-workspace-wallpapers lomiri-wallpapers-20.04)
    fi
    for deb in "$data"/debs/*.deb; do
        dpkg-deb -x "$deb" "$data/extract"
    done
    # Every JPEG photograph (not the small screenshots); when they are fewer than wanted,
    # the PNG wallpapers are made JPEG photographs too.
    local name file
    find "$data/extract" -type f \( -iname '*.jpg' -o -iname '*.jpeg' \) -size +150k | sort |
        head -n "$count" | while read -r file; do
            name=${file#"$data/extract/usr/share/"}
            cp "$file" "$photos/${name//\//_}"
        done
    find "$data/extract" -type f -iname '*.png' -size +300k | sort |
        head -n $((count - $(ls "$photos" | wc -l))) | while read -r file; do
            name=${file#"$data/extract/usr/share/"}
            vips copy "$file" "$photos/${name//\//_}.jpg[Q=92]"
        done
}

photos=${1:-}
if [ -z "$photos" ]; then
    photos="$data/photos"
    if [ "$(ls "$photos" 2>/dev/null | wc -l)" -lt "$count" ]; then
        rm -rf "$photos"
        fetch_photos "$photos"
    fi
fi
n=$(ls "$photos" | wc -l)
megabytes=$(du -sm "$photos" | cut -f1)
echo "batch: $n photos, $megabytes MB, in $photos"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Runs one timed command; sets seconds and kilobytes (peak resident memory).
timed() {
    /usr/bin/time -f '%e %M' -o "$work/time" "$@" >/dev/null 2>"$work/stderr" || {
        echo "failed: $*" >&2; cat "$work/stderr" >&2; exit 1; }
    read -r seconds kilobytes <"$work/time"
}

# lumabatch runs the program's convert command line on a staged copy, as the program does.
stage='rm -rf "$work/stage" "$work/out"; cp -r "$photos" "$work/stage"; mkdir -p "$work/out"'
clean='rm -rf "$work/out"; mkdir -p "$work/out"'
luma_command=("$tool" "s=$work/stage" "d=$work/out" -w300 -h400 -prop -sm1 "-namegen=[counter2;0].jpg"
    -ov -dpiver72 -dpihor72 -sortlstAZ "-sizeto(-1;-1;300;400)" "-exclude(db)" -remsrc -nodlg -q90)
thumb_command=(vipsthumbnail --size 300x400 -o "$work/out/%s.jpg[Q=90]" "$photos"/*)
mogrify_command=(mogrify -path "$work/out" -resize 300x400 -quality 90 "$photos"/*)

# The tools take turns, run after run, so that a change in the machine's load (it is shared)
# weighs on all of them alike. The median wall time and the largest peak count.
declare -A times peaks
for ((i = 0; i < runs; i++)); do
    eval "$stage"
    timed "${luma_command[@]}"
    times[lumabatch]+="$seconds "; ((kilobytes > ${peaks[lumabatch]:-0})) && peaks[lumabatch]=$kilobytes
    written=$(ls "$work/out" | wc -l)
    [ "$written" -eq "$n" ] || { echo "lumabatch wrote $written of $n" >&2; exit 1; }
    eval "$clean"
    timed "${thumb_command[@]}"
    times[vipsthumbnail]+="$seconds "; ((kilobytes > ${peaks[vipsthumbnail]:-0})) && peaks[vipsthumbnail]=$kilobytes
    eval "$clean"
    timed "${mogrify_command[@]}"
    times[mogrify]+="$seconds "; ((kilobytes > ${peaks[mogrify]:-0})) && peaks[mogrify]=$kilobytes
done
median() { printf '%s\n' $1 | sort -n | sed -n "$(((runs + 1) / 2))p"; }
# Start-up: a run over an empty folder, the whole cost of a tool that has nothing to do.
mkdir -p "$work/empty"
starts=""
for ((i = 0; i < 21; i++)); do
    begin=$(date +%s%N)
    "$tool" "s=$work/empty" "d=$work/out" -w300 -h400 >/dev/null 2>&1
    starts+="$(( ($(date +%s%N) - begin) / 1000000 )) "
done
start_ms=$(printf '%s\n' $starts | sort -n | sed -n 11p)
luma="lumabatch $(median "${times[lumabatch]}") ${peaks[lumabatch]}"
thumb="vipsthumbnail $(median "${times[vipsthumbnail]}") ${peaks[vipsthumbnail]}"
mogr="mogrify $(median "${times[mogrify]}") ${peaks[mogrify]}"
echo "wall times per run: lumabatch ${times[lumabatch]}; vipsthumbnail ${times[vipsthumbnail]}; mogrify ${times[mogrify]}"

printf '%-14s %10s %12s\n' tool "wall (s)" "peak (MB)"
for line in "$luma" "$thumb" "$mogr"; do
    read -r name seconds kilobytes <<<"$line"
    printf '%-14s %10s %12d\n' "$name" "$seconds" $((kilobytes / 1024))
done
read -r _ luma_s luma_kb <<<"$luma"
read -r _ thumb_s _ <<<"$thumb"
read -r _ mogr_s _ <<<"$mogr"
awk -v l="$luma_s" -v t="$thumb_s" -v m="$mogr_s" -v kb="$luma_kb" 'BEGIN {
    printf "lumabatch / vipsthumbnail wall time: %.2f (target at most 0.65)\n", l / t
    printf "mogrify / lumabatch wall time:       %.1fx (target at least 6x)\n", m / l
    printf "lumabatch peak memory:               %d MB (target under 300 MB)\n", kb / 1024 }'
echo "lumabatch start-up (empty folder):   $start_ms ms (median of 21)"
