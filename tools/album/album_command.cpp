#include "album_command.h"

#include "albumfile/album_reader.h"
#include "base/system.h"
#include "base/text.h"

#include <algorithm>

namespace pxw::zip {

namespace {

constexpr const char* usageText
    = "Usage: pxwalbum [--list | --extract FOLDER [--overwrite] | --icon FILE [--overwrite] |\n"
      "                 --help]\n"
      "Without an option, shows the album's images in a window.\n"
      "  --list            print the name of every image, one a line\n"
      "  --extract FOLDER  write every image into FOLDER (created when missing); files already\n"
      "                    there are kept, named, and the exit status is 3\n"
      "  --icon FILE       write the album's icon to FILE; a file already there is kept\n"
      "  --overwrite       with --extract or --icon: replace files of the same names instead\n";

AlbumCommand usageError(std::string message) {
    return { AlbumCommand::Kind::usageError, std::move(message) };
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
    static const char* const overwriteAlone
        = "--overwrite goes with --extract FOLDER or --icon FILE";
    std::vector<std::string> rest = arguments;
    auto overwrite = std::find(rest.begin(), rest.end(), "--overwrite");
    const bool overwriting = overwrite != rest.end();
    if (overwriting)
        rest.erase(overwrite);
    if (rest.empty())
        return overwriting ? usageError(overwriteAlone) : AlbumCommand {};
    for (const Option& option : options) {
        if (rest[0] != option.name)
            continue;
        std::size_t wanted = option.argumentName ? 2 : 1;
        if (rest.size() < wanted || (option.argumentName && rest[1].empty()))
            return usageError(std::string(option.name) + " needs " + option.argumentName
                + "; did you mean " + option.name + " "
                + (option.kind == AlbumCommand::Kind::extract ? "FOLDER" : "FILE") + "?");
        if (rest.size() > wanted)
            return usageError("unexpected argument " + base::inQuotes(rest[wanted]));
        if (overwriting && !option.argumentName)
            return usageError(overwriteAlone);
        return { option.kind, option.argumentName ? rest[1] : std::string(), overwriting };
    }
    return usageError("unknown option " + base::inQuotes(rest[0]));
}

TextOutput& TextOutput::operator<<(std::string_view text) {
    good_ = good_ && write(text);
    return *this;
}

bool TextOutput::flush() {
    good_ = good_ && sendWaiting();
    return good_;
}

int runAlbumCommand(const AlbumCommand& command, const base::Path& albumFile, TextOutput& out,
    TextOutput& err, const std::string& noDisplay) {
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
    if (Status opened = album.open(albumFile, base::sys::pathText(albumShownPath(albumFile)));
        !opened) {
        err << "pxwalbum: " << opened.message() << '\n';
        return albumExitFailed;
    }
    Status done = Status::success();
    switch (command.kind) {
    case Kind::list:
        for (const AlbumEntry& entry : album.entries())
            out << base::printable(entry.name) << '\n';
        if (!out.flush())
            done = Status::failure("cannot print the list");
        break;
    case Kind::extract: {
        const ClashAnswer answer = command.overwrite ? ClashAnswer::replace : ClashAnswer::keep;
        const base::Path folder = base::sys::nameAsPath(command.argument);
        ExtractReport report
            = album.extractAll(folder, [answer](const std::string&) { return answer; });
        if (!report.status) {
            done = report.status;
            break;
        }
        for (const std::string& name : report.kept)
            err << "pxwalbum: kept "
                << base::inQuotes(
                       base::printable(base::sys::pathText(folder / base::sys::nameAsPath(name))))
                << ", which was there already\n";
        if (!report.kept.empty()) {
            err << "pxwalbum: " << report.kept.size() << " of " << album.entries().size()
                << " images not written; --overwrite replaces those files\n";
            return albumExitKept;
        }
        break;
    }
    case Kind::icon:
        done = album.writeIcon(base::sys::nameAsPath(command.argument), command.overwrite);
        break;
    default:
        err << "pxwalbum: " << noDisplay << "; use --list, --extract FOLDER or --icon FILE\n";
        return albumExitUsage;
    }
    if (!done) {
        err << "pxwalbum: " << done.message() << '\n';
        return albumExitFailed;
    }
    return albumExitOk;
}

base::Path ownAlbumFile() {
    return base::sys::ownProgramFile();
}

base::Path albumShownPath(const base::Path& albumFile) {
#ifdef _WIN32
    // The Windows build of std::filesystem cannot read links: read_symlink always fails there, so
    // the name stays as it is. Calling it anyway would only link the library's file operations and
    // file streams (a tenth of the program) into the stub that every album carries.
    return albumFile;
#else
    std::error_code error;
    base::Path real
        = albumFile == ownAlbumFile() ? std::filesystem::read_symlink(albumFile, error) : albumFile;
    return error ? albumFile : real;
#endif
}

std::string saveReportText(const ExtractReport& report, const std::string& folder) {
    if (!report.status)
        return report.status.message();
    std::string text = std::to_string(report.written.size())
        + (report.written.size() == 1 ? " image" : " images") + " saved into "
        + base::inQuotes(folder) + ".";
    if (report.renamed > 0) {
        text += "\n" + std::to_string(report.renamed)
            + " of them under new names, beside the files of their names that were there:";
        // The names as they now stand in the folder, so the user can find them.
        constexpr std::size_t Named = 10;
        for (std::size_t i = 0; i < report.renamedNames.size() && i < Named; ++i)
            text += (i == 0 ? " " : ", ") + base::printable(report.renamedNames[i]);
        if (report.renamedNames.size() > Named)
            text += " and " + std::to_string(report.renamedNames.size() - Named) + " more";
        text += ".";
    }
    return text;
}

} // namespace pxw::zip
