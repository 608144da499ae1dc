#include "base/files.h"

#include "base/system.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <random>
#include <utility>
#include <vector>

namespace pxw::base {

bool readFully(int fd, void* buffer, std::size_t length, std::uint64_t offset) {
    auto* bytes = static_cast<char*>(buffer);
    while (length > 0) {
        std::int64_t got = sys::readAt(fd, bytes, length, offset);
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
        std::int64_t put = sys::writeAt(fd, bytes, length, offset);
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
    std::uint64_t inOffset = 0;
    std::uint64_t outOffset = toOffset;
    std::uint64_t left = length;
    while (left > 0) {
        std::int64_t copied = sys::copyRange(from, inOffset, to, outOffset,
            static_cast<std::size_t>(std::min<std::uint64_t>(left, std::uint64_t { 1 } << 30)));
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
        if (!readFully(from, buffer.data(), chunk, inOffset)
            || !writeFully(to, buffer.data(), chunk, outOffset))
            return false;
        inOffset += chunk;
        outOffset += chunk;
        left -= chunk;
    }
    return true;
}

// moveIntoPlace is in system_posix.cpp: Windows has no folder descriptors.

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
        sys::removeFile(path_);
}

bool TemporaryFile::create(const Path& folder, std::string_view tag, unsigned permissions) {
    return createUnderTemporaryName(tag, [&](const std::string& name) {
        Path candidate = folder / sys::nameAsPath(name);
        fd_ = UniqueFd(sys::createNew(candidate, permissions));
        if (fd_)
            path_ = std::move(candidate);
        return static_cast<bool>(fd_);
    }).has_value();
}

bool TemporaryFile::renameTo(const Path& target, bool replace) {
    if (!close() || !sys::moveFile(path_, target, replace))
        return false;
    path_.clear();
    return true;
}

Path TemporaryFile::keep() {
    fd_.reset();
    return std::exchange(path_, Path());
}

} // namespace pxw::base
