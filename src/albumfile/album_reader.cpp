#include "albumfile/album_reader.h"

#include "base/files.h"
#include "base/system.h"
#include "base/text.h"

#include <cerrno>
#include <set>
#include <zlib.h>

namespace pxw::zip {

using base::errorText;
using base::quotedPath;
using base::readFully;
using base::UniqueFd;
using base::writeFully;
using base::sys::Folder;
using base::sys::nameAsPath;
using base::sys::NameKind;

namespace {

constexpr std::size_t maxNameLength = 255;
constexpr std::size_t chunkSize = std::size_t { 64 } << 10;

std::string entryLabel(const std::string& name) {
    return "the entry " + base::inQuotes(base::printable(name));
}

// A temporary folder that removes itself and the files in it unless emptied and kept.
class ScratchFolder {
public:
    ScratchFolder() = default;
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ~ScratchFolder() { removeAll(); }

    Status create(const Folder& parent) {
        std::optional<std::string> name = base::createUnderTemporaryName("pxwalbum",
            [&](const std::string& candidate) { return parent.createFolder(candidate); });
        if (name) {
            folder_ = parent.openFolder(*name);
            if (folder_.isOpen()) {
                parent_ = &parent;
                name_ = *name;
                return Status::success();
            }
            const int failure = errno;
            parent.removeFolder(*name);
            errno = failure;
        }
        return Status::failure(
            "cannot create a folder in " + quotedPath(parent.path()) + ": " + errorText(errno));
    }

    const Folder& folder() const { return folder_; }
    void track(const std::string& file) { files_.push_back(file); }
    void untrack() { files_.clear(); }

    void removeAll() {
        if (name_.empty())
            return;
        for (const std::string& file : files_)
            folder_.removeFile(file);
        folder_ = Folder();
        parent_->removeFolder(name_);
        name_.clear();
    }

private:
    const Folder* parent_ = nullptr;
    std::string name_;
    Folder folder_;
    std::vector<std::string> files_;
};

Status refuseEntry(const std::string& name, const std::string& why) {
    return Status::failure(entryLabel(name) + " " + why);
}

} // namespace

std::optional<std::string> refusedEntryName(std::string_view name) {
    if (name.empty())
        return "has an empty name";
    if (name.size() > maxNameLength)
        return "has a name longer than " + std::to_string(maxNameLength) + " bytes";
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7f)
            return "has a control character in its name";
    }
    // Bidi overrides and C1 controls would show the user another name than the one written.
    if (base::printable(name) != name)
        return "has a name that is not plain UTF-8 text";
    // Any `..` step, with either separator, would climb out of the folder.
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t stop = name.find_first_of("/\\", start);
        std::string_view part = name.substr(
            start, stop == std::string_view::npos ? std::string_view::npos : stop - start);
        if (part == "..")
            return "leads out of the folder (\"..\")";
        if (stop == std::string_view::npos)
            break;
        start = stop + 1;
    }
    if (name.front() == '/')
        return "has an absolute path";
    if (name.size() >= 2 && name[1] == ':')
        return "names a drive";
    if (name.find('\\') != std::string_view::npos)
        return "has a backslash in its name";
    if (name.back() == '/')
        return "is a folder";
    if (name.find('/') != std::string_view::npos)
        return "lies in a subfolder";
    if (name == ".")
        return "has the name \".\"";
    if (name.front() == '.')
        return "has a hidden name (it starts with a dot)";
#ifdef _WIN32
    return refusedOnWindows(name);
#else
    return std::nullopt;
#endif
}

std::optional<std::string> refusedOnWindows(std::string_view name) {
    if (name.find(':') != std::string_view::npos)
        return "has a colon in its name";
    if (name.find_first_of("<>\"|?*") != std::string_view::npos)
        return "has a character in its name that Windows does not allow";
    if (name.ends_with('.') || name.ends_with(' '))
        return "ends in a dot or a blank, which Windows drops";
    // Windows reads a device name as the device, whatever extension follows it.
    std::string_view stem = name.substr(0, name.find('.'));
    while (stem.ends_with(' '))
        stem.remove_suffix(1);
    static constexpr std::string_view devices[]
        = { "CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$" };
    bool device = false;
    for (std::string_view reserved : devices)
        device = device || base::equalIgnoringCase(stem, reserved);
    if (stem.size() == 4
        && (base::startsWithIgnoringCase(stem, "COM") || base::startsWithIgnoringCase(stem, "LPT"))
        && stem[3] >= '1' && stem[3] <= '9')
        device = true;
    if (device)
        return "has the name of a Windows device";
    return std::nullopt;
}

