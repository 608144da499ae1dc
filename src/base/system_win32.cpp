// The Windows side of system.h: wide paths, handles behind the C runtime's descriptors, and
// Windows error codes mapped to errno.

#include "base/system.h"
#include "base/wide_text.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

namespace pxw::base {

namespace {

bool isSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// The length of a drive ("C:") at the start, 0 when there is none. Like the library's path, a
// share (\\server) is no root name but a root folder and a name.
std::size_t rootNameLength(const std::wstring& text) {
    return text.size() >= 2 && text[1] == L':' ? 2 : 0;
}

} // namespace

Path Path::filename() const {
    const std::size_t root = rootNameLength(text_);
    std::size_t start = text_.size();
    while (start > root && !isSeparator(text_[start - 1]))
        --start;
    return text_.substr(start);
}

Path Path::parent_path() const {
    const std::size_t root = rootNameLength(text_);
    std::size_t relative = root;
    while (relative < text_.size() && isSeparator(text_[relative]))
        ++relative;
    if (relative == text_.size())
        return *this; // a root alone, or nothing
    std::size_t end = text_.size();
    if (!isSeparator(text_[end - 1])) {
        while (end > relative && !isSeparator(text_[end - 1]))
            --end;
        if (end == relative) // the root is the parent of the first name
            return text_.substr(0, relative > root ? root + 1 : root);
    }
    while (end > relative && isSeparator(text_[end - 1]))
        --end;
    return text_.substr(0, end);
}

Path& Path::operator/=(const Path& name) {
    const std::size_t nameRoot = rootNameLength(name.text_);
    const bool nameHasRootFolder
        = nameRoot < name.text_.size() && isSeparator(name.text_[nameRoot]);
    const std::size_t root = rootNameLength(text_);
    if ((nameRoot > 0 && nameHasRootFolder)
        || (nameRoot > 0 && name.text_.compare(0, nameRoot, text_, 0, root) != 0) || text_.empty())
        return *this = name;
    if (nameHasRootFolder)
        text_.resize(root);
    else if (!filename().empty())
        text_ += L'\\';
    text_.append(name.text_, nameRoot);
    return *this;
}

} // namespace pxw::base

namespace pxw::base::sys {

namespace {

int errnoOf(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
        return ENOENT;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_DIR_NOT_EMPTY:
        return ENOTEMPTY;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
        return EINVAL;
    case ERROR_NOT_SAME_DEVICE:
        return EXDEV;
    case ERROR_INVALID_HANDLE:
        return EBADF;
    default:
        return EIO;
    }
}

bool failWithLastError() {
    errno = errnoOf(::GetLastError());
    return false;
}

// ReadFile and WriteFile take at most 4 GiB less one byte at a time.
DWORD chunkOf(std::size_t length) {
    return static_cast<DWORD>(std::min<std::size_t>(length, std::size_t { 1 } << 30));
}

OVERLAPPED at(std::uint64_t offset) {
    OVERLAPPED place {};
    place.Offset = static_cast<DWORD>(offset);
    place.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return place;
}

HANDLE handleOf(int fd) {
    return reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
}

} // namespace

std::int64_t readAt(int fd, void* buffer, std::size_t length, std::uint64_t offset) {
    OVERLAPPED place = at(offset);
    DWORD got = 0;
    if (!::ReadFile(handleOf(fd), buffer, chunkOf(length), &got, &place)) {
        if (::GetLastError() == ERROR_HANDLE_EOF)
            return 0;
        failWithLastError();
        return -1;
    }
    return got;
}

std::int64_t writeAt(int fd, const void* buffer, std::size_t length, std::uint64_t offset) {
    OVERLAPPED place = at(offset);
    DWORD put = 0;
    if (!::WriteFile(handleOf(fd), buffer, chunkOf(length), &put, &place)) {
        failWithLastError();
        return -1;
    }
    return put;
}

std::int64_t copyRange(int, std::uint64_t&, int, std::uint64_t&, std::size_t) {
    errno = ENOSYS;
    return -1;
}

