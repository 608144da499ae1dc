#pragma once

// The album program's command line, kept apart from its window so that scripts and tests can
// use an album without a display.

#include "albumfile/album_reader.h"
#include "base/path.h"

#include <string>
#include <string_view>
#include <vector>

namespace pxw::zip {

enum AlbumExitCode : int {
    albumExitOk = 0,
    albumExitFailed = 1, // no album, a damaged or refused album, a file that cannot be written
    albumExitUsage = 2, // a wrong command line, or no display for the window
    albumExitKept = 3, // --extract found files of the images' names and kept them
};

/// Where the command line's text goes: std::ostream on Linux, a Windows handle in the Windows
/// program, which thus leaves the iostreams (a tenth of it) out of the stub every album carries.
/// Like a stream, it stops writing at the first failure and keeps saying so.
class TextOutput {
public:
    virtual ~TextOutput() = default;
    TextOutput& operator<<(std::string_view text);
    TextOutput& operator<<(char character) { return *this << std::string_view(&character, 1); }
    TextOutput& operator<<(std::size_t number) {
        return *this << std::string_view(std::to_string(number));
    }
    /// Sends on what waits; false once any text could not be written.
    bool flush();
    explicit operator bool() const { return good_; }

protected:
    virtual bool write(std::string_view text) = 0;
    virtual bool sendWaiting() { return true; }

private:
    bool good_ = true;
};

struct AlbumCommand {
    enum class Kind { view, list, extract, icon, help, usageError };
    Kind kind = Kind::view;
    std::string argument; // the folder or file; the message for a usage error
    bool overwrite = false; // --extract replaces files of the same names
};

/// Reads the arguments after the program name.
AlbumCommand parseAlbumCommand(const std::vector<std::string>& arguments);

/// Runs every command but a view with a display: the view without one only checks the album
/// and says `noDisplay`. Returns the exit status.
int runAlbumCommand(const AlbumCommand& command, const base::Path& albumFile, TextOutput& out,
    TextOutput& err, const std::string& noDisplay = "no display to show the album on");

/// The running program's own file, which is the album.
base::Path ownAlbumFile();

/// The path to show for an album file (the real file behind /proc/self/exe).
base::Path albumShownPath(const base::Path& albumFile);

/// The message after "Save all images...", in both album programs' windows.
std::string saveReportText(const ExtractReport& report, const std::string& folder);

} // namespace pxw::zip
