#include "zip/album_writer.h"

#include "albumfile/album_format.h"
#include "albumfile/album_program.h"
#include "base/files.h"
#include "base/system.h"
#include "base/text.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <zip.h>
#ifdef _WIN32
#include "base/wide_text.h"
#endif

namespace fs = std::filesystem;

namespace pxw::zip {

using base::errorText;
using base::UniqueFd;

namespace {

// The library's path as the base layer takes it: the same type on Linux, the wide text on
// Windows.
base::Path basePath(const fs::path& path) {
#ifdef _WIN32
    return base::Path(path.native());
#else
    return path;
#endif
}

std::string quotedPath(const fs::path& path) {
    return base::quotedPath(basePath(path));
}

// A name of the archive: UTF-8 on Windows, the bytes of the name on Linux.
std::string nameText(const fs::path& name) {
#ifdef _WIN32
    return base::narrowed(name.native());
#else
    return name.string();
#endif
}

// Opens a file to be read, never through a link on Linux (the file was listed as a plain one).
int openSource(const fs::path& path) {
#ifdef _WIN32
    return base::sys::openForReading(basePath(path));
#else
    return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
#endif
}

// A libzip error record, released when it goes.
class ZipError {
public:
    ZipError() { zip_error_init(&error_); }
    ~ZipError() { zip_error_fini(&error_); }
    ZipError(const ZipError&) = delete;
    ZipError& operator=(const ZipError&) = delete;
    zip_error_t* get() { return &error_; }

private:
    zip_error_t error_ {};
};

// Where libzip writes the archive: the album file after the program and the icon. The
// positions it reports are positions in the whole file, so the offsets libzip records count
// from the start of the album. Small writes are gathered into one buffer.
class AlbumSink {
public:
    AlbumSink(int fd, std::uint64_t archiveStart)
        : fd_(fd)
        , bufferStart_(archiveStart)
        , end_(archiveStart) {
        buffer_.reserve(bufferSize);
    }

    static zip_int64_t callback(
        void* self, void* data, zip_uint64_t length, zip_source_cmd_t command) {
        return static_cast<AlbumSink*>(self)->handle(data, length, command);
    }

    const std::string& failure() const { return failure_; }

private:
    static constexpr std::size_t bufferSize = std::size_t { 1 } << 20;

    std::uint64_t position() const { return bufferStart_ + buffer_.size(); }

    zip_int64_t fail(int zipError, int systemError, std::string why) {
        zip_error_set(error_.get(), zipError, systemError);
        failure_ = std::move(why);
        return -1;
    }

    bool flush() {
        if (buffer_.empty())
            return true;
        if (!base::writeFully(fd_, buffer_.data(), buffer_.size(), bufferStart_))
            return false;
        bufferStart_ += buffer_.size();
        buffer_.clear();
        return true;
    }

    zip_int64_t handle(void* data, zip_uint64_t length, zip_source_cmd_t command) {
        switch (command) {
        case ZIP_SOURCE_SUPPORTS:
            return ZIP_SOURCE_SUPPORTS_WRITABLE;
        case ZIP_SOURCE_STAT:
            // A new archive: libzip takes a missing file as "create".
            zip_error_set(error_.get(), ZIP_ER_READ, ENOENT);
            return -1;
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(error_.get(), data, length);
        case ZIP_SOURCE_FREE:
        case ZIP_SOURCE_BEGIN_WRITE:
        case ZIP_SOURCE_ROLLBACK_WRITE:
            return 0;
        case ZIP_SOURCE_WRITE:
            if (position() + length > maxAlbumBytes)
                return fail(ZIP_ER_WRITE, EFBIG, "the album would reach 4 GiB");
            buffer_.insert(buffer_.end(), static_cast<const char*>(data),
                static_cast<const char*>(data) + length);
            end_ = std::max(end_, position());
            if (buffer_.size() >= bufferSize && !flush())
                return fail(ZIP_ER_WRITE, errno, errorText(errno));
            return static_cast<zip_int64_t>(length);
        case ZIP_SOURCE_SEEK_WRITE: {
            if (!flush())
                return fail(ZIP_ER_WRITE, errno, errorText(errno));
            zip_int64_t target
                = zip_source_seek_compute_offset(bufferStart_, end_, data, length, error_.get());
            if (target < 0)
                return -1;
            bufferStart_ = static_cast<std::uint64_t>(target);
            return 0;
        }
        case ZIP_SOURCE_TELL_WRITE:
            return static_cast<zip_int64_t>(position());
        case ZIP_SOURCE_COMMIT_WRITE:
            if (!flush())
                return fail(ZIP_ER_WRITE, errno, errorText(errno));
            if (!base::sys::setFileSize(fd_, end_))
                return fail(ZIP_ER_WRITE, errno, errorText(errno));
            return 0;
        default:
            zip_error_set(error_.get(), ZIP_ER_OPNOTSUPP, 0);
            return -1;
        }
    }

