#pragma once

// The few file calls that differ between Linux and Windows, so that the album's reader builds
// for both: system_posix.cpp and system_win32.cpp are the two sides, and only one is built.
// Failures set errno on both sides (Windows error codes are mapped to their nearest value).

#include "base/path.h"
#include "base/unique_fd.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace pxw::base::sys {

/// pread and pwrite: up to `length` bytes at `offset`. The count (0 at the end of the file),
/// or -1 with errno set.
std::int64_t readAt(int fd, void* buffer, std::size_t length, std::uint64_t offset);
std::int64_t writeAt(int fd, const void* buffer, std::size_t length, std::uint64_t offset);

/// Copies up to `length` bytes between files in the kernel, advancing both offsets. The count,
/// or -1 with errno set; ENOSYS where the system has no such call.
std::int64_t copyRange(
    int from, std::uint64_t& fromOffset, int to, std::uint64_t& toOffset, std::size_t length);

/// Opens an existing file for reading (binary, not inherited by children); -1 with errno set.
int openForReading(const Path& file);
/// Creates `file` for reading and writing, failing with EEXIST when the name is taken (a link
/// included, which is never followed). `permissions` are POSIX ones; Windows ignores them.
int createNew(const Path& file, unsigned permissions);

/// A plain file's size, or nullopt: with errno 0 when `fd` is open on something else, or
/// with the failure's errno.
std::optional<std::uint64_t> plainFileSize(int fd);

/// Cuts or extends the file to `length` bytes; false with errno set.
bool setFileSize(int fd, std::uint64_t length);

bool removeFile(const Path& file);
/// Renames `from` to `to`, replacing a file of that name; without `replace`, a file that holds
/// the name stays and the call fails with EEXIST.
bool moveFile(const Path& from, const Path& to, bool replace);
/// Creates a folder (0777 less the umask); EEXIST when the name is taken.
bool createFolder(const Path& folder);
bool removeFolder(const Path& folder);

/// A file name from an archive or a message (UTF-8) as a path, and a path as UTF-8 text. On
/// Linux names are bytes and pass as they are.
Path nameAsPath(const std::string& name);
std::string pathText(const Path& path);

/// The running program's own file: /proc/self/exe on Linux, the module's path on Windows.
Path ownProgramFile();

/// The text of errno value `code`; safe from any thread.
std::string errnoText(int code);

/// What a name in a folder stands for, looked at without following a link.
enum class NameKind { missing, plainFile, other };

/// A folder opened once, in which names are created, looked at, moved and removed. On Linux it
/// holds a descriptor, so that it stays the folder first opened even when a link or a rename
/// swaps its path; on Windows, whose folders cannot be renamed while in use the way Linux ones
/// can, it holds the path. A link is never followed.
class Folder {
public:
    /// Opens `path`; check with `isOpen()`, errno set when it failed.
    static Folder open(const Path& path);

    bool isOpen() const;
    const Path& path() const { return path_; }
    /// The descriptor on Linux (for the calls of files.h), -1 on Windows.
    int fd() const { return fd_.get(); }

    /// Creates the folder `name` (owner only) in it; false with errno set.
    bool createFolder(const std::string& name) const;
    /// Opens the folder `name` in it, which must not be a link.
    Folder openFolder(const std::string& name) const;
    bool removeFolder(const std::string& name) const;
    /// Creates the new file `name` for writing (see createNew); -1 with errno set.
    int createFile(const std::string& name, unsigned permissions) const;
    bool removeFile(const std::string& name) const;
    /// What `name` stands for; nullopt with errno set when that cannot be found out.
    std::optional<NameKind> kindOf(const std::string& name) const;
    /// Moves `name` to `target` in `to`. Without `replace`, a file that holds that name stays
    /// and the call fails with EEXIST.
    bool moveTo(
        const std::string& name, const Folder& to, const std::string& target, bool replace) const;

private:
    Path path_;
    UniqueFd fd_;
    bool open_ = false;
};

} // namespace pxw::base::sys
