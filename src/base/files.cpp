#include "base/files.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <random>
#include <unistd.h>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace pxw::base {

bool readFully(int fd, void* buffer, std::size_t length, std::uint64_t offset) {
    auto* bytes = static_cast<char*>(buffer);
    while (length > 0) {
        ssize_t got = ::pread(fd, bytes, length, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            if (got == 0)
                errno = 0;
            return false;
        }
        bytes += got;
        length -= static_cast<std::size_t>(got);
        offset += static_cast<std::uint64_t>(got);
    }
    return true;
}

bool writeFully(int fd, const void* buffer, std::size_t length, std::uint64_t offset) {
    const auto* bytes = static_cast<const char*>(buffer);
    while (length > 0) {
        ssize_t put = ::pwrite(fd, bytes, length, static_cast<off_t>(offset));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            if (put == 0)
                errno = ENOSPC;
            return false;
        }
        bytes += put;
        length -= static_cast<std::size_t>(put);
        offset += static_cast<std::uint64_t>(put);
    }
    return true;
}

bool copyBytes(int from, int to, std::uint64_t length, std::uint64_t toOffset) {
    // The kernel copies (or shares) the bytes without a round trip through user space; plain
    // reads and writes serve where it cannot, such as across file systems on older kernels.
    loff_t inOffset = 0;
    auto outOffset = static_cast<loff_t>(toOffset);
    std::uint64_t left = length;
    while (left > 0) {
        ssize_t copied = ::copy_file_range(from, &inOffset, to, &outOffset,
            static_cast<std::size_t>(std::min<std::uint64_t>(left, std::uint64_t { 1 } << 30)), 0);
        if (copied < 0 && errno == EINTR)
            continue;
        if (copied < 0
            && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP
                || errno == EBADF))
            break;
        if (copied <= 0) {
            if (copied == 0)
                errno = 0;
            return false;
        }
        left -= static_cast<std::uint64_t>(copied);
    }
    std::vector<char> buffer(std::min<std::uint64_t>(left, std::uint64_t { 1 } << 20));
    while (left > 0) {
        auto chunk = static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size()));
        if (!readFully(from, buffer.data(), chunk, static_cast<std::uint64_t>(inOffset))
            || !writeFully(to, buffer.data(), chunk, static_cast<std::uint64_t>(outOffset)))
            return false;
        inOffset += static_cast<loff_t>(chunk);
        outOffset += static_cast<loff_t>(chunk);
        left -= chunk;
    }
    return true;
}

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

std::string temporaryName(std::string_view tag) {
    static constexpr std::string_view letters
        = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device random;
    std::uniform_int_distribution<std::size_t> pick(0, letters.size() - 1);
    std::string name = ".";
    name += tag;
    name += '-';
    for (int i = 0; i < 6; ++i)
        name += letters[pick(random)];
    return name;
}

std::optional<std::string> createUnderTemporaryName(
    std::string_view tag, const std::function<bool(const std::string& name)>& create) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = temporaryName(tag);
        if (create(name))
            return name;
        if (errno != EEXIST)
            return std::nullopt;
    }
    return std::nullopt;
}

TemporaryFile::~TemporaryFile() {
    fd_.reset();
    if (!path_.empty())
        ::unlink(path_.c_str());
}

bool TemporaryFile::create(const fs::path& folder, std::string_view tag, mode_t permissions) {
    return createUnderTemporaryName(tag, [&](const std::string& name) {
        fs::path candidate = folder / name;
        fd_ = UniqueFd(::open(
            candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, permissions));
        if (fd_)
            path_ = std::move(candidate);
        return static_cast<bool>(fd_);
    }).has_value();
}

bool TemporaryFile::renameTo(const fs::path& target, bool replace) {
    if (!close() || !moveIntoPlace(AT_FDCWD, path_.c_str(), AT_FDCWD, target.c_str(), replace))
        return false;
    path_.clear();
    return true;
}

fs::path TemporaryFile::keep() {
    fd_.reset();
    return std::exchange(path_, fs::path());
}

} // namespace pxw::base
