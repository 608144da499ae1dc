#include "album_reader.h"

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

namespace fs = std::filesystem;

namespace pxw::zip {

namespace {

constexpr std::size_t maxNameLength = 255;
constexpr std::size_t chunkSize = std::size_t { 64 } << 10;

std::string entryLabel(const std::string& name) {
    return "the entry \"" + name + "\"";
}

// A temporary folder that removes itself and the files in it unless emptied and kept.
class ScratchFolder {
public:
    ScratchFolder() = default;
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ~ScratchFolder() { removeAll(); }

    Status create(int parentFd, const fs::path& parentPath) {
        std::random_device random;
        for (int attempt = 0; attempt < 100; ++attempt) {
            char name[32];
            std::snprintf(name, sizeof name, ".pxwalbum-%08x", static_cast<unsigned>(random()));
            if (::mkdirat(parentFd, name, 0700) == 0) {
                int fd = ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                if (fd < 0) {
                    ::unlinkat(parentFd, name, AT_REMOVEDIR);
                    break;
                }
                parentFd_ = parentFd;
                name_ = name;
                fd_ = UniqueFd(fd);
                return Status::success();
            }
            if (errno != EEXIST)
                break;
        }
        return Status::failure(
            "cannot create a folder in " + quotedPath(parentPath) + ": " + errorText(errno));
    }

    int fd() const { return fd_.get(); }
    void track(const std::string& file) { files_.push_back(file); }
    void untrack() { files_.clear(); }

