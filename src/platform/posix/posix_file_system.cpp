#include "posix_file_system.h"

#include "base/files.h"
#include "base/text.h"
#include "platform/wildcard.h"

#include <array>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace pxw::platform {

using base::errorText;
using base::inQuotes;
using base::UniqueFd;

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

class FlockedFolder final : public FolderLock {
public:
    explicit FlockedFolder(UniqueFd fd)
        : fd_(std::move(fd)) { }
    // Linux turns an exclusive flock into a shared one by dropping and retaking it, so another
    // window may take the folder in between; then this one must not start its run.
    bool share() override {
        int shared;
        do
            shared = ::flock(fd_.get(), LOCK_SH | LOCK_NB);
        while (shared != 0 && errno == EINTR);
        return shared == 0;
    }

private:
    UniqueFd fd_;
};

} // namespace

PosixFileSystem::PosixFileSystem(DriveMap drives)
    : drives_(std::move(drives)) {
}

bool PosixFileSystem::folderExists(const std::string& path) {
    auto host = drives_.toHost(path, nullptr);
    std::error_code ec;
    return host && fs::is_directory(*host, ec);
}

Status PosixFileSystem::createFolder(const std::string& path) {
    const std::string action = "cannot create folder " + inQuotes(path) + ": ";
    std::string error;
    auto host = drives_.toHost(path, &error);
    if (!host)
        return Status::failure(action + error);
    if (::mkdir(host->c_str(), 0777) == 0)
        return Status::success();
    const int failure = errno;
    switch (failure) {
    case EEXIST:
        return Status::failure(action + "it already exists (" + host->string() + ")");
    case ENOENT:
        return Status::failure(action + "the folder that should hold it does not exist ("
            + host->parent_path().string() + ")");
    default:
        return Status::failure(action + errorText(failure) + " (" + host->string() + ")");
    }
}

bool PosixFileSystem::fileExists(const std::string& path) {
    auto host = drives_.toHost(path, nullptr);
    std::error_code ec;
    return host && fs::is_regular_file(*host, ec);
}