std::string keepBothName(const std::string& name, int number) {
    const std::string suffix = " (" + std::to_string(number) + ")";
    std::size_t dot = name.rfind('.');
    // A leading dot starts a hidden name, not an extension; an extension too long to keep
    // beside the number is shortened with the rest.
    if (dot == 0 || dot == std::string::npos || name.size() - dot + suffix.size() >= maxNameLength)
        dot = name.size();
    std::string stem = name.substr(0, dot);
    const std::string extension = name.substr(dot);
    const std::size_t room = maxNameLength - suffix.size() - extension.size();
    if (stem.size() > room) {
        std::size_t cut = room;
        while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80)
            --cut;
        stem.resize(cut);
    }
    return stem + suffix + extension;
}

AlbumReader::AlbumReader(AlbumLimits limits)
    : limits_(limits) {
}

Status AlbumReader::open(const base::Path& albumFile, const std::string& shownName) {
    entries_.clear();
    path_ = albumFile;
    const std::string label
        = base::inQuotes(shownName.empty() ? base::sys::pathText(albumFile) : shownName);

    fd_ = UniqueFd(base::sys::openForReading(albumFile));
    std::optional<std::uint64_t> plainSize;
    if (fd_)
        plainSize = base::sys::plainFileSize(fd_.get());
    if (!plainSize && (!fd_ || errno != 0))
        return Status::failure("cannot open " + label + ": " + errorText(errno));
    if (!plainSize)
        return Status::failure(label + " is not a file");
    const std::uint64_t fileSize = *plainSize;

    std::string why;
    std::optional<ArchiveEnd> end = findArchiveEnd(fd_.get(), fileSize, &why);
    if (!end)
        return Status::failure(label + " holds no album: " + why
            + " (it is not an album, or the album is truncated or damaged)");
    std::optional<IconPlace> icon = parseIconComment(end->comment);
    if (!icon)
        return Status::failure(
            label + " holds no album: its archive does not record an album icon");
    if (icon->length > limits_.maxIconBytes || icon->offset > end->directoryOffset
        || icon->length > end->directoryOffset - icon->offset)
        return Status::failure(
            "the album " + label + " is damaged: its icon lies outside the file");
    icon_ = *icon;

    if (Status read = readDirectory(*end, fileSize); !read) {
        entries_.clear();
        return Status::failure("the album " + label + " is refused: " + read.message());
    }
    return Status::success();
}