    void removeAll() {
        if (name_.empty())
            return;
        for (const std::string& file : files_)
            ::unlinkat(fd_.get(), file.c_str(), 0);
        fd_.reset();
        ::unlinkat(parentFd_, name_.c_str(), AT_REMOVEDIR);
        name_.clear();
    }

private:
    int parentFd_ = -1;
    std::string name_;
    UniqueFd fd_;
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
    return std::nullopt;
}

void AlbumReader::ZipClose::operator()(::zip* archive) const {
    zip_discard(archive);
}

AlbumReader::AlbumReader(AlbumLimits limits)
    : limits_(limits) {
}

AlbumReader::~AlbumReader() = default;

Status AlbumReader::open(const fs::path& albumFile, const std::string& shownName) {
    archive_.reset();
    entries_.clear();
    path_ = albumFile;
    const std::string label = quotedPath(shownName.empty() ? albumFile.string() : shownName);

    fd_ = UniqueFd(::open(albumFile.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info { };
    if (!fd_ || ::fstat(fd_.get(), &info) != 0)
        return Status::failure("cannot open " + label + ": " + errorText(errno));
    if (!S_ISREG(info.st_mode))
        return Status::failure(label + " is not a file");
    const auto fileSize = static_cast<std::uint64_t>(info.st_size);

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

    int copy = ::fcntl(fd_.get(), F_DUPFD_CLOEXEC, 0);
    FILE* stream = copy >= 0 ? ::fdopen(copy, "rb") : nullptr;
    if (!stream) {
        if (copy >= 0)
            ::close(copy);
        return Status::failure("cannot open " + label + ": " + errorText(errno));
    }
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_filep_create(stream, 0, -1, &error);
    if (!source)
        std::fclose(stream);
    else {
        archive_.reset(zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error));
        if (!archive_)
            zip_source_free(source);
    }
    if (!archive_) {
        Status failed
            = Status::failure("the album " + label + " is damaged: " + zip_error_strerror(&error));
        zip_error_fini(&error);
        return failed;
    }
    zip_error_fini(&error);

    // libzip looks for the end record on its own; both must have found the same archive.
    zip_int64_t count = zip_get_num_entries(archive_.get(), 0);
    int commentLength = 0;
    const char* comment = zip_get_archive_comment(archive_.get(), &commentLength, ZIP_FL_ENC_RAW);
    if (count != end->entryCount || !comment
        || std::string_view(comment, static_cast<std::size_t>(commentLength)) != end->comment)
        return Status::failure(
            "the album " + label + " is damaged: its archive directory is inconsistent");

    if (Status checked = checkEntries(); !checked) {
        archive_.reset();
        entries_.clear();
        return Status::failure("the album " + label + " is refused: " + checked.message());
    }
    return Status::success();
}

Status AlbumReader::checkEntries() {
    std::set<std::string> names;
    zip_int64_t count = zip_get_num_entries(archive_.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        auto index = static_cast<zip_uint64_t>(i);
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(archive_.get(), index, 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME))
            return Status::failure(
                "entry " + std::to_string(i) + " cannot be read: " + zip_strerror(archive_.get()));
        std::string name = st.name;
        if (auto why = refusedEntryName(name))
            return refuseEntry(name, *why);
        if (!names.insert(name).second)
            return refuseEntry(name, "occurs twice");

        zip_uint8_t system = 0;
        zip_uint32_t attributes = 0;
        if (zip_file_get_external_attributes(archive_.get(), index, 0, &system, &attributes) != 0)
            return refuseEntry(
                name, std::string("cannot be read: ") + zip_strerror(archive_.get()));
        if (system == ZIP_OPSYS_UNIX) {
            mode_t type = (attributes >> 16) & S_IFMT;
            if (type == S_IFLNK)
                return refuseEntry(name, "is a symbolic link");
            if (type != 0 && type != S_IFREG)
                return refuseEntry(name, "is not a plain file");
        }
        if (system == ZIP_OPSYS_DOS && (attributes & 0x10))
            return refuseEntry(name, "is a folder");

        if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE)
            return refuseEntry(name, "is encrypted");
        if (!(st.valid & ZIP_STAT_COMP_METHOD)
            || (st.comp_method != ZIP_CM_STORE && st.comp_method != ZIP_CM_DEFLATE))
            return refuseEntry(name, "uses a compression method albums do not use");
        if (!(st.valid & ZIP_STAT_SIZE) || st.size > limits_.maxEntryBytes)
            return refuseEntry(name,
                "claims " + std::to_string(st.size) + " bytes, more than the "
                    + std::to_string(limits_.maxEntryBytes) + " an album entry may hold");
        if (st.comp_method == ZIP_CM_STORE && (st.valid & ZIP_STAT_COMP_SIZE)
            && st.comp_size != st.size)
            return refuseEntry(name, "is stored with two different sizes");
        entries_.push_back({ name, st.size, index });
    }
    return Status::success();
}

Status AlbumReader::readIcon(std::string& bytes) const {
    bytes.assign(static_cast<std::size_t>(icon_.length), '\0');
    if (!readFully(fd_.get(), bytes.data(), bytes.size(), icon_.offset))
        return Status::failure("cannot read the icon of the album: " + errorText(errno));
    return Status::success();
}

Status AlbumReader::streamEntry(
    std::size_t position, const std::function<Status(const char*, std::size_t)>& consume) {
    if (!archive_ || position >= entries_.size())
        return Status::failure("no such entry in the album");
    const AlbumEntry& entry = entries_[position];
    zip_file_t* file = zip_fopen_index(archive_.get(), entry.index, 0);
    if (!file)
        return refuseEntry(
            entry.name, std::string("cannot be read: ") + zip_strerror(archive_.get()));

    // Read one byte past the declared size, so an entry holding more than it claims is caught
    // without reading the rest of it.
    std::vector<char> chunk(chunkSize);
    std::uint64_t total = 0;
    Status result = Status::success();
    for (;;) {
        std::uint64_t wanted = std::min<std::uint64_t>(chunk.size(), entry.size + 1 - total);
        zip_int64_t got = zip_fread(file, chunk.data(), wanted);
        if (got < 0) {
            result = refuseEntry(entry.name, std::string("is damaged: ") + zip_file_strerror(file));
            break;
        }
        if (got == 0)
            break;
        total += static_cast<std::uint64_t>(got);
        if (total > entry.size) {
            result = refuseEntry(entry.name,
                "holds more than the " + std::to_string(entry.size) + " bytes it declares");
            break;
        }
        if (Status consumed = consume(chunk.data(), static_cast<std::size_t>(got)); !consumed) {
            result = consumed;
            break;
        }
    }
    int closed = zip_fclose(file);
    if (result && total != entry.size)
        result = refuseEntry(entry.name,
            "holds " + std::to_string(total) + " of the " + std::to_string(entry.size)
                + " bytes it declares");
    if (result && closed != 0) {
        zip_error_t error;
        zip_error_init_with_code(&error, closed);
        result = refuseEntry(entry.name, std::string("is damaged: ") + zip_error_strerror(&error));
        zip_error_fini(&error);
    }
    return result;
}

Status AlbumReader::readEntry(std::size_t position, std::string& bytes) {
    bytes.clear();
    if (position < entries_.size())
        bytes.reserve(static_cast<std::size_t>(entries_[position].size));
    return streamEntry(position, [&](const char* data, std::size_t length) {
        bytes.append(data, length);
        return Status::success();
    });
}

Status AlbumReader::writeIcon(const fs::path& file) const {
    std::string bytes;
    if (Status read = readIcon(bytes); !read)
        return read;
    fs::path temporary = file;
    temporary += ".part";
    UniqueFd out(
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644));
    if (!out)
        return Status::failure(
            "cannot write the icon to " + quotedPath(file) + ": " + errorText(errno));
    bool written = writeFully(out.get(), bytes.data(), bytes.size(), 0);
    int code = errno;
    if (written && !out.close()) {
        written = false;
        code = errno;
    }
    if (written && ::rename(temporary.c_str(), file.c_str()) != 0) {
        written = false;
        code = errno;
    }
    if (!written) {
        out.reset();
        ::unlink(temporary.c_str());
        return Status::failure(
            "cannot write the icon to " + quotedPath(file) + ": " + errorText(code));
    }
    return Status::success();
}