    int fd_;
    std::uint64_t bufferStart_;
    std::uint64_t end_;
    std::vector<char> buffer_;
    ZipError error_;
    std::string failure_;
};

// Reads one file to be added, and remembers which file failed and why, which libzip's own
// error would not tell.
class FileSource {
public:
    FileSource(fs::path path, std::string* failure)
        : path_(std::move(path))
        , failure_(failure) { }

    static zip_int64_t callback(
        void* self, void* data, zip_uint64_t length, zip_source_cmd_t command) {
        auto* source = static_cast<FileSource*>(self);
        if (command == ZIP_SOURCE_FREE) {
            delete source;
            return 0;
        }
        return source->handle(data, length, command);
    }

private:
    zip_int64_t fail(int zipError) {
        int code = errno;
        zip_error_set(error_.get(), zipError, code);
        *failure_ = "cannot read " + quotedPath(path_) + ": " + errorText(code);
        return -1;
    }

    zip_int64_t handle(void* data, zip_uint64_t length, zip_source_cmd_t command) {
        switch (command) {
        case ZIP_SOURCE_SUPPORTS:
            return ZIP_SOURCE_SUPPORTS_READABLE;
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(error_.get(), data, length);
        case ZIP_SOURCE_STAT: {
            auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, error_.get());
            if (!st)
                return -1;
            std::error_code error;
            const std::uintmax_t size = fs::file_size(path_, error);
            const fs::file_time_type modified
                = error ? fs::file_time_type() : fs::last_write_time(path_, error);
            if (error) {
                errno = error.value();
                return fail(ZIP_ER_READ);
            }
            zip_stat_init(st);
            st->size = static_cast<zip_uint64_t>(size);
            st->mtime
                = std::chrono::system_clock::to_time_t(std::chrono::file_clock::to_sys(modified));
            st->valid |= ZIP_STAT_SIZE | ZIP_STAT_MTIME;
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_OPEN: {
            fd_ = UniqueFd(openSource(path_));
            if (!fd_)
                return fail(ZIP_ER_OPEN);
            offset_ = 0;
            return 0;
        }
        case ZIP_SOURCE_READ: {
            for (;;) {
                const std::int64_t got
                    = base::sys::readAt(fd_.get(), data, static_cast<std::size_t>(length), offset_);
                if (got >= 0) {
                    offset_ += static_cast<std::uint64_t>(got);
                    return got;
                }
                if (errno != EINTR)
                    return fail(ZIP_ER_READ);
            }
        }
        case ZIP_SOURCE_CLOSE:
            fd_.reset();
            return 0;
        default:
            zip_error_set(error_.get(), ZIP_ER_OPNOTSUPP, 0);
            return -1;
        }
    }