Status AlbumReader::readDirectory(const ArchiveEnd& end, std::uint64_t fileSize) {
    constexpr std::uint32_t centralSignature = 0x02014b50u, localSignature = 0x04034b50u;
    constexpr std::size_t centralSize = 46, localSize = 30;
    constexpr std::uint32_t encrypted = 0x0001, sizesAfterData = 0x0008, strongEncryption = 0x0040;
    constexpr std::uint32_t unixSystem = 3, dosFolder = 0x10;
    // The file type bits of a Unix mode, as zip keeps them whatever system reads the album.
    constexpr std::uint32_t unixType = 0170000, unixLink = 0120000, unixFile = 0100000;
    if (end.directorySize > fileSize)
        return Status::failure("its directory is larger than the file");
    std::string directory(static_cast<std::size_t>(end.directorySize), '\0');
    if (!readFully(fd_.get(), directory.data(), directory.size(), end.directoryOffset))
        return Status::failure("its directory cannot be read: " + errorText(errno));
    const auto* bytes = reinterpret_cast<const unsigned char*>(directory.data());

    std::set<std::string, std::less<>> names;
    std::size_t at = 0;
    // Each entry must start exactly where the one before it ends, the first right after the
    // icon, and the last must end where the directory starts.
    std::uint64_t expectedOffset = icon_.offset + icon_.length;
    for (std::uint32_t i = 0; i < end.entryCount; ++i) {
        const std::string number = "entry " + std::to_string(i + 1);
        if (directory.size() - at < centralSize || little32(bytes + at) != centralSignature)
            return Status::failure(number + " of its directory is damaged");
        const unsigned char* header = bytes + at;
        const std::size_t nameLength = little16(header + 28);
        const std::size_t tailLength = nameLength + little16(header + 30) + little16(header + 32);
        if (directory.size() - at - centralSize < tailLength)
            return Status::failure(number + " of its directory is damaged");
        std::string name(directory, at + centralSize, nameLength);
        at += centralSize + tailLength;

        if (auto why = refusedEntryName(name))
            return refuseEntry(name, *why);
        if (!names.insert(name).second)
            return refuseEntry(name, "occurs twice");
        const std::uint32_t system = little16(header + 4) >> 8;
        const std::uint32_t attributes = little32(header + 38);
        const std::uint32_t type = (attributes >> 16) & unixType;
        if (system == unixSystem && type == unixLink)
            return refuseEntry(name, "is a symbolic link");
        if (system == unixSystem && type != 0 && type != unixFile)
            return refuseEntry(name, "is not a plain file");
        if (system == 0 && (attributes & dosFolder))
            return refuseEntry(name, "is a folder");
        const std::uint32_t flags = little16(header + 8);
        if (flags & (encrypted | strongEncryption))
            return refuseEntry(name, "is encrypted");
        if (little16(header + 10) != 0)
            return refuseEntry(name, "uses a compression method albums do not use");
        const std::uint64_t size = little32(header + 24);
        if (size > limits_.maxEntryBytes)
            return refuseEntry(name,
                "claims " + std::to_string(size) + " bytes, more than the "
                    + std::to_string(limits_.maxEntryBytes) + " an album entry may hold");
        if (little32(header + 20) != size)
            return refuseEntry(name, "is stored with two different sizes");
        if ((flags & sizesAfterData) || little16(header + 34) != 0)
            return refuseEntry(name, "is not laid out the way albums are");

        const std::uint64_t localOffset = little32(header + 42);
        if (localOffset != expectedOffset)
            return refuseEntry(name, "does not start where the entry before it ends");
        unsigned char local[localSize];
        std::string localName(nameLength, '\0');
        if (end.directoryOffset - localOffset < localSize + nameLength
            || !readFully(fd_.get(), local, localSize, localOffset)
            || !readFully(fd_.get(), localName.data(), nameLength, localOffset + localSize))
            return refuseEntry(name, "lies outside the file");
        if (little32(local) != localSignature || little16(local + 8) != 0
            || little32(local + 14) != little32(header + 16) || little32(local + 18) != size
            || little32(local + 22) != size || little16(local + 26) != nameLength
            || localName != name)
            return refuseEntry(name, "has a header that does not match the directory");
        const std::uint64_t dataOffset
            = localOffset + localSize + nameLength + little16(local + 28);
        if (dataOffset > end.directoryOffset || end.directoryOffset - dataOffset < size)
            return refuseEntry(name, "lies outside the file");
        entries_.push_back({ std::move(name), size, little32(header + 16), dataOffset });
        expectedOffset = dataOffset + size;
    }
    if (at != directory.size() || expectedOffset != end.directoryOffset)
        return Status::failure("its directory does not account for the whole archive");
    return Status::success();
}

Status AlbumReader::readIcon(std::string& bytes) const {
    bytes.assign(static_cast<std::size_t>(icon_.length), '\0');
    if (!readFully(fd_.get(), bytes.data(), bytes.size(), icon_.offset))
        return Status::failure("cannot read the icon of the album: " + errorText(errno));
    return Status::success();
}

Status AlbumReader::streamEntry(
    std::size_t position, const std::function<Status(const char*, std::size_t)>& consume) const {
    if (position >= entries_.size())
        return Status::failure("no such entry in the album");
    const AlbumEntry& entry = entries_[position];
    std::vector<char> chunk(
        static_cast<std::size_t>(std::min<std::uint64_t>(chunkSize, entry.size)));
    uLong crc = crc32(0, nullptr, 0);
    for (std::uint64_t done = 0; done < entry.size;) {
        const auto length
            = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), entry.size - done));
        if (!readFully(fd_.get(), chunk.data(), length, entry.dataOffset + done))
            return refuseEntry(entry.name, "cannot be read: " + errorText(errno));
        crc = crc32(crc, reinterpret_cast<const Bytef*>(chunk.data()), static_cast<uInt>(length));
        if (Status consumed = consume(chunk.data(), length); !consumed)
            return consumed;
        done += length;
    }
    if (crc != entry.crc)
        return refuseEntry(entry.name, "is damaged: its CRC does not match its bytes");
    return Status::success();
}

Status AlbumReader::readEntry(std::size_t position, std::string& bytes) const {
    bytes.clear();
    if (position < entries_.size())
        bytes.reserve(static_cast<std::size_t>(entries_[position].size));
    return streamEntry(position, [&](const char* data, std::size_t length) {
        bytes.append(data, length);
        return Status::success();
    });
}

