// The album program: the first part of every album file. It reads the images appended to its
// own file.

#include "album_command.h"
#include "album_window.h"
#include "albumfile/album_program.h"

#include <FL/Fl.H>
#include <FL/fl_ask.H>
#include <FL/x.H>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <unistd.h>

namespace {

// Started by the script of an album that opens on Windows too: this program is a copy in a
// folder the script made, which goes now (the program stays open while it runs). A program
// elsewhere, started with the option by hand, is left alone.
void removeOwnCopy() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::filesystem::path folder = self.parent_path();
    if (error || self.filename() != "pxwalbum"
        || !folder.filename().string().starts_with(pxw::zip::scriptFolderPrefix))
        return;
    ::unlink(self.c_str());
    ::rmdir(folder.c_str());
}

// The command line's text on the standard streams.
class StreamOutput final : public pxw::zip::TextOutput {
public:
    explicit StreamOutput(std::ostream& stream)
        : stream_(stream) { }

protected:
    bool write(std::string_view text) override {
        return static_cast<bool>(
            stream_.write(text.data(), static_cast<std::streamsize>(text.size())));
    }
    bool sendWaiting() override { return static_cast<bool>(stream_.flush()); }

private:
    std::ostream& stream_;
};

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string_view(argv[1]) == "--version")
        return std::cout << "pxwalbum " PXW_VERSION "\n" ? 0 : 1;
    using namespace pxw::zip;
    std::filesystem::path self = ownAlbumFile();
    int first = 1;
    if (argc >= 3 && argv[1] == albumFileOption) {
        self = argv[2];
        first = 3;
        removeOwnCopy();
    }
    const AlbumCommand command
        = parseAlbumCommand(std::vector<std::string>(argv + first, argv + argc));
    StreamOutput out(std::cout), err(std::cerr);
    if (command.kind != AlbumCommand::Kind::view)
        return runAlbumCommand(command, self, out, err);

    // FLTK would end the program with its own message when there is no display; this way the
    // album is still checked, and the message says what to do instead.
    const char* displayName = std::getenv("DISPLAY");
    Display* display = displayName && *displayName ? XOpenDisplay(nullptr) : nullptr;
    if (!display)
        return runAlbumCommand(command, self, out, err,
            displayName && *displayName
                ? "cannot open the display \"" + std::string(displayName) + "\""
                : "no display to show the album on");
    fl_open_display(display);
    Fl::scheme("gtk+");

    const std::string name = albumShownPath(self).filename().string();
    FltkDialogs dialogs(name);
    AlbumReader album;
    if (auto opened = album.open(self, albumShownPath(self).string()); !opened) {
        std::cerr << "pxwalbum: " << opened.message() << '\n';
        dialogs.tell(opened.message(), true);
        return albumExitFailed;
    }
    AlbumWindow window(album, name, dialogs);
    window.show();
    return Fl::run();
}