    fs::path path_;
    std::string* failure_;
    UniqueFd fd_;
    std::uint64_t offset_ = 0;
    ZipError error_;
};

struct ZipDiscard {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};

Status copyInto(int to, const fs::path& from, std::uint64_t at, std::uint64_t maxBytes,
    const char* what, std::uint64_t& length) {
    UniqueFd source(base::sys::openForReading(basePath(from)));
    const std::optional<std::uint64_t> size
        = source ? base::sys::plainFileSize(source.get()) : std::nullopt;
    if (!size && (!source || errno != 0))
        return Status::failure(std::string("cannot read the ") + what + " " + quotedPath(from)
            + ": " + errorText(errno));
    if (!size)
        return Status::failure(
            std::string("the ") + what + " " + quotedPath(from) + " is not a file");
    length = *size;
    if (length > maxBytes)
        return Status::failure(std::string("the ") + what + " " + quotedPath(from)
            + " is too large (" + std::to_string(length) + " bytes)");
    if (!base::copyBytes(source.get(), to, length, at))
        return Status::failure(std::string("cannot copy the ") + what + " " + quotedPath(from)
            + ": " + errorText(errno));
    return Status::success();
}

// The bytes of a file of at most `maxBytes`.
Status readWhole(const fs::path& from, const char* what, std::string& bytes) {
    UniqueFd source(base::sys::openForReading(basePath(from)));
    const std::optional<std::uint64_t> size
        = source ? base::sys::plainFileSize(source.get()) : std::nullopt;
    if (!size && (!source || errno != 0))
        return Status::failure(std::string("cannot read the ") + what + " " + quotedPath(from)
            + ": " + errorText(errno));
    if (!size || *size > maxAlbumBytes / 2)
        return Status::failure(std::string("the ") + what + " " + quotedPath(from)
            + " is not a file of a program's size");
    bytes.assign(static_cast<std::size_t>(*size), '\0');
    if (!base::readFully(source.get(), bytes.data(), bytes.size(), 0))
        return Status::failure(std::string("cannot read the ") + what + " " + quotedPath(from)
            + ": " + errorText(errno));
    return Status::success();
}

// The Windows album program with the album's icon, joined by the Linux one when there is one:
// an album that opens on Windows, and then on Linux too.
Status writeWindowsProgram(const AlbumRecipe& recipe, int fd, std::uint64_t& length) {
    std::string program, why;
    if (Status read = readWhole(*recipe.windowsProgram, "Windows album program", program); !read)
        return read;
    // The album's icon becomes the Windows program's icon. One that is neither an .ico file
    // nor a PNG image leaves it without, as Windows shows a program that has none.
    std::string icon;
    if (recipe.icon && readWhole(*recipe.icon, "icon", icon)) {
        if (std::optional<std::string> withIcon = withIconResources(program, icon, nullptr))
            program = std::move(*withIcon);
    }
    if (!recipe.program.empty()) {
        std::string linuxProgram;
        if (Status read = readWhole(recipe.program, "album program", linuxProgram); !read)
            return read;
        std::optional<std::string> dual = dualAlbumProgram(program, linuxProgram, &why);
        if (!dual)
            return Status::failure(why + " (" + quotedPath(*recipe.windowsProgram) + ")");
        program = std::move(*dual);
    }
    if (!base::writeFully(fd, program.data(), program.size(), 0))
        return Status::failure("cannot write the album programs: " + errorText(errno));
    length = program.size();
    return Status::success();
}

Status writeArchive(const AlbumRecipe& recipe, int fd) {
    std::uint64_t programLength = 0;
    if (Status copied = recipe.windowsProgram
            ? writeWindowsProgram(recipe, fd, programLength)
            : copyInto(fd, recipe.program, 0, maxAlbumBytes, "album program", programLength);
        !copied)
        return copied;
    IconPlace icon { programLength, 0 };
    if (recipe.icon) {
        Status copied = copyInto(
            fd, *recipe.icon, programLength, AlbumLimits {}.maxIconBytes, "icon", icon.length);
        if (!copied)
            return copied;
    }

    AlbumSink sink(fd, icon.offset + icon.length);
    ZipError error;
    zip_source_t* sinkSource = zip_source_function_create(&AlbumSink::callback, &sink, error.get());
    std::unique_ptr<zip_t, ZipDiscard> archive;
    if (sinkSource) {
        archive.reset(zip_open_from_source(sinkSource, ZIP_CREATE | ZIP_TRUNCATE, error.get()));
        if (!archive)
            zip_source_free(sinkSource);
    }
    if (!archive)
        return Status::failure(
            std::string("cannot start the archive: ") + zip_error_strerror(error.get()));

    std::string readFailure;
    for (const AlbumFile& file : recipe.files) {
        auto reader = std::make_unique<FileSource>(file.source, &readFailure);
        zip_source_t* source
            = zip_source_function(archive.get(), &FileSource::callback, reader.get());
        if (!source)
            return Status::failure(
                "cannot add " + quotedPath(file.source) + ": " + zip_strerror(archive.get()));
        static_cast<void>(reader.release()); // the source owns it now
        zip_int64_t index
            = zip_file_add(archive.get(), file.name.c_str(), source, ZIP_FL_ENC_GUESS);
        if (index < 0) {
            zip_source_free(source);
            return Status::failure(
                "cannot add " + quotedPath(file.source) + ": " + zip_strerror(archive.get()));
        }
        auto entry = static_cast<zip_uint64_t>(index);
        if (zip_set_file_compression(archive.get(), entry, ZIP_CM_STORE, 0) != 0
            || zip_file_set_external_attributes(
                   archive.get(), entry, 0, ZIP_OPSYS_UNIX, (S_IFREG | 0644u) << 16)
                != 0)
            return Status::failure(
                "cannot add " + quotedPath(file.source) + ": " + zip_strerror(archive.get()));
    }
    std::string comment = iconComment(icon);
    if (zip_set_archive_comment(
            archive.get(), comment.data(), static_cast<zip_uint16_t>(comment.size()))
        != 0)
        return Status::failure(
            std::string("cannot record the icon: ") + zip_strerror(archive.get()));

    if (zip_close(archive.get()) != 0) {
        std::string why = !readFailure.empty() ? readFailure
            : !sink.failure().empty()          ? sink.failure()
                                               : zip_strerror(archive.get());
        return Status::failure(why);
    }
    static_cast<void>(archive.release()); // closed above
    return Status::success();
}

} // namespace

Status collectFolderFiles(const fs::path& folder, std::vector<AlbumFile>& files) {
    std::error_code error;
    if (!fs::is_directory(folder, error))
        return Status::failure("the folder " + quotedPath(folder) + " does not exist");
    std::map<std::string, fs::path> found;
    for (const AlbumFile& file : files)
        found[file.name] = file.source;
    fs::directory_iterator it(folder, error), end;
    for (; !error && it != end; it.increment(error)) {
        std::error_code typeError;
        if (it->is_regular_file(typeError) && !it->is_symlink(typeError))
            found[nameText(it->path().filename())] = it->path();
    }
    if (error)
        return Status::failure(
            "cannot list the folder " + quotedPath(folder) + ": " + error.message());
    files.clear();
    for (auto& [name, source] : found)
        files.push_back({ name, std::move(source) });
    return Status::success();
}

Status writeAlbum(const AlbumRecipe& recipe, const fs::path& destination) {
    auto failure = [&](const std::string& why) {
        return Status::failure("cannot write the album " + quotedPath(destination) + ": " + why);
    };
    if (recipe.files.empty())
        return failure("there are no files to put into it");
    if (recipe.files.size() > maxAlbumEntries)
        return failure("an album holds at most " + std::to_string(maxAlbumEntries) + " files");
    if (destination.filename().empty())
        return failure("the path names no file");
    std::error_code error;
    fs::path folder = destination.parent_path().empty() ? fs::path(".") : destination.parent_path();
    if (!fs::is_directory(folder, error))
        return Status::failure("cannot write the album " + quotedPath(destination) + ": the folder "
            + quotedPath(folder) + " does not exist");
    if (fs::is_directory(destination, error))
        return Status::failure(
            "cannot write the album " + quotedPath(destination) + ": a folder of that name exists");

    base::TemporaryFile album;
    // 0755 before the umask: the album is a program.
    if (!album.create(basePath(folder), "pxw-album", 0755))
        return failure("cannot create a file in " + quotedPath(folder) + ": " + errorText(errno));
    if (Status written = writeArchive(recipe, album.fd()); !written)
        return failure(written.message());
    if (!album.close())
        return failure("cannot finish writing: " + errorText(errno));
    if (!album.renameTo(basePath(destination)))
        return failure("cannot rename the finished album into place: " + errorText(errno));
    return Status::success();
}

} // namespace pxw::zip
