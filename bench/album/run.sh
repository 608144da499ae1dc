#!/bin/bash
# An album of 500 converted photographs (300x400, JPEG):
# - times writing it with the zip component (pxwzip-bench: the eight operations on the real
#   component) against `zip -0 -q` of the same files, alternating the two, and prints the
#   ratio of the medians (target: 1.2 at most);
# - times the album from its start to its window showing the first image (pxw-album-start
#   waits for the window to be mapped; the image is decoded before that) under Xvfb (target:
#   0.3 s at most), and reads the album's peak memory after paging through every image with
#   the Right key (target: under 60 MB).
#
#   bench/album/run.sh [PHOTO_FOLDER]
#
# The photographs are made with vips from the photographs in PHOTO_FOLDER, by default
# bench/data/photos (bench/lumabatch/run.sh fetches them); without any, from vips' own
# patterns. BUILD names the build folder (default build), RUNS the number of timed runs
# per tool. Without a DISPLAY the script runs itself under xvfb-run.
set -euo pipefail
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-nolisten tcp -screen 0 1280x1024x24" "$0" "$@"
fi

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${BUILD:-$root/build}
runs=${RUNS:-9}
count=500
sources=${1:-$root/bench/data/photos}
work="$root/bench/out/album"
photos="$work/photos-$count"

for program in vips zip unzip xvfb-run; do
    command -v "$program" >/dev/null || { echo "missing: $program" >&2; exit 1; }
done
album_program="$build/src/app/pxwalbum"
bench="$build/bench/album/pxwzip-bench"
start_timer="$build/bench/album/pxw-album-start"
if ! cmake --build "$build" --target pxwalbum pxwzip-bench pxw-album-start >/dev/null 2>&1; then
    [ -x "$album_program" ] && [ -x "$bench" ] && [ -x "$start_timer" ] \
        || { echo "cannot build the benchmark's programs in $build" >&2; exit 1; }
    echo "(build failed; timing the programs already built in $build)"
fi

make_photos() {
    rm -rf "$photos.part"
    mkdir -p "$photos.part"
    local -a originals=()
    if [ -d "$sources" ]; then
        mapfile -t originals < <(find "$sources" -maxdepth 1 -type f -iname '*.jp*g' | sort)
    fi
    local sizes=(300x400)
    local i source box
    for ((i = 0; i < count; i++)); do
        box=${sizes[i % ${#sizes[@]}]}
        if [ ${#originals[@]} -gt 0 ]; then
            source=${originals[i % ${#originals[@]}]}
            vips thumbnail "$source" "$photos.part/$(printf 'photo%03d.jpg' "$i")[Q=85,strip]" \
                "${box%x*}" --height "${box#*x}" --crop "$( ((i / ${#originals[@]} % 2)) && echo attention || echo centre)" 2>/dev/null
        else
            vips gaussnoise "$work/noise.v" "${box%x*}" "${box#*x}" --sigma $((20 + i % 40)) --mean 128
            vips bandjoin_const "$work/noise.v" "$work/rgb.v" "$((i % 256)) $((255 - i % 256))"
            vips cast "$work/rgb.v" "$photos.part/$(printf 'photo%03d.jpg' "$i")[Q=85]" uchar
        fi
    done
    rm -f "$work"/*.v
    mv "$photos.part" "$photos"
}

mkdir -p "$work"
if [ "$(ls "$photos" 2>/dev/null | wc -l)" -ne "$count" ]; then
    echo "making $count photographs in $photos ..."
    make_photos
fi
vips black "$work/icon.png" 32 32 --bands 4

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/prefix/dosdevices"
ln -s / "$scratch/prefix/dosdevices/z:"

now() { date +%s%N; }
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

pxw_times=() zip_times=()
for ((run = 0; run < runs; run++)); do
    rm -f "$scratch/album.exe" "$scratch/album.zip"
    sync
    start=$(now)
    PIXELWAIN_PREFIX="$scratch/prefix" "$bench" "$album_program" "$work/icon.png" "$photos" "$scratch/album.exe"
    pxw_times+=($(($(now) - start)))
    start=$(now)
    (cd "$photos" && zip -0 -q "$scratch/album.zip" ./*.jpg)
    zip_times+=($(($(now) - start)))
done

unzip -tq "$scratch/album.exe" >/dev/null || { echo "the album does not test clean" >&2; exit 1; }
photo_bytes=$(du -cb "$photos"/*.jpg | tail -1 | cut -f1)
pxw_ms=$(printf '%s\n' "${pxw_times[@]}" | median | awk '{ printf "%.1f", $1 / 1e6 }')
zip_ms=$(printf '%s\n' "${zip_times[@]}" | median | awk '{ printf "%.1f", $1 / 1e6 }')
echo "photographs:   $count files, $((photo_bytes / 1024)) KiB in $photos"
echo "album program: $(stat -c %s "$album_program") bytes put in front of every album"
echo "pxwzip-bench:  $pxw_ms ms (median of $runs), album $(stat -c %s "$scratch/album.exe") bytes"
echo "zip -0 -q:     $zip_ms ms (median of $runs), archive $(stat -c %s "$scratch/album.zip") bytes"
awk -v a="$pxw_ms" -v b="$zip_ms" 'BEGIN { printf "ratio pxwzip-bench / zip -0: %.2f (target: 1.2 at most)\n", a / b }'

start_times=() peaks=()
for ((run = 0; run < runs; run++)); do
    report=$("$start_timer" --keys $((count - 1)) "photo000.jpg - album.exe" "$scratch/album.exe")
    start_times+=($(sed -n 's/^window shown after \([0-9.]*\) ms.*/\1/p' <<<"$report"))
    peaks+=($(sed -n 's/^after .* peak memory \([0-9]*\) kB.*/\1/p' <<<"$report"))
done
start_ms=$(printf '%s\n' "${start_times[@]}" | median | awk '{ printf "%.1f", $1 }')
peak_mb=$(printf '%s\n' "${peaks[@]}" | sort -n | tail -1 | awk '{ printf "%.1f", $1 / 1024 }')
echo "start to first image shown: $start_ms ms (median of $runs; target: 300 at most)"
echo "peak memory after all $count images: $peak_mb MB (largest of $runs; target: under 60)"
