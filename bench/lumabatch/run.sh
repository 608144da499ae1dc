#!/bin/bash
# Races lumabatch against vipsthumbnail (300x400 box, quality 90) and prints, as medians of
# alternating pairs, the ratios lumabatch is held to:
#   - wall and CPU (user + sys) time on an everyday batch (phone-sized photos of 1-5 MP) and on
#     the large photographs;
#   - start-up: lumabatch on an empty folder against vipsthumbnail given no files;
#   - peak memory on the large photographs, all of the tool's processes together;
# and the quality of lumabatch's pictures as PSNR against ImageMagick's -resize.
#
#   bench/lumabatch/run.sh [PHOTO_FOLDER]
#
# Without a folder, ~40 photographs are taken from Debian's wallpaper packages, downloaded
# into bench/data (not kept in git); the everyday batch is made from them there.
# LUMABATCH names the tool (default: the build folder's), PAIRS the number of alternating
# pairs (at least 5), EVERYDAY the size of the everyday batch (default 12).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
data="$root/bench/data"
tool=${LUMABATCH:-$root/build/tools/lumabatch/lumabatch}
pairs=${PAIRS:-5}
count=${PHOTOS:-40}
everyday_count=${EVERYDAY:-12}
magick=/usr/bin/convert-im6.q16 # the real ImageMagick, whatever stands first on PATH
((pairs >= 5)) || { echo "PAIRS must be at least 5" >&2; exit 1; }

for program in "$tool" vipsthumbnail vips vipsheader "$magick" compare python3; do
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

