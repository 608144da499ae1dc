#include "albumfile/file_util.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace pxw::zip {

std::string errorText(int code) {
    return code == 0 ? "unexpected end of file" : std::strerror(code);
}

std::string quotedPath(const std::filesystem::path& path) {
    return "\"" + path.string() + "\"";
}

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
    loff_t outOffset = static_cast<loff_t>(toOffset);
    std::uint64_t left = length;
    while (left > 0) {
        ssize_t copied = ::copy_file_range(from, &inOffset, to, &outOffset,
            static_cast<std::size_t>(std::min<std::uint64_t>(left, std::uint64_t { 1 } << 30)), 0);
        if (copied < 0 && errno == EINTR)
            continue;
        if (copied < 0
            && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP))
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
        std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size()));
        if (!readFully(from, buffer.data(), chunk, static_cast<std::uint64_t>(inOffset))
            || !writeFully(to, buffer.data(), chunk, static_cast<std::uint64_t>(outOffset)))
            return false;
        inOffset += static_cast<loff_t>(chunk);
        outOffset += static_cast<loff_t>(chunk);
        left -= chunk;
    }
    return true;
}

} // namespace pxw::zip
