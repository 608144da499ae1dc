#include "posix_file_system.h"

#include "messages.h"
#include "unique_fd.h"

#include <array>
#include <cctype>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace pxw::platform {

namespace {

// The characters of a UTF-8 name, so that `?` stands for one character, not one byte.
std::vector<std::string_view> charactersOf(std::string_view text) {
    std::vector<std::string_view> characters;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t length = 1;
        while (i + length < text.size()
            && (static_cast<unsigned char>(text[i + length]) & 0xC0) == 0x80)
            ++length;
        characters.push_back(text.substr(i, length));
        i += length;
    }
    return characters;
}

bool sameCharacter(std::string_view a, std::string_view b) {
    if (a.size() == 1 && b.size() == 1)
        return std::tolower(static_cast<unsigned char>(a[0]))
            == std::tolower(static_cast<unsigned char>(b[0]));
    return a == b;
}

bool globMatches(std::string_view pattern, std::string_view name) {
    const auto p = charactersOf(pattern);
    const auto n = charactersOf(name);
    std::size_t pi = 0, ni = 0;
    std::optional<std::size_t> starAt;
    std::size_t nameAfterStar = 0;
    while (ni < n.size()) {
        if (pi < p.size() && p[pi] == "*") {
            starAt = pi++;
            nameAfterStar = ni;
        } else if (pi < p.size() && (p[pi] == "?" || sameCharacter(p[pi], n[ni]))) {
            ++pi;
            ++ni;
        } else if (starAt) {
            pi = *starAt + 1;
            ni = ++nameAfterStar;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == "*")
        ++pi;
    return pi == p.size();
}

// Writes everything from `source` to `target`, in the kernel where it can.
int copyContents(int source, int target) {
    bool kernelCopy = true;
    for (;;) {
        if (kernelCopy) {
            ssize_t copied = ::copy_file_range(source, nullptr, target, nullptr, 1 << 30, 0);
            if (copied > 0)
                continue;
            if (copied == 0)
                return 0;
            if (errno == EINTR)
                continue;
            if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP
                && errno != EBADF)
                return errno;
            kernelCopy = false;
        }
        std::array<char, 1 << 16> buffer {};
        ssize_t got = ::read(source, buffer.data(), buffer.size());
        if (got == 0)
            return 0;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        for (ssize_t done = 0; done < got;) {
            ssize_t written
                = ::write(target, buffer.data() + done, static_cast<std::size_t>(got - done));
            if (written < 0) {
                if (errno == EINTR)
                    continue;
                return errno;
            }
            done += written;
        }
    }
}

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

} // namespace

bool matchesWildcard(std::string_view pattern, std::string_view name) {
    const bool hasDot = name.find('.') != std::string_view::npos;
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*") {
        if (globMatches(pattern, name))
            return true;
        return !hasDot && globMatches(pattern.substr(0, pattern.size() - 2), name);
    }
    if (!pattern.empty() && pattern.back() == '.')
        return !hasDot && globMatches(pattern.substr(0, pattern.size() - 1), name);
    return globMatches(pattern, name);
}

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
        return Status::failure(action + describe(failure) + " (" + host->string() + ")");
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

    UniqueFd input(::open(source->c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (!input) {
        const int failure = errno;
        if (failure == ENOENT || failure == ENOTDIR)
            return Status::failure(
                action + "source file " + inQuotes(from) + " not found (" + source->string() + ")");
        return Status::failure(action + "cannot read source file " + inQuotes(from) + ": "
            + describe(failure) + " (" + source->string() + ")");
    }
    struct stat sourceInfo { };
    if (::fstat(input.get(), &sourceInfo) != 0)
        return Status::failure(action + describe(errno));
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

    // Not named after the target: a name of 255 bytes leaves no room for more.
    std::string temporary = (folder / ".pxw-copy-XXXXXX").string();
    UniqueFd output(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!output)
        return Status::failure(action + "cannot write in the destination folder: " + describe(errno)
            + " (" + folder.string() + ")");
    auto discard = [&](const std::string& reason) {
        output.reset();
        ::unlink(temporary.c_str());
        return Status::failure(action + reason);
    };

    if (int failure = copyContents(input.get(), output.get()); failure != 0) {
        if (failure == ENOSPC || failure == EDQUOT)
            return discard("no space left for " + inQuotes(to) + " (" + folder.string() + ")");
        return discard("copying failed: " + describe(failure) + " (" + source->string() + " to "
            + folder.string() + ")");
    }
    ::fchmod(output.get(), sourceInfo.st_mode & 0777);
    const std::array<timespec, 2> times { sourceInfo.st_atim, sourceInfo.st_mtim };
    ::futimens(output.get(), times.data());
    if (::close(output.release()) != 0) {
        const int failure = errno;
        ::unlink(temporary.c_str());
        return Status::failure(action + describe(failure) + " (" + folder.string() + ")");
    }
    if (::rename(temporary.c_str(), target->c_str()) != 0) {
        const int failure = errno;
        ::unlink(temporary.c_str());
        return Status::failure(action + "cannot replace " + inQuotes(to) + ": " + describe(failure)
            + " (" + target->string() + ")");
    }
    return Status::success();
}

Status PosixFileSystem::deleteFiles(const std::string& wildcard) {
    const std::string action = "cannot delete " + inQuotes(wildcard) + ": ";
    std::string folderPart;
    std::string pattern = wildcard;
    if (auto slash = wildcard.find_last_of("\\/"); slash != std::string::npos) {
        folderPart = wildcard.substr(0, slash + 1);
        pattern = wildcard.substr(slash + 1);
    } else if (wildcard.size() >= 2 && wildcard[1] == ':') {
        // "C:*.jpg": the drive's current folder, which on this host is its root.
        folderPart = wildcard.substr(0, 2) + "\\";
        pattern = wildcard.substr(2);
    }
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
            + describe(failure) + " (" + folder->string() + ")");
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
            firstFailure = inQuotes(folderPart + name) + ": " + describe(failure);
            if (failure == EACCES)
                firstFailure += " (the folder " + folder->string() + " is not writable)";
        }
    }
    if (failed != 0)
        return Status::failure(action + std::to_string(failed) + " of "
            + std::to_string(doomed.size()) + " files not deleted; first " + firstFailure);
    return Status::success();
}

} // namespace pxw::platform
