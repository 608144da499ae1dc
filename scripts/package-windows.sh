#!/usr/bin/env bash
# Builds the Windows installer dist/pixelwain-<version>-setup.exe with NSIS (Debian's nsis):
# installs the Windows configuration into a staging tree (`cmake --install`) and packs that tree,
# so the installer carries exactly what the install rules install.
#   scripts/package-windows.sh                  configures and builds a Release build-windows
#   scripts/package-windows.sh BUILD [FOLDER]   packs an existing build, into FOLDER (dist/)
# The staging tree's program/ goes to the program folder under Program Files, its windows/X to
# C:\windows\X (see PXW_WIN_*_DIR in CMakeLists.txt).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$top/build-windows}")
out=${2:-$top/dist}
command -v makensis >/dev/null || { echo "makensis is missing: apt install nsis" >&2; exit 1; }

if [ $# -eq 0 ]; then
  cmake -S "$top" -B "$build" -G Ninja -DPXW_WERROR=ON -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64.cmake" >&2
  cmake --build "$build" -j"$(nproc)" >&2
fi
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[[ -n $version ]] || { echo "$build is not a configured build" >&2; exit 1; }
staging=$build/windows-staging
rm -rf "$staging"
cmake --install "$build" --prefix "$staging" >/dev/null

# The staged files and folders, by their paths in the staging tree. A name the installer's
# script could not carry as it is stops the build.
mapfile -t files < <(cd "$staging" && find . -type f -printf '%P\n' | LC_ALL=C sort)
mapfile -t folders < <(cd "$staging" && find . -mindepth 1 -type d -printf '%P\n' |
  LC_ALL=C sort -r)
for name in "${files[@]}" "${folders[@]}" "$staging"; do
  [[ $name =~ ^[A-Za-z0-9\ ._+/~@%\(\)-]+$ ]] || { echo "unexpected name: $name" >&2; exit 1; }
done
# The path on Windows of a staging tree entry.
windows_path() {
  local path
  case $1 in
  program) path=\$INSTDIR ;;
  program/*) path="\$INSTDIR/${1#program/}" ;;
  windows) path=\$WINDIR ;;
  windows/*) path="\$WINDIR/${1#windows/}" ;;
  *) echo "$1: the installer maps only program/ and windows/ (CMakeLists.txt)" >&2; exit 1 ;;
  esac
  printf '"%s"' "${path//\//\\}"
}
for name in "${files[@]}" "${folders[@]}"; do windows_path "$name" >/dev/null; done
include=$build/windows-installer-files.nsh
{
  echo '!macro PXW_INSTALL_FILES'
  for file in "${files[@]}"; do
    echo "  SetOutPath $(windows_path "$(dirname "$file")")"
    echo "  File \"$staging/$file\""
  done
  echo '!macroend'
  echo '!macro PXW_UNINSTALL_FILES'
  for file in "${files[@]}"; do echo "  Delete $(windows_path "$file")"; done
  # Deepest first, each only when empty; the script removes the program folder last.
  for folder in "${folders[@]}"; do
    [[ $folder == program || $folder == windows ]] || echo "  RMDir $(windows_path "$folder")"
  done
  echo '!macroend'
} >"$include"

mkdir -p "$out"
setup=$out/pixelwain-$version-setup.exe
makensis -V2 -WX -DPXW_VERSION="$version" -DPXW_FILES="$include" -DPXW_OUTFILE="$setup" \
  -DPXW_SIZE_KB="$(du -sk "$staging" | cut -f1)" "$top/packaging/windows/pixelwain.nsi" >&2
echo "$setup"
