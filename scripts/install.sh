#!/usr/bin/env bash
# Installs what is missing, builds Pixelwain, installs it into its prefix and starts it.
#   prefix: $PIXELWAIN_PREFIX, or ~/.pixelwain
#   <prefix>/dosdevices/c: -> ../drive_c, z: -> /
#   C:\Program Files\Pixelwain\      pixelwain, pxwalbum, pxwreadme.chm
#   C:\windows\lumaforge\lumabatch.exe   the image tool
#   C:\windows\forpxw\pxwicon.ico        the default album icon
# Pass --no-start to install without starting the window.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
prefix=${PIXELWAIN_PREFIX:-$HOME/.pixelwain}
start=1
[ "${1:-}" = "--no-start" ] && start=0

"$top/scripts/install-deps.sh"
cmake -S "$top" -B "$top/build-release" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPXW_BUILD_TESTS=OFF
cmake --build "$top/build-release" -j"$(nproc)"

mkdir -p "$prefix/drive_c/windows" "$prefix/dosdevices"
[ -e "$prefix/dosdevices/c:" ] || ln -s ../drive_c "$prefix/dosdevices/c:"
[ -e "$prefix/dosdevices/z:" ] || ln -s / "$prefix/dosdevices/z:"
cmake --install "$top/build-release" --prefix "$prefix/drive_c" --strip

program="$prefix/drive_c/Program Files/Pixelwain/pixelwain"
applications=${XDG_DATA_HOME:-$HOME/.local/share}/applications
mkdir -p "$applications"
sed -e "s|@PXW_PROGRAM_PATH@|env PIXELWAIN_PREFIX=\"$prefix\" \"$program\"|" \
    -e "s|@PXW_ICON_PATH@|$prefix/drive_c/Program Files/Pixelwain/pixelwain.png|" \
    "$top/assets/pixelwain.desktop.in" > "$applications/pixelwain.desktop"
command -v update-desktop-database >/dev/null && update-desktop-database "$applications" || true
echo "Installed into $prefix; menu entry $applications/pixelwain.desktop"

if [ "$start" = 1 ]; then
  export PIXELWAIN_PREFIX="$prefix"
  if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: start it later with: PIXELWAIN_PREFIX=\"$prefix\" \"$program\""
  else
    exec "$program"
  fi
fi
