#!/bin/sh
# Runs a command with PXW_FULL_FOLDER naming a 256 KiB tmpfs, mounted in a new user and mount
# namespace (no root needed). Exits 77 (skipped) where user namespaces are off.
if ! unshare -rm true 2>/dev/null; then
    echo "skipped: user namespaces are not available (unshare -rm failed)"
    exit 77
fi
folder=$(mktemp -d)
trap 'rmdir "$folder"' EXIT
unshare -rm sh -c 'mount -t tmpfs -o size=256k pxw-full "$1" && shift && exec "$@"' sh \
    "$folder" env PXW_FULL_FOLDER="$folder" "$@"
