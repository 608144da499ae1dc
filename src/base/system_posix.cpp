// The Linux side of system.h.

#include "base/files.h"
#include "base/system.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace pxw::base {

namespace sys {

std::int64_t readAt(int fd, void* buffer, std::size_t length, std::uint64_t offset) {
    return ::pread(fd, buffer, length, static_cast<off_t>(offset));
}

std::int64_t writeAt(int fd, const void* buffer, std::size_t length, std::uint64_t offset) {
    return ::pwrite(fd, buffer, length, static_cast<off_t>(offset));
}

std::int64_t copyRange(
    int from, std::uint64_t& fromOffset, int to, std::uint64_t& toOffset, std::size_t length) {
    auto in = static_cast<loff_t>(fromOffset), out = static_cast<loff_t>(toOffset);
    const ssize_t copied = ::copy_file_range(from, &in, to, &out, length, 0);
    if (copied > 0) {
        fromOffset = static_cast<std::uint64_t>(in);
        toOffset = static_cast<std::uint64_t>(out);
    }
    return copied;
}

int openForReading(const Path& file) {
    return ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
}

int createNew(const Path& file, unsigned permissions) {
    return ::open(file.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
        static_cast<mode_t>(permissions));
}

bool setFileSize(int fd, std::uint64_t length) {
    return ::ftruncate(fd, static_cast<off_t>(length)) == 0;
}

std::optional<std::uint64_t> plainFileSize(int fd) {
    struct stat info { };
    if (::fstat(fd, &info) != 0)
        return std::nullopt;
    if (!S_ISREG(info.st_mode)) {
        errno = 0;
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(info.st_size);
}

bool removeFile(const Path& file) {
    return ::unlink(file.c_str()) == 0;
}

bool moveFile(const Path& from, const Path& to, bool replace) {
    return moveIntoPlace(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), replace);
}

bool createFolder(const Path& folder) {
    return ::mkdir(folder.c_str(), 0777) == 0;
}

bool removeFolder(const Path& folder) {
    return ::rmdir(folder.c_str()) == 0;
}

Path nameAsPath(const std::string& name) {
    return name;
}

std::string pathText(const Path& path) {
    return path.native();
}

Path ownProgramFile() {
    return "/proc/self/exe";
}

namespace {

// glibc gives the GNU strerror_r, which returns the text; other C libraries the POSIX one,
// which fills the buffer. strerror itself may share one buffer between threads.
[[maybe_unused]] const char* strerrorResult(const char* text, const char* /*buffer*/) {
    return text;
}
[[maybe_unused]] const char* strerrorResult(int result, const char* buffer) {
    return result == 0 ? buffer : "unknown error";
}

} // namespace

std::string errnoText(int code) {
    char buffer[256] = {};
    return strerrorResult(::strerror_r(code, buffer, sizeof buffer), buffer);
}

Folder Folder::open(const Path& path) {
    Folder folder;
    folder.path_ = path;
    folder.fd_ = UniqueFd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    folder.open_ = static_cast<bool>(folder.fd_);
    return folder;
}

bool Folder::isOpen() const {
    return open_;
}

bool Folder::createFolder(const std::string& name) const {
    return ::mkdirat(fd_.get(), name.c_str(), 0700) == 0;
}

Folder Folder::openFolder(const std::string& name) const {
    Folder folder;
    folder.path_ = path_ / name;
    folder.fd_ = UniqueFd(
        ::openat(fd_.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    folder.open_ = static_cast<bool>(folder.fd_);
    return folder;
}

bool Folder::removeFolder(const std::string& name) const {
    return ::unlinkat(fd_.get(), name.c_str(), AT_REMOVEDIR) == 0;
}

int Folder::createFile(const std::string& name, unsigned permissions) const {
    return ::openat(fd_.get(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
        static_cast<mode_t>(permissions));
}

bool Folder::removeFile(const std::string& name) const {
    return ::unlinkat(fd_.get(), name.c_str(), 0) == 0;
}

std::optional<NameKind> Folder::kindOf(const std::string& name) const {
    struct stat info { };
    if (::fstatat(fd_.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0)
        return S_ISREG(info.st_mode) ? NameKind::plainFile : NameKind::other;
    if (errno == ENOENT)
        return NameKind::missing;
    return std::nullopt;
}

bool Folder::moveTo(
    const std::string& name, const Folder& to, const std::string& target, bool replace) const {
    return moveIntoPlace(fd_.get(), name.c_str(), to.fd_.get(), target.c_str(), replace);
}

} // namespace sys

bool moveIntoPlace(int fromFolder, const char* from, int toFolder, const char* to, bool replace) {
    if (replace)
        return ::renameat(fromFolder, from, toFolder, to) == 0;
    if (::renameat2(fromFolder, from, toFolder, to, RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // File systems without RENAME_NOREPLACE: a hard link fails on an existing name just as well.
    if (::linkat(fromFolder, from, toFolder, to, 0) != 0)
        return false;
    ::unlinkat(fromFolder, from, 0);
    return true;
}

} // namespace pxw::base
