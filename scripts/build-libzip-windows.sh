#!/usr/bin/env bash
# Cross-builds libzip for the Windows configuration, which Debian ships only for Linux: static,
# with mingw-w64 and the static zlib of libz-mingw-w64-dev, without bzip2, lzma, zstd or any
# crypto library, without its tools, tests or documents. Built from Debian's source package of
# the release the Linux build links, pinned by its checksums.
#   build-libzip-windows.sh DEPS_FOLDER TOOLCHAIN_FILE
# Installs into DEPS_FOLDER (include/, lib/libzip.a); a stamp there makes a second call free.
set -euo pipefail
deps=${1:?deps folder}
toolchain=${2:?toolchain file}
version=1.7.3
stamp=$deps/libzip-$version.stamp
[[ -f $stamp ]] && exit 0

pool=http://deb.debian.org/debian/pool/main/libz/libzip
dsc=libzip_$version-1.dsc
dsc_sha256=2b905c3e6277bb4ae62c4464c5c7bbbd6661715d5b3c0f94523c34df6d1f4d1e
tarball=libzip_$version.orig.tar.xz
work=$deps/libzip-work
mkdir -p "$work"
cd "$work"

fetch() {
    [[ -f $1 ]] && return
    curl -sSf --retry 2 -o "$1.part" "$pool/$1"
    mv "$1.part" "$1"
}
# A file that fails its checksum is removed, so that a next run fetches it afresh.
check() {
    echo "$1  $2" | sha256sum -c --quiet - && return
    rm -f "$2"
    echo "$2 does not have the pinned checksum; removed" >&2
    exit 1
}
fetch "$dsc"
check "$dsc_sha256" "$dsc"
# The tarball's checksum as the source package names it.
want=$(sed -n '/^Checksums-Sha256:/,/^[^ ]/p' "$dsc" | awk -v f="$tarball" '$3 == f { print $1 }')
[[ -n $want ]] || { echo "$dsc names no $tarball" >&2; exit 1; }
fetch "$tarball"
check "$want" "$tarball"

rm -rf "libzip-$version" build
tar -xf "$tarball"
cmake -S "libzip-$version" -B build -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS="-Os -ffunction-sections -fdata-sections -w" \
    -DCMAKE_INSTALL_PREFIX="$deps" -DBUILD_SHARED_LIBS=OFF \
    -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF -DENABLE_COMMONCRYPTO=OFF \
    -DENABLE_GNUTLS=OFF -DENABLE_MBEDTLS=OFF -DENABLE_OPENSSL=OFF -DENABLE_WINDOWS_CRYPTO=OFF \
    -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF \
    -DZLIB_INCLUDE_DIR=/usr/x86_64-w64-mingw32/include \
    -DZLIB_LIBRARY=/usr/x86_64-w64-mingw32/lib/libz.a >build.log 2>&1 \
    || { cat build.log >&2; exit 1; }
cmake --build build --target install -j2 >>build.log 2>&1 || { cat build.log >&2; exit 1; }
rm -rf "libzip-$version" build
touch "$stamp"
