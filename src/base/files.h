#pragma once

// Whole reads, writes and copies, and files written under a temporary name and then renamed, so
// that a name never shows a half-written file.

#include "base/path.h"
#include "base/unique_fd.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace pxw::base {

/// Reads exactly `length` bytes at `offset`; false with errno set (0 when the file ended first).
bool readFully(int fd, void* buffer, std::size_t length, std::uint64_t offset);

/// Writes all `length` bytes at `offset`; false with errno set.
bool writeFully(int fd, const void* buffer, std::size_t length, std::uint64_t offset);

/// Copies `length` bytes from the start of `from` to `to` at `toOffset`, in the kernel where it
/// can; false with errno set (0 when `from` ended first).
bool copyBytes(int from, int to, std::uint64_t length, std::uint64_t toOffset);

/// Renames `from` in the folder `fromFolder` to `to` in `toFolder` (descriptors, or AT_FDCWD).
/// Without `replace` a file that holds the name stays, and the call fails with EEXIST. False
/// with errno set. Linux only (system.h's Folder moves names on both systems).
bool moveIntoPlace(int fromFolder, const char* from, int toFolder, const char* to, bool replace);

/// The one scheme for names that stand for a file or folder while it is written: hidden, the
/// `tag` saying who wrote it, and short, so that it fits where the final name is 255 bytes
/// long. Each call gives another name: ".<tag>-" and six random letters and digits.
std::string temporaryName(std::string_view tag);

/// Calls `create` with new temporary names until it succeeds or fails for another reason than
/// EEXIST. The name it succeeded with, or nothing with errno set.
std::optional<std::string> createUnderTemporaryName(
    std::string_view tag, const std::function<bool(const std::string& name)>& create);

/// A new file under a temporary name, removed when this goes unless renamed or kept.
class TemporaryFile {
public:
    TemporaryFile() = default;
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    /// Creates the file in `folder` with `permissions` (the umask applies); false with errno set.
    bool create(const Path& folder, std::string_view tag, unsigned permissions);

    int fd() const { return fd_.get(); }
    const Path& path() const { return path_; }
    /// Closes the file; false with errno set (a late write error shows here).
    bool close() { return fd_.close(); }
    /// Closes the file if open and gives it the name `target`, replacing a file of that name
    /// unless `replace` is false (then it fails with EEXIST); false with errno set.
    bool renameTo(const Path& target, bool replace = true);
    /// Closes the file and leaves it under its temporary name, which it gives back.
    Path keep();

private:
    UniqueFd fd_;
    Path path_;
};

} // namespace pxw::base
