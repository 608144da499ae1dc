#!/bin/sh
# Runs a command with PXW_READ_ONLY_FOLDER naming an empty read-only tmpfs, mounted in a new
# user and mount namespace (no root needed, and read-only even for root). Exits 77 (skipped)
# where user namespaces are off.
if ! unshare -rm true 2>/dev/null; then
    echo "skipped: user namespaces are not available (unshare -rm failed)"
    exit 77
fi
folder=$(mktemp -d)
trap 'rmdir "$folder"' EXIT
unshare -rm sh -c 'mount -t tmpfs -o ro pxw-read-only "$1" && shift && exec "$@"' sh \
    "$folder" env PXW_READ_ONLY_FOLDER="$folder" "$@"
