#!/usr/bin/env bash
# Fails when a folder includes a project header from a folder it may not use: includes run only
# down the layers of README.md's layout table, and the view and the commands never meet. A
# header named without a folder must be one of the including file's own folder, so that no
# include directory lets a folder use another's headers unseen (generated and system headers
# are included with <>).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

# folder: the folders whose headers it may include (besides its own)
declare -A allowed=(
    [src/base]=""
    [src/jpeg]="base"
    [src/platform]="base"
    [src/platform/posix]="base platform"
    [src/platform/win32]="base platform"
    [src/albumfile]="base platform"
    [src/zip]="base platform albumfile"
    [src/ui]="base platform"
    [src/view]="base platform ui"
    [src/view_win32]="base platform ui"
    [src/inputs]="base platform ui"
    [src/job]="base platform ui"
    [src/conversion]="base platform ui inputs job"
    [src/album]="base platform ui inputs job"
    [src/app]="base platform platform/posix platform/win32 albumfile zip ui view view_win32 inputs job conversion album"
    [tools/lumabatch]="base platform jpeg lumabatch/inside lumabatch/wic"
    [tools/lumabatch/inside]="base platform"
    [tools/lumabatch/jpeg]="base platform jpeg lumabatch/inside"
    [tools/lumabatch/reader]="base platform jpeg lumabatch/inside"
    [tools/lumabatch/magick]="base platform jpeg lumabatch/inside lumabatch/reader"
    [tools/lumabatch/wic]="base platform lumabatch/inside lumabatch/jpeg"
    [tools/lumaprogress]="base platform"
    [tools/album]="base albumfile jpeg"
)

status=0
for folder in "${!allowed[@]}"; do
    own=${folder#src/}
    own=${own#tools/}
    while IFS=: read -r file line include; do
        used=$(sed -E 's/.*#include "(.*)\/[^/]*"/\1/' <<<"$include")
        [[ $used == "$own" ]] && continue
        if [[ " ${allowed[$folder]} " != *" $used "* ]]; then
            echo "$file:$line: $folder may not include $used/"
            status=1
        fi
    done < <(cd "$top" && grep -rnE --include='*.cpp' --include='*.h' '^#include "[^"]+/[^"]+"' \
        "$folder" | grep -v "^$folder/[^:]*/")
    while IFS=: read -r file line include; do
        header=$(sed -E 's/.*#include "(.*)"/\1/' <<<"$include")
        if [[ ! -f $top/$folder/$header ]]; then
            echo "$file:$line: $header is not in $folder/; name its folder"
            status=1
        fi
    done < <(cd "$top" && grep -rnE --include='*.cpp' --include='*.h' '^#include "[^"/]+"' \
        "$folder" | grep -v "^$folder/[^:]*/")
done
exit $status