Status PosixFileSystem::copyFile(const std::string& from, const std::string& to) {
    const std::string action = "cannot copy " + inQuotes(from) + " to " + inQuotes(to) + ": ";
    std::string error;
    auto source = drives_.toHost(from, &error);
    if (!source)
        return Status::failure(action + error);
    auto target = drives_.toHost(to, &error);
    if (!target)
        return Status::failure(action + error);

    // O_NONBLOCK: opening a FIFO with no writer would wait for one, for good.
    UniqueFd input(::open(source->c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!input) {
        const int failure = errno;
        if (failure == ENOENT || failure == ENOTDIR)
            return Status::failure(
                action + "source file " + inQuotes(from) + " not found (" + source->string() + ")");
        return Status::failure(action + "cannot read source file " + inQuotes(from) + ": "
            + errorText(failure) + " (" + source->string() + ")");
    }
    struct stat sourceInfo { };
    if (::fstat(input.get(), &sourceInfo) != 0)
        return Status::failure(action + errorText(errno));
    if (!S_ISREG(sourceInfo.st_mode))
        return Status::failure(
            action + "source " + inQuotes(from) + " is not a file (" + source->string() + ")");

    std::error_code ec;
    if (fs::is_directory(*target, ec))
        return Status::failure(
            action + "destination " + inQuotes(to) + " is a folder (" + target->string() + ")");
    const fs::path folder = target->parent_path();
    if (!fs::is_directory(folder, ec))
        return Status::failure(
            action + "destination folder does not exist (" + folder.string() + ")");

    base::TemporaryFile output;
    if (!output.create(folder, "pxw-copy", 0600))
        return Status::failure(action + "cannot write in the destination folder: "
            + errorText(errno) + " (" + folder.string() + ")");
    if (!base::copyBytes(
            input.get(), output.fd(), static_cast<std::uint64_t>(sourceInfo.st_size), 0)) {
        const int failure = errno;
        if (failure == ENOSPC || failure == EDQUOT)
            return Status::failure(
                action + "no space left for " + inQuotes(to) + " (" + folder.string() + ")");
        return Status::failure(action + "copying failed: " + errorText(failure) + " ("
            + source->string() + " to " + folder.string() + ")");
    }
    ::fchmod(output.fd(), sourceInfo.st_mode & 0777);
    const std::array<timespec, 2> times { sourceInfo.st_atim, sourceInfo.st_mtim };
    ::futimens(output.fd(), times.data());
    if (!output.close())
        return Status::failure(action + errorText(errno) + " (" + folder.string() + ")");
    if (!output.renameTo(*target))
        return Status::failure(action + "cannot replace " + inQuotes(to) + ": " + errorText(errno)
            + " (" + target->string() + ")");
    return Status::success();
}

Status PosixFileSystem::deleteFiles(const std::string& wildcard) {
    const std::string action = "cannot delete " + inQuotes(wildcard) + ": ";
    const auto [folderPart, pattern] = splitWildcardPath(wildcard);
    if (pattern.empty())
        return Status::failure(action + "no file name pattern after the folder");

    std::string error;
    std::optional<fs::path> folder
        = folderPart.empty() ? std::optional<fs::path>(".") : drives_.toHost(folderPart, &error);
    if (!folder)
        return Status::failure(action + error);

    std::unique_ptr<DIR, DirCloser> dir(::opendir(folder->c_str()));
    if (!dir) {
        const int failure = errno;
        if (failure == ENOENT || failure == ENOTDIR)
            return Status::failure(action + "folder " + inQuotes(folderPart) + " not found ("
                + folder->string() + ")");
        return Status::failure(action + "cannot read folder " + inQuotes(folderPart) + ": "
            + errorText(failure) + " (" + folder->string() + ")");
    }
    const int dirFd = ::dirfd(dir.get());

    std::vector<std::string> doomed;
    errno = 0;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == ".." || !matchesWildcard(pattern, name))
            continue;
        struct stat info { };
        if (::fstatat(dirFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISLNK(info.st_mode)) {
            // A link is deleted like a file unless it stands for a folder.
            struct stat targetInfo { };
            if (::fstatat(dirFd, name.c_str(), &targetInfo, 0) == 0 && S_ISDIR(targetInfo.st_mode))
                continue;
        } else if (!S_ISREG(info.st_mode)) {
            continue;
        }
        doomed.push_back(name);
    }
    if (doomed.empty())
        return Status::failure(action + "no file matches (" + folder->string() + ")");

    std::size_t failed = 0;
    std::string firstFailure;
    for (const std::string& name : doomed) {
        if (::unlinkat(dirFd, name.c_str(), 0) == 0 || errno == ENOENT)
            continue;
        const int failure = errno;
        if (failed++ == 0) {
            firstFailure = inQuotes(folderPart + name) + ": " + errorText(failure);
            if (failure == EACCES)
                firstFailure += " (the folder " + folder->string() + " is not writable)";
        }
    }
    if (failed != 0)
        return Status::failure(action + std::to_string(failed) + " of "
            + std::to_string(doomed.size()) + " files not deleted; first " + firstFailure);
    return Status::success();
}

std::vector<FolderEntry> PosixFileSystem::listFolder(const std::string& folder) {
    std::vector<FolderEntry> entries;
    auto host = drives_.toHost(folder, nullptr);
    if (!host)
        return entries;
    std::unique_ptr<DIR, DirCloser> dir(::opendir(host->c_str()));
    if (!dir)
        return entries;
    const int dirFd = ::dirfd(dir.get());
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        // The type from the listing spares a stat per file; only unknown types and links
        // (followed, as opening the path would) need one.
        unsigned char type = entry->d_type;
        const bool link = type == DT_LNK;
        if (type == DT_UNKNOWN || link) {
            struct stat info { };
            if (::fstatat(dirFd, entry->d_name, &info, 0) != 0)
                continue;
            type = S_ISDIR(info.st_mode) ? DT_DIR : S_ISREG(info.st_mode) ? DT_REG : DT_UNKNOWN;
        }
        if (type == DT_DIR || type == DT_REG)
            entries.push_back({ std::string(name), type == DT_DIR, link });
    }
    return entries;
}

FolderLockResult PosixFileSystem::lockFolder(const std::string& folder) {
    FolderLockResult result;
    std::string error;
    auto host = drives_.toHost(folder, &error);
    if (!host) {
        result.error = error;
        return result;
    }
    UniqueFd fd(::open(host->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd) {
        result.error = errorText(errno) + " (" + host->string() + ")";
        return result;
    }
    int locked;
    do
        locked = ::flock(fd.get(), LOCK_EX | LOCK_NB);
    while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        result.busy = errno == EWOULDBLOCK;
        result.error = errorText(errno) + " (" + host->string() + ")";
        return result;
    }
    result.lock = std::make_unique<FlockedFolder>(std::move(fd));
    return result;
}

} // namespace pxw::platform
