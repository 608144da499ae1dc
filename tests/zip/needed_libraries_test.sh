#!/bin/bash
# The album program travels inside every album, so it may need only what every Linux desktop
# has: the C library (and its loader), libgcc_s, the X11 client libraries, fontconfig and
# freetype. It must also be stripped and stay within 2.5 MB.
#
#   needed_libraries_test.sh PXWALBUM
set -euo pipefail
program=$1
allowed='^(libc\.so\.6|libm\.so\.6|libdl\.so\.2|libpthread\.so\.0|librt\.so\.1|ld-linux-x86-64\.so\.2|libgcc_s\.so\.1|libX(11|ext|ft|render|inerama|fixes|cursor|randr|i)\.so\.[0-9]+|libxcb[a-z0-9-]*\.so\.[0-9]+|libfontconfig\.so\.1|libfreetype\.so\.6)$'

needed=$(readelf -d "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p')
echo "NEEDED by $program:" $needed
[ -n "$needed" ] || { echo "FAIL: readelf lists no libraries; is it a dynamic program?"; exit 1; }
refused=$(grep -vE "$allowed" <<<"$needed" || true)
[ -z "$refused" ] || { echo "FAIL: libraries an album cannot count on:" $refused; exit 1; }
if readelf -S "$program" | grep -q '\.symtab'; then
    echo "FAIL: $program is not stripped"
    exit 1
fi
size=$(stat -c %s "$program")
echo "size: $size bytes"
[ "$size" -le $((2560 * 1024)) ] || { echo "FAIL: larger than 2.5 MB"; exit 1; }