int openForReading(const Path& file) {
    return ::_wopen(file.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}

int createNew(const Path& file, unsigned) {
    // CREATE_NEW fails on any name that exists, a link included, so nothing is followed.
    HANDLE handle = ::CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
        nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return failWithLastError(), -1;
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR | _O_BINARY);
    if (fd < 0)
        ::CloseHandle(handle);
    return fd;
}

std::optional<std::uint64_t> plainFileSize(int fd) {
    BY_HANDLE_FILE_INFORMATION info {};
    if (!::GetFileInformationByHandle(handleOf(fd), &info))
        return failWithLastError(), std::nullopt;
    if (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)
        || ::GetFileType(handleOf(fd)) != FILE_TYPE_DISK) {
        errno = 0;
        return std::nullopt;
    }
    return (std::uint64_t { info.nFileSizeHigh } << 32) | info.nFileSizeLow;
}

bool setFileSize(int fd, std::uint64_t length) {
    FILE_END_OF_FILE_INFO end {};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(length);
    return ::SetFileInformationByHandle(handleOf(fd), FileEndOfFileInfo, &end, sizeof end)
        || failWithLastError();
}

bool removeFile(const Path& file) {
    return ::DeleteFileW(file.c_str()) || failWithLastError();
}

bool moveFile(const Path& from, const Path& to, bool replace) {
    return ::MoveFileExW(from.c_str(), to.c_str(), replace ? MOVEFILE_REPLACE_EXISTING : 0)
        || failWithLastError();
}

bool createFolder(const Path& folder) {
    return ::CreateDirectoryW(folder.c_str(), nullptr) || failWithLastError();
}

bool removeFolder(const Path& folder) {
    return ::RemoveDirectoryW(folder.c_str()) || failWithLastError();
}

Path nameAsPath(const std::string& name) {
    // Bytes that are not UTF-8 make a name no file can have, so that a call on it fails.
    return widenedStrictly(name).value_or(L"\uFFFD<not UTF-8>");
}

std::string pathText(const Path& path) {
    return narrowed(path.native());
}

Path ownProgramFile() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length
            = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::string errnoText(int code) {
    char buffer[256] = {};
    if (::strerror_s(buffer, sizeof buffer, code) != 0)
        return "unknown error";
    return buffer;
}

Folder Folder::open(const Path& path) {
    Folder folder;
    folder.path_ = path;
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        failWithLastError();
    else if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        errno = ENOTDIR;
    else
        folder.open_ = true;
    return folder;
}

bool Folder::isOpen() const {
    return open_;
}

bool Folder::createFolder(const std::string& name) const {
    return sys::createFolder(path_ / nameAsPath(name));
}

Folder Folder::openFolder(const std::string& name) const {
    Folder folder = open(path_ / nameAsPath(name));
    if (folder.open_
        && (::GetFileAttributesW(folder.path_.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT)) {
        folder.open_ = false;
        errno = ELOOP;
    }
    return folder;
}

bool Folder::removeFolder(const std::string& name) const {
    return sys::removeFolder(path_ / nameAsPath(name));
}

int Folder::createFile(const std::string& name, unsigned permissions) const {
    return createNew(path_ / nameAsPath(name), permissions);
}

bool Folder::removeFile(const std::string& name) const {
    return sys::removeFile(path_ / nameAsPath(name));
}

std::optional<NameKind> Folder::kindOf(const std::string& name) const {
    const DWORD attributes = ::GetFileAttributesW((path_ / nameAsPath(name)).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return NameKind::missing;
        errno = errnoOf(error);
        return std::nullopt;
    }
    return attributes
            & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)
        ? NameKind::other
        : NameKind::plainFile;
}

bool Folder::moveTo(
    const std::string& name, const Folder& to, const std::string& target, bool replace) const {
    // Without MOVEFILE_REPLACE_EXISTING the move fails on a name that is taken.
    return ::MoveFileExW((path_ / nameAsPath(name)).c_str(),
               (to.path_ / nameAsPath(target)).c_str(), replace ? MOVEFILE_REPLACE_EXISTING : 0)
        || failWithLastError();
}

} // namespace pxw::base::sys