# The everyday batch: photographs spread over the large set, shrunk with a Lanczos filter to
# 1, 2, 3, 4 and 5 megapixels in turn, saved as q92 JPEG. Named e01.jpg, e02.jpg... so that
# lumabatch's counter names (01.jpg, 02.jpg...) match them one to one.
make_everyday() {
    local large=$1 everyday=$2 all i=0 file width height megapixels scale
    mkdir -p "$everyday"
    mapfile -t all < <(ls "$large")
    for ((i = 0; i < everyday_count; i++)); do
        file="$large/${all[i * ${#all[@]} / everyday_count]}"
        width=$(vipsheader -f width "$file")
        height=$(vipsheader -f height "$file")
        megapixels=$((i % 5 + 1))
        scale=$(awk -v w="$width" -v h="$height" -v m="$megapixels" \
            'BEGIN { s = sqrt(m * 1e6 / (w * h)); printf "%.6f", (s < 1 ? s : 1) }')
        vips resize "$file" "$everyday/$(printf 'e%02d.jpg' $((i + 1)))[Q=92,strip]" "$scale" \
            --kernel lanczos3
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
everyday="$data/everyday-$everyday_count"
[ "$(ls "$everyday" 2>/dev/null | wc -l)" -eq "$everyday_count" ] || {
    rm -rf "$everyday"
    make_everyday "$photos" "$everyday"
}

work=$(mktemp -d)
cgroup=""
cleanup() {
    [ -z "$cgroup" ] || rmdir "$cgroup" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg) at the start"

# Peak memory of a command and everything it starts: a memory cgroup of its own when one can
# be made here (v2 memory.peak, or v1 memory.max_usage_in_bytes), else only the largest
# process as /usr/bin/time sees it.
memory_root=""
own=$(awk -F: '$1 == 0 && $3 != "/" { print $3 }' /proc/self/cgroup)
if [ -n "$own" ] && [ -w "/sys/fs/cgroup$own" ]; then
    memory_root="/sys/fs/cgroup$own"
else
    own=$(awk -F: '$2 == "memory" { print $3 }' /proc/self/cgroup)
    [ -n "$own" ] && [ -w "/sys/fs/cgroup/memory$own" ] && memory_root="/sys/fs/cgroup/memory$own"
fi
if [ -n "$memory_root" ] && mkdir "$memory_root/lumabatch-bench-$$" 2>/dev/null; then
    cgroup="$memory_root/lumabatch-bench-$$"
    peak_file="$cgroup/memory.peak"
    [ -e "$peak_file" ] || peak_file="$cgroup/memory.max_usage_in_bytes"
    echo "peak memory: all processes of a run, from a memory cgroup ($(basename "$peak_file"))"
else
    echo "peak memory: no memory cgroup can be made here; largest single process only"
fi

# Runs one command; sets wall and cpu (seconds, to the millisecond: the everyday batch takes
# a few tenths) and megabytes (peak memory). CPU is that of the command and every process it
# waited for, from the kernel's accounting.
timed() {
    local use_cgroup=""
    if [ -n "$cgroup" ]; then
        # A fresh cgroup each run, so that the peak is this run's.
        rmdir "$cgroup" 2>/dev/null || true
        mkdir "$cgroup" && use_cgroup=$cgroup
    fi
    python3 "$here/timed.py" "$work/time" "$use_cgroup" "$@" >/dev/null 2>"$work/stderr" ||
        { echo "failed: $*" >&2; cat "$work/stderr" >&2; exit 1; }
    local user system kilobytes
    read -r wall user system kilobytes <"$work/time"
    cpu=$(awk -v u="$user" -v s="$system" 'BEGIN { printf "%.4f", (u + s) }')
    megabytes=$((kilobytes / 1024))
    [ -z "$use_cgroup" ] || megabytes=$(($(cat "$peak_file") / 1048576))
}

# lumabatch runs the program's convert command line on a staged copy (it removes its sources),
# as the program does; the staging is not timed.
luma_run() { # SOURCE_FOLDER
    rm -rf "$work/stage" "$work/out"
    cp -r "$1" "$work/stage"
    mkdir -p "$work/out"
    timed "$tool" "s=$work/stage" "d=$work/out" -w300 -h400 -prop -sm1 "-namegen=[counter2;1].jpg" \
        -ov -dpiver72 -dpihor72 -sortlstAZ "-sizeto(-1;-1;300;400)" "-exclude(db)" -remsrc -nodlg -q90
    local written
    written=$(ls "$work/out" | wc -l)
    [ "$written" -eq "$(ls "$1" | wc -l)" ] || { echo "lumabatch wrote $written files from $1" >&2; exit 1; }
}
thumb_run() { # SOURCE_FOLDER
    rm -rf "$work/thumbs"
    mkdir -p "$work/thumbs"
    timed vipsthumbnail --size 300x400 -o "$work/thumbs/%s.jpg[Q=90]" "$1"/*
}
empty_luma_run() {
    mkdir -p "$work/empty" "$work/out"
    timed "$tool" "s=$work/empty" "d=$work/out" -w300 -h400 -q90 -nodlg
}
empty_thumb_run() { timed vipsthumbnail; }

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", (b > 0 ? a / b : 0) }'; }

# Races A against B, taking turns, so that a change in the machine's load (it is shared)
# weighs on both alike; one warm-up pair first. Sets the arrays wall_ratios, cpu_ratios,
# memory_ratios and a_walls, b_walls, a_cpus, b_cpus, a_megabytes, b_megabytes.
race() { # A_FUNCTION B_FUNCTION ARGUMENT...
    local a=$1 b=$2 i
    shift 2
    wall_ratios=() cpu_ratios=() memory_ratios=() a_walls=() b_walls=() a_cpus=() b_cpus=()
    a_megabytes=() b_megabytes=()
    "$a" "$@"
    "$b" "$@"
    for ((i = 0; i < pairs; i++)); do
        "$a" "$@"
        a_walls+=("$wall") a_cpus+=("$cpu") a_megabytes+=("$megabytes")
        "$b" "$@"
        b_walls+=("$wall") b_cpus+=("$cpu") b_megabytes+=("$megabytes")
        wall_ratios+=("$(ratio "${a_walls[i]}" "$wall")")
        cpu_ratios+=("$(ratio "${a_cpus[i]}" "$cpu")")
        memory_ratios+=("$(ratio "${a_megabytes[i]}" "$megabytes")")
    done
}

row() { # FIGURE NOW GOAL DETAIL
    printf '%-52s %7s %7s   %s\n' "$1" "$2" "$3" "$4"
}

everyday_mb=$(du -sm "$everyday" | cut -f1)
large_mb=$(du -sm "$photos" | cut -f1)
echo "everyday batch: $everyday_count photos of 1-5 MP, $everyday_mb MB; large batch: $(ls "$photos" | wc -l) photos, $large_mb MB"
echo "medians of $pairs alternating pairs; A/B per pair, then the median"
row figure ratio goal "lumabatch | vipsthumbnail (medians)"

race luma_run thumb_run "$everyday"
row "wall, everyday batch" "$(median "${wall_ratios[@]}")" 0.62 \
    "$(median "${a_walls[@]}") s | $(median "${b_walls[@]}") s"
everyday_cpu=$(median "${cpu_ratios[@]}")
everyday_cpu_detail="$(median "${a_cpus[@]}") s | $(median "${b_cpus[@]}") s"

race luma_run thumb_run "$photos"
row "wall, large batch" "$(median "${wall_ratios[@]}")" 0.58 \
    "$(median "${a_walls[@]}") s | $(median "${b_walls[@]}") s"
row "CPU (user + sys), everyday batch" "$everyday_cpu" 0.95 "$everyday_cpu_detail"
row "CPU (user + sys), large batch" "$(median "${cpu_ratios[@]}")" 0.95 \
    "$(median "${a_cpus[@]}") s | $(median "${b_cpus[@]}") s"
memory_row=("peak memory, large batch" "$(median "${memory_ratios[@]}")" 1.1
    "$(median "${a_megabytes[@]}") MB | $(median "${b_megabytes[@]}") MB")

race empty_luma_run empty_thumb_run
row "start-up, empty folder | no files" "$(median "${wall_ratios[@]}")" 0.6 \
    "$(median "${a_walls[@]}") s | $(median "${b_walls[@]}") s"
row "${memory_row[@]}"

# Quality: each everyday photo through lumabatch against ImageMagick's -resize of it, made
# the very same size so that the pixels line up.
luma_run "$everyday"
psnrs=()
for output in "$work/out"/*.jpg; do
    source="$everyday/e$(basename "$output")"
    size=$(vipsheader -f width "$output")x$(vipsheader -f height "$output")
    "$magick" "$source" -auto-orient -resize "$size!" -quality 100 "$work/reference.png"
    # compare prints the figure on standard error and exits 1 when the pictures differ.
    psnrs+=("$(compare -metric PSNR "$output" "$work/reference.png" null: 2>&1 || true)")
done
lowest=$(printf '%s\n' "${psnrs[@]}" | sort -g | head -n1)
highest=$(printf '%s\n' "${psnrs[@]}" | sort -g | tail -n1)
row "PSNR vs ImageMagick -resize, everyday (dB, lowest)" "$lowest" ">= 33" "highest $highest"
# ImageMagick's mogrify, the tool lumabatch is also meant to leave far behind (at least 6x):
# slow, so only with MOGRIFY=1, one race of the large batch.
mogrify_run() { # SOURCE_FOLDER
    rm -rf "$work/mogrified"
    mkdir -p "$work/mogrified"
    timed mogrify -path "$work/mogrified" -resize 300x400 -quality 90 "$1"/*
}
if [ "${MOGRIFY:-0}" = 1 ]; then
    pairs=1 race mogrify_run luma_run "$photos"
    row "wall, mogrify / lumabatch, large batch (1 pair)" "${wall_ratios[0]}" ">= 6" ""
fi
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
