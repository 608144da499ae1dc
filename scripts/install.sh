#!/usr/bin/env bash
# Installs what is missing, builds Pixelwain, installs it for this user and starts it.
#   ~/.local/lib/pixelwain/      pixelwain, pxwalbum, pxwalbum.exe, lumabatch and its readers, pxwreadme.chm (program folder)
#   ~/.local/share/pixelwain/    pxwicon.ico, the default album icon
#   ~/.local/bin/                pixelwain, lumabatch, pxwalbum (links into the program folder)
# The same layout as the package's under /usr. The prefix ($PIXELWAIN_PREFIX, or ~/.pixelwain)
# is made by the program on its first start, as with the package.
# Pass --no-start to install without starting the window.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
root=$HOME/.local
start=1
[ "${1:-}" = "--no-start" ] && start=0

"$top/scripts/install-deps.sh"
windows_album=$("$top/scripts/windows-album.sh")
cmake -S "$top" -B "$top/build-release" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPXW_BUILD_TESTS=OFF \
  -DPXW_WINDOWS_ALBUM_PROGRAM="$windows_album"
cmake --build "$top/build-release" -j"$(nproc)"
cmake --install "$top/build-release" --prefix "$root" --strip >/dev/null

program="$root/bin/pixelwain"
launch="\"$program\""
[ -n "${PIXELWAIN_PREFIX:-}" ] && launch="env PIXELWAIN_PREFIX=\"$PIXELWAIN_PREFIX\" $launch"
# The menu entry has the package's id. The package's entry wins: this one is left out when the
# package is installed, and the program removes it (by its mark) once it finds the package's.
id=example.pixelwain.Pixelwain
applications=${XDG_DATA_HOME:-$HOME/.local/share}/applications
installed="$root/share/applications/$id.desktop"
entry="$applications/$id.desktop"
if [ -e "/usr/share/applications/$id.desktop" ]; then
  rm -f "$installed"
  echo "The package's menu entry is used."
else
  sed -e "s|^Exec=.*|Exec=$launch|" -e '$a X-Pixelwain-Source-Install=true' "$installed" > "$entry.new"
  mv "$entry.new" "$entry"
  [ "$installed" = "$entry" ] || rm -f "$installed"
  echo "Menu entry: $entry"
fi
# The earlier installer's entry started a copy inside the prefix.
if grep -qs 'drive_c/Program Files/Pixelwain/pixelwain' "$applications/pixelwain.desktop"; then
  rm -f "$applications/pixelwain.desktop"
fi
command -v update-desktop-database >/dev/null && update-desktop-database "$applications" || true
echo "Installed into $root; the prefix is made on first start."

if [ "$start" = 1 ]; then
  if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: start it later with: $launch"
  else
    exec "$program"
  fi
fi