Status AlbumReader::writeIcon(const base::Path& file, bool replace) const {
    std::string bytes;
    if (Status read = readIcon(bytes); !read)
        return read;
    base::TemporaryFile out;
    if (!out.create(file.parent_path(), "pxwalbum-icon", 0644)
        || !writeFully(out.fd(), bytes.data(), bytes.size(), 0) || !out.renameTo(file, replace)) {
        if (errno == EEXIST)
            return Status::failure(
                "kept " + quotedPath(file) + ", which was there already; --overwrite replaces it");
        return Status::failure(
            "cannot write the icon to " + quotedPath(file) + ": " + errorText(errno));
    }
    return Status::success();
}

namespace {

// Where one entry goes, decided before anything is written.
struct Placement {
    std::size_t entry = 0;
    std::string target;
    bool replaces = false;
};

// A name that cannot be looked at counts as taken.
bool nameTaken(const Folder& folder, const std::string& name) {
    return folder.kindOf(name) != NameKind::missing;
}

} // namespace

ExtractReport AlbumReader::extractAll(const base::Path& folder, const ClashQuestion& ask) {
    ExtractReport report;
    auto fail = [&](Status why) {
        report.status = std::move(why);
        report.written.clear();
        report.renamed = 0;
        report.renamedNames.clear();
        return report;
    };
    if (!fd_)
        return fail(Status::failure("no album is open"));
    bool createdFolder = false;
    if (base::sys::createFolder(folder))
        createdFolder = true;
    else if (errno != EEXIST)
        return fail(Status::failure(
            "cannot create the folder " + quotedPath(folder) + ": " + errorText(errno)));
    Folder target = Folder::open(folder);
    if (!target.isOpen()) {
        int code = errno;
        if (createdFolder)
            base::sys::removeFolder(folder);
        return fail(Status::failure(
            "cannot open the folder " + quotedPath(folder) + ": " + errorText(code)));
    }

    // Every clash is settled first: a question after half the images were written would leave
    // the folder half done when the answer is Cancel.
    std::vector<Placement> placements;
    std::set<std::string, std::less<>> planned;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const std::string& name = entries_[i].name;
        Placement placement { i, name, false };
        if (nameTaken(target, name)) {
            switch (ask(name)) {
            case ClashAnswer::cancel:
                report.cancelled = true;
                return report;
            case ClashAnswer::keep:
                report.kept.push_back(name);
                continue;
            case ClashAnswer::replace: {
                if (target.kindOf(name) != NameKind::plainFile)
                    return fail(Status::failure(
                        quotedPath(folder / nameAsPath(name)) + " exists and is not a plain file"));
                placement.replaces = true;
                break;
            }
            case ClashAnswer::keepBoth:
                for (int number = 2;; ++number) {
                    placement.target = keepBothName(name, number);
                    if (!planned.contains(placement.target) && !nameTaken(target, placement.target))
                        break;
                }
                break;
            }
        }
        planned.insert(placement.target);
        placements.push_back(std::move(placement));
    }

    {
        ScratchFolder scratch;
        report.status = placements.empty() ? Status::success() : scratch.create(target);
        for (const Placement& placement : placements) {
            if (!report.status)
                break;
            const std::string& name = entries_[placement.entry].name;
            const base::Path shown = folder / nameAsPath(name);
            int fd = scratch.folder().createFile(name, 0644);
            if (fd < 0) {
                report.status = Status::failure(
                    "cannot create " + quotedPath(shown) + ": " + errorText(errno));
                break;
            }
            scratch.track(name);
            UniqueFd out(fd);
            std::uint64_t offset = 0;
            report.status = streamEntry(placement.entry, [&](const char* data, std::size_t length) {
                if (!writeFully(out.get(), data, length, offset))
                    return Status::failure(
                        "cannot write " + quotedPath(shown) + ": " + errorText(errno));
                offset += length;
                return Status::success();
            });
            if (report.status && !out.close())
                report.status = Status::failure(
                    "cannot write " + quotedPath(shown) + ": " + errorText(errno));
        }
        for (const Placement& placement : placements) {
            if (!report.status)
                break;
            // Without `replaces`, a file that took the name meanwhile stays as it is.
            if (!scratch.folder().moveTo(
                    entries_[placement.entry].name, target, placement.target, placement.replaces))
                report.status = Status::failure("cannot move "
                    + quotedPath(folder / nameAsPath(placement.target))
                    + " into place: " + errorText(errno));
            else {
                report.written.push_back(placement.target);
                if (placement.target != entries_[placement.entry].name) {
                    ++report.renamed;
                    report.renamedNames.push_back(placement.target);
                }
            }
        }
        if (report.status)
            scratch.untrack();
    }
    if (!report.status && createdFolder && report.written.empty())
        base::sys::removeFolder(folder);
    return report;
}

} // namespace pxw::zip
