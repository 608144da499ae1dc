#pragma once

// The Windows album program's window: the same window as the Linux album program's, made of
// Win32 controls. One image at a time, decoded by Windows' codecs when it is shown and scaled
// with the album's own smooth filter; the arrow keys, Home and End, the buttons (Alt+P, Alt+N)
// or a click on the image move through them; "Save all images..." (Alt+S) saves them all.

#include "albumfile/album_reader.h"

#include <string>

namespace pxw::zip {

/// Shows the window for the open `album`, named `albumName` in its title, until it is closed.
/// Returns the exit status.
int runAlbumWindow(AlbumReader& album, const std::string& albumName);

/// Tells `message` in a message box titled `title`.
void tellInBox(const std::string& title, const std::string& message, bool problem);

} // namespace pxw::zip