Status AlbumReader::extractAll(const fs::path& folder) {
    if (!archive_)
        return Status::failure("no album is open");
    bool createdFolder = false;
    if (::mkdir(folder.c_str(), 0777) == 0)
        createdFolder = true;
    else if (errno != EEXIST)
        return Status::failure(
            "cannot create the folder " + quotedPath(folder) + ": " + errorText(errno));
    UniqueFd folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folderFd) {
        int code = errno;
        if (createdFolder)
            ::rmdir(folder.c_str());
        return Status::failure(
            "cannot open the folder " + quotedPath(folder) + ": " + errorText(code));
    }

    Status result = Status::success();
    {
        ScratchFolder scratch;
        result = scratch.create(folderFd.get(), folder);
        for (std::size_t i = 0; result && i < entries_.size(); ++i) {
            const std::string& name = entries_[i].name;
            int fd = ::openat(scratch.fd(), name.c_str(),
                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
            if (fd < 0) {
                result = Status::failure(
                    "cannot create " + quotedPath(folder / name) + ": " + errorText(errno));
                break;
            }
            scratch.track(name);
            UniqueFd out(fd);
            std::uint64_t offset = 0;
            result = streamEntry(i, [&](const char* data, std::size_t length) {
                if (!writeFully(out.get(), data, length, offset))
                    return Status::failure(
                        "cannot write " + quotedPath(folder / name) + ": " + errorText(errno));
                offset += length;
                return Status::success();
            });
            if (result && !out.close())
                result = Status::failure(
                    "cannot write " + quotedPath(folder / name) + ": " + errorText(errno));
        }
        // Only plain files are ever replaced, so a link or folder planted under an entry's name
        // is neither followed nor removed.
        for (std::size_t i = 0; result && i < entries_.size(); ++i) {
            struct stat existing { };
            if (::fstatat(folderFd.get(), entries_[i].name.c_str(), &existing, AT_SYMLINK_NOFOLLOW)
                    == 0
                && !S_ISREG(existing.st_mode))
                result = Status::failure(
                    quotedPath(folder / entries_[i].name) + " exists and is not a plain file");
        }
        for (std::size_t i = 0; result && i < entries_.size(); ++i) {
            const char* name = entries_[i].name.c_str();
            if (::renameat(scratch.fd(), name, folderFd.get(), name) != 0)
                result = Status::failure("cannot move " + quotedPath(folder / name)
                    + " into place: " + errorText(errno));
        }
        if (result)
            scratch.untrack();
    }
    if (!result && createdFolder)
        ::rmdir(folder.c_str());
    return result;
}

} // namespace pxw::zip
