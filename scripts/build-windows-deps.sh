#!/usr/bin/env bash
# Cross-builds the libraries the Windows configuration links that Debian ships only for Linux:
# static, -Os, with mingw-w64, from Debian bookworm's source packages of the releases the Linux
# build links, each pinned by the checksum of its .dsc (whose Checksums-Sha256 then pin the
# tarballs), with Debian's own patches applied in series order as `apt-get source` does.
#   build-windows-deps.sh DEPS_FOLDER TOOLCHAIN_FILE NAME...
# NAME is libzip, libjpeg-turbo, lcms2 or libexif. Each installs into DEPS_FOLDER (include/,
# lib/); a stamp there per library makes a second call free.
#   libzip: without bzip2, lzma, zstd or any crypto library, tools, tests or documents; with
#     the static zlib of libz-mingw-w64-dev.
#   libjpeg-turbo: the libjpeg API alone (no TurboJPEG), with its SIMD code as on Linux (nasm
#     adds about a second to its build; four 12-megapixel photos at full size convert in 2.2 s
#     under Wine rather than 3.1 s).
#   lcms2, libexif: the library alone (no tools, no translations), compiled without their
#     configure scripts, which take longer than the compile itself.
set -eEuo pipefail
deps=$(realpath -m "${1:?deps folder}")
toolchain=$(realpath "${2:?toolchain file}")
shift 2
triplet=x86_64-w64-mingw32
cflags="-Os -ffunction-sections -fdata-sections -w"

# Sets the source package's pinned names for NAME.
describe() {
    debian_tarball=
    case $1 in
    libzip)
        version=1.7.3 pool=libz/libzip dsc=libzip_1.7.3-1.dsc
        dsc_sha256=2b905c3e6277bb4ae62c4464c5c7bbbd6661715d5b3c0f94523c34df6d1f4d1e
        tarball=libzip_1.7.3.orig.tar.xz ;;
    libjpeg-turbo)
        version=2.1.5 pool=libj/libjpeg-turbo dsc=libjpeg-turbo_2.1.5-2.dsc
        dsc_sha256=d718ead0dfbcbc8523665c02a7f7152e31039ded641d022868722623bb3b486d
        tarball=libjpeg-turbo_2.1.5.orig.tar.gz debian_tarball=libjpeg-turbo_2.1.5-2.debian.tar.xz ;;
    lcms2)
        version=2.14 pool=l/lcms2 dsc=lcms2_2.14-2+deb12u1.dsc
        dsc_sha256=8328883a2b25ac3017bdacd1b1b1b60a3ae1f1e68a7e92d94b03060274cd10c5
        tarball=lcms2_2.14.orig.tar.gz debian_tarball=lcms2_2.14-2+deb12u1.debian.tar.xz ;;
    libexif)
        version=0.6.24 pool=libe/libexif dsc=libexif_0.6.24-1+deb12u1.dsc
        dsc_sha256=966c6129c35f398ec868398e126496764c3afabe5f3ec3e8b7f1eba61144b4f6
        tarball=libexif_0.6.24.orig.tar.gz debian_tarball=libexif_0.6.24-1+deb12u1.debian.tar.xz ;;
    *)
        echo "build-windows-deps.sh: no library named $1" >&2
        exit 2 ;;
    esac
}

