#include "album_command.h"

#include "album_reader.h"

#include <cstdlib>

namespace fs = std::filesystem;

namespace pxw::zip {

namespace {

constexpr const char* usageText
    = "Usage: pxwalbum [--list | --extract FOLDER | --icon FILE | --help]\n"
      "Without an option, shows the album's images in a window.\n"
      "  --list            print the name of every image, one a line\n"
      "  --extract FOLDER  write every image into FOLDER (created when missing)\n"
      "  --icon FILE       write the album's icon to FILE\n";

AlbumCommand usageError(std::string message) {
    return { AlbumCommand::Kind::usageError, std::move(message) };
}

bool environmentSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

} // namespace

AlbumCommand parseAlbumCommand(const std::vector<std::string>& arguments) {
    struct Option {
        const char* name;
        AlbumCommand::Kind kind;
        const char* argumentName; // nullptr: takes none
    };
    static const Option options[] = {
        { "--list", AlbumCommand::Kind::list, nullptr },
        { "--extract", AlbumCommand::Kind::extract, "a folder" },
        { "--icon", AlbumCommand::Kind::icon, "a file" },
        { "--help", AlbumCommand::Kind::help, nullptr },
    };
    if (arguments.empty())
        return {};
    for (const Option& option : options) {
        if (arguments[0] != option.name)
            continue;
        std::size_t wanted = option.argumentName ? 2 : 1;
        if (arguments.size() < wanted || (option.argumentName && arguments[1].empty()))
            return usageError(std::string(option.name) + " needs " + option.argumentName
                + "; did you mean " + option.name + " "
                + (option.kind == AlbumCommand::Kind::extract ? "FOLDER" : "FILE") + "?");
        if (arguments.size() > wanted)
            return usageError("unexpected argument \"" + arguments[wanted] + "\"");
        return { option.kind, option.argumentName ? arguments[1] : std::string() };
    }
    return usageError("unknown option \"" + arguments[0] + "\"");
}

int runAlbumCommand(
    const AlbumCommand& command, const fs::path& albumFile, std::ostream& out, std::ostream& err) {
    using Kind = AlbumCommand::Kind;
    if (command.kind == Kind::help) {
        out << usageText;
        return albumExitOk;
    }
    if (command.kind == Kind::usageError) {
        err << "pxwalbum: error: " << command.argument << "; try --help\n";
        return albumExitUsage;
    }

    AlbumReader album;
    if (Status opened = album.open(albumFile, albumShownPath(albumFile).string()); !opened) {
        err << "pxwalbum: " << opened.message() << '\n';
        return albumExitFailed;
    }
    Status done = Status::success();
    switch (command.kind) {
    case Kind::list:
        for (const AlbumEntry& entry : album.entries())
            out << entry.name << '\n';
        out.flush();
        if (!out)
            done = Status::failure("cannot print the list");
        break;
    case Kind::extract:
        done = album.extractAll(command.argument);
        break;
    case Kind::icon:
        done = album.writeIcon(command.argument);
        break;
    default:
        err << "pxwalbum: no display to show the album on; use --list, --extract FOLDER or --icon "
               "FILE\n";
        return albumExitUsage;
    }
    if (!done) {
        err << "pxwalbum: " << done.message() << '\n';
        return albumExitFailed;
    }
    return albumExitOk;
}

fs::path ownAlbumFile() {
    return "/proc/self/exe";
}

fs::path albumShownPath(const fs::path& albumFile) {
    std::error_code error;
    fs::path real = albumFile == ownAlbumFile() ? fs::read_symlink(albumFile, error) : albumFile;
    return error ? albumFile : real;
}

bool displayAvailable() {
    return environmentSet("DISPLAY") || environmentSet("WAYLAND_DISPLAY")
        || environmentSet("QT_QPA_PLATFORM");
}

} // namespace pxw::zip