fetch() {
    [[ -f $1 ]] && return
    curl -sSf --retry 2 -o "$1.part" "http://deb.debian.org/debian/pool/main/$pool/$1"
    mv "$1.part" "$1"
}
# A file that fails its checksum is removed, so that a next run fetches it afresh.
check() {
    echo "$1  $2" | sha256sum -c --quiet - && return
    rm -f "$2"
    echo "$2 does not have the pinned checksum; removed" >&2
    exit 1
}
# Fetches and checks a file the .dsc names.
fetch_named() {
    local want
    want=$(sed -n '/^Checksums-Sha256:/,/^[^ ]/p' "$dsc" | awk -v f="$1" '$3 == f { print $1 }')
    [[ -n $want ]] || { echo "$dsc names no $1" >&2; exit 1; }
    fetch "$1"
    check "$want" "$1"
}
# Unpacks the source into src/, with Debian's patches applied.
unpack() {
    rm -rf src debian build
    mkdir src
    tar -xf "$tarball" -C src --strip-components=1
    [[ -n $debian_tarball ]] || return 0
    tar -xf "$debian_tarball"
    [[ -f debian/patches/series ]] || return 0
    local patch_name
    while read -r patch_name _; do
        [[ -z $patch_name || $patch_name == \#* ]] && continue
        patch -d src -p1 -s <"debian/patches/$patch_name"
    done <debian/patches/series
}
# The .c files of a folder compiled two at a time and archived, for the libraries whose
# configure script would take longer than their compile.
archive() {
    local library=$1 flags=$2
    shift 2
    mkdir -p build "$deps/lib"
    printf '%s\n' "$@" | xargs -P2 -n1 sh -c \
        '"$0" $1 -c "$2" -o "build/$(basename "$2" .c).o"' "$triplet-gcc-posix" "$cflags $flags"
    rm -f "$deps/lib/$library"
    "$triplet-ar" rcs "$deps/lib/$library" build/*.o
}

build_libzip() {
    cmake -S src -B build -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS="$cflags" \
        -DCMAKE_INSTALL_PREFIX="$deps" -DBUILD_SHARED_LIBS=OFF \
        -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF -DENABLE_COMMONCRYPTO=OFF \
        -DENABLE_GNUTLS=OFF -DENABLE_MBEDTLS=OFF -DENABLE_OPENSSL=OFF -DENABLE_WINDOWS_CRYPTO=OFF \
        -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF \
        -DZLIB_INCLUDE_DIR=/usr/$triplet/include -DZLIB_LIBRARY=/usr/$triplet/lib/libz.a
    cmake --build build --target install -j2
}
build_libjpeg-turbo() {
    cmake -S src -B build -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS="$cflags" \
        -DCMAKE_INSTALL_PREFIX="$deps" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
        -DWITH_TURBOJPEG=OFF -DWITH_SIMD=ON -DREQUIRE_SIMD=ON -DWITH_JPEG8=OFF
    cmake --build build --target jpeg-static -j2
    mkdir -p "$deps/lib" "$deps/include"
    cp build/libjpeg.a "$deps/lib/"
    cp build/jconfig.h src/jerror.h src/jmorecfg.h src/jpeglib.h "$deps/include/"
}
build_lcms2() {
    archive liblcms2.a "-Isrc/include -Isrc/src" src/src/*.c
    mkdir -p "$deps/include"
    cp src/include/lcms2.h src/include/lcms2_plugin.h "$deps/include/"
}
build_libexif() {
    # Its configure script is not in the tarball; nothing it would find matters here.
    mkdir -p build/libexif "$deps/include/libexif"
    echo '#define GETTEXT_PACKAGE "libexif-12"' >build/config.h
    echo '#include <stdint.h>' >build/libexif/_stdint.h
    archive libexif.a "-Ibuild -Isrc -Isrc/libexif" src/libexif/*.c src/libexif/*/*.c
    cp src/libexif/*.h build/libexif/_stdint.h "$deps/include/libexif/"
}

for name in "$@"; do
    describe "$name"
    stamp=$deps/$name-$version.stamp
    [[ -f $stamp ]] && continue
    work=$deps/$name-work
    mkdir -p "$work"
    cd "$work"
    fetch "$dsc"
    check "$dsc_sha256" "$dsc"
    fetch_named "$tarball"
    [[ -z $debian_tarball ]] || fetch_named "$debian_tarball"
    unpack
    trap 'cat build.log >&2' ERR
    "build_$name" >build.log 2>&1
    trap - ERR
    rm -rf src debian build
    touch "$stamp"
done
