#include "win32_file_system.h"

#include "base/files.h"
#include "base/text.h"
#include "base/wide_text.h"
#include "native_path.h"
#include "platform/wildcard.h"

#include <memory>
#include <optional>

namespace pxw::platform::win32 {

using base::inQuotes;

namespace {

constexpr DWORD NoAttributes = INVALID_FILE_ATTRIBUTES;

DWORD attributesOf(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str());
}

bool isFolder(DWORD attributes) {
    return attributes != NoAttributes && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool isMissing(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
        || error == ERROR_INVALID_DRIVE || error == ERROR_BAD_NETPATH
        || error == ERROR_BAD_NET_NAME;
}

// The folder part of a path, without the separators before the last name; a root keeps its
// backslash.
std::wstring parentOf(const std::wstring& path) {
    std::size_t end = path.size();
    while (end > 0 && (path[end - 1] == L'\\' || path[end - 1] == L'/'))
        --end;
    while (end > 0 && path[end - 1] != L'\\' && path[end - 1] != L'/' && path[end - 1] != L':')
        --end;
    std::wstring parent = path.substr(0, end);
    while (parent.size() > 1 && (parent.back() == L'\\' || parent.back() == L'/')
        && parent[parent.size() - 2] != L':')
        parent.pop_back();
    return parent.empty() ? L"." : parent;
}

// What a link stands for, followed as opening it would: a folder, a file, or nothing when it
// leads nowhere.
std::optional<bool> linkLeadsToFolder(const std::wstring& path) {
    UniqueHandle target(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info {};
    if (!target || !::GetFileInformationByHandle(target.get(), &info))
        return std::nullopt;
    return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Each entry of a folder but "." and ".."; false when the folder cannot be read (the error
// left in GetLastError).
template <typename Visit> bool forEachEntry(const std::wstring& folder, Visit visit) {
    std::wstring pattern = folder;
    if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/')
        pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW found {};
    HANDLE search = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
        FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    do {
        const std::wstring_view name = found.cFileName;
        if (name != L"." && name != L"..")
            visit(found);
    } while (::FindNextFileW(search, &found));
    const DWORD ended = ::GetLastError();
    ::FindClose(search);
    ::SetLastError(ended);
    return ended == ERROR_NO_MORE_FILES;
}

class HeldFolder final : public FolderLock {
public:
    HeldFolder(std::wstring path, UniqueHandle handle)
        : path_(std::move(path))
        , handle_(std::move(handle)) { }

    // A handle cannot change its sharing, so a shared one replaces the exclusive one; another
    // window may take the folder in between, and then this one must not start its run.
    bool share() override {
        handle_.reset();
        handle_.reset(::CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        return static_cast<bool>(handle_);
    }

private:
    std::wstring path_;
    UniqueHandle handle_;
};

} // namespace

bool Win32FileSystem::folderExists(const std::string& path) {
    const std::optional<std::wstring> native = nativePath(path);
    return native && isFolder(attributesOf(*native));
}

bool Win32FileSystem::fileExists(const std::string& path) {
    const std::optional<std::wstring> native = nativePath(path);
    if (!native)
        return false;
    const DWORD attributes = attributesOf(*native);
    if (attributes == NoAttributes || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return linkLeadsToFolder(*native) == false;
    return true;
}

Status Win32FileSystem::createFolder(const std::string& path) {
    const std::string action = "cannot create folder " + inQuotes(path) + ": ";
    std::string error;
    const std::optional<std::wstring> native = nativePath(path, &error);
    if (!native)
        return Status::failure(action + error);
    if (::CreateDirectoryW(native->c_str(), nullptr))
        return Status::success();
    const DWORD failure = ::GetLastError();
    if (failure == ERROR_ALREADY_EXISTS || failure == ERROR_FILE_EXISTS)
        return Status::failure(action + "it already exists");
    if (failure == ERROR_PATH_NOT_FOUND)
        return Status::failure(action + "the folder that should hold it does not exist ("
            + base::narrowed(parentOf(*native)) + ")");
    return Status::failure(action + windowsErrorText(failure));
}

Status Win32FileSystem::copyFile(const std::string& from, const std::string& to) {
    const std::string action = "cannot copy " + inQuotes(from) + " to " + inQuotes(to) + ": ";
    std::string error;
    const std::optional<std::wstring> source = nativePath(from, &error);
    if (!source)
        return Status::failure(action + error);
    const std::optional<std::wstring> target = nativePath(to, &error);
    if (!target)
        return Status::failure(action + error);

    const DWORD sourceAttributes = attributesOf(*source);
    if (sourceAttributes == NoAttributes) {
        const DWORD failure = ::GetLastError();
        if (isMissing(failure))
            return Status::failure(action + "source file " + inQuotes(from) + " not found");
        return Status::failure(action + "cannot read source file " + inQuotes(from) + ": "
            + windowsErrorText(failure));
    }
    if (sourceAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return Status::failure(action + "source " + inQuotes(from) + " is not a file");
    if (isFolder(attributesOf(*target)))
        return Status::failure(action + "destination " + inQuotes(to) + " is a folder");
    const std::wstring folder = parentOf(*target);
    if (!isFolder(attributesOf(folder)))
        return Status::failure(
            action + "destination folder does not exist (" + base::narrowed(folder) + ")");

    // CopyFileW itself writes under the final name; the copy goes to a name of its own first.
    std::wstring temporary;
    DWORD failure = ERROR_FILE_EXISTS;
    for (int attempt = 0; attempt < 100 && failure == ERROR_FILE_EXISTS; ++attempt) {
        temporary = folder + L"\\" + base::widened(base::temporaryName("pxw-copy"));
        failure = ::CopyFileW(source->c_str(), temporary.c_str(), TRUE) ? ERROR_SUCCESS
                                                                        : ::GetLastError();
    }
    if (failure != ERROR_SUCCESS) {
        if (failure != ERROR_FILE_EXISTS)
            ::DeleteFileW(temporary.c_str()); // whatever a failed copy left
        if (failure == ERROR_DISK_FULL || failure == ERROR_HANDLE_DISK_FULL)
            return Status::failure(
                action + "no space left for " + inQuotes(to) + " (" + base::narrowed(folder) + ")");
        return Status::failure(action + "copying failed: " + windowsErrorText(failure));
    }
    // A read-only copy could not take the place of an earlier file; it gets the attribute
    // back once there.
    const DWORD copied = attributesOf(temporary);
    if (copied & FILE_ATTRIBUTE_READONLY)
        ::SetFileAttributesW(temporary.c_str(), copied & ~DWORD { FILE_ATTRIBUTE_READONLY });
    // As a rename does on Linux, the copy replaces a read-only file too (the caller asked).
    const DWORD earlier = attributesOf(*target);
    if (earlier != NoAttributes && (earlier & FILE_ATTRIBUTE_READONLY))
        ::SetFileAttributesW(target->c_str(), earlier & ~DWORD { FILE_ATTRIBUTE_READONLY });
    if (!::MoveFileExW(temporary.c_str(), target->c_str(), MOVEFILE_REPLACE_EXISTING)) {
        failure = ::GetLastError();
        ::DeleteFileW(temporary.c_str());
        if (earlier != NoAttributes && (earlier & FILE_ATTRIBUTE_READONLY))
            ::SetFileAttributesW(target->c_str(), earlier);
        return Status::failure(
            action + "cannot replace " + inQuotes(to) + ": " + windowsErrorText(failure));
    }
    if (copied & FILE_ATTRIBUTE_READONLY)
        ::SetFileAttributesW(target->c_str(), copied);
    return Status::success();
}

Status Win32FileSystem::deleteFiles(const std::string& wildcard) {
    const std::string action = "cannot delete " + inQuotes(wildcard) + ": ";
    // Named parts, not a structured binding: the listing's lambda takes them.
    const WildcardPath parts = splitWildcardPath(wildcard);
    const std::string& folderPart = parts.folder;
    const std::string& pattern = parts.pattern;
    if (pattern.empty())
        return Status::failure(action + "no file name pattern after the folder");
    std::string error;
    const std::optional<std::wstring> folder
        = folderPart.empty() ? std::optional<std::wstring>(L".") : nativePath(folderPart, &error);
    if (!folder)
        return Status::failure(action + error);

    std::vector<std::wstring> doomed;
    const bool listed = forEachEntry(*folder, [&](const WIN32_FIND_DATAW& found) {
        if (!matchesWildcard(pattern, base::narrowed(found.cFileName)))
            return;
        const std::wstring path = *folder + L"\\" + found.cFileName;
        // A link is deleted like a file unless it stands for a folder.
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            return;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
            && linkLeadsToFolder(path) == true)
            return;
        doomed.push_back(found.cFileName);
    });
    if (!listed) {
        const DWORD failure = ::GetLastError();
        if (isMissing(failure) || failure == ERROR_DIRECTORY)
            return Status::failure(action + "folder " + inQuotes(folderPart) + " not found");
        return Status::failure(action + "cannot read folder " + inQuotes(folderPart) + ": "
            + windowsErrorText(failure));
    }
    if (doomed.empty())
        return Status::failure(action + "no file matches");

    std::size_t failed = 0;
    std::string firstFailure;
    for (const std::wstring& name : doomed) {
        const std::wstring path = *folder + L"\\" + name;
        const DWORD attributes = attributesOf(path);
        if (attributes != NoAttributes && (attributes & FILE_ATTRIBUTE_READONLY))
            ::SetFileAttributesW(path.c_str(), attributes & ~DWORD { FILE_ATTRIBUTE_READONLY });
        if (::DeleteFileW(path.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND)
            continue;
        const DWORD failure = ::GetLastError();
        if (attributes != NoAttributes && (attributes & FILE_ATTRIBUTE_READONLY))
            ::SetFileAttributesW(path.c_str(), attributes);
        if (failed++ == 0)
            firstFailure
                = inQuotes(folderPart + base::narrowed(name)) + ": " + windowsErrorText(failure);
    }
    if (failed != 0)
        return Status::failure(action + std::to_string(failed) + " of "
            + std::to_string(doomed.size()) + " files not deleted; first " + firstFailure);
    return Status::success();
}

std::vector<FolderEntry> Win32FileSystem::listFolder(const std::string& folder) {
    std::vector<FolderEntry> entries;
    const std::optional<std::wstring> native = nativePath(folder);
    if (!native)
        return entries;
    forEachEntry(*native, [&](const WIN32_FIND_DATAW& found) {
        const bool link = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        bool folderEntry = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (link) {
            const std::optional<bool> leadsToFolder
                = linkLeadsToFolder(*native + L"\\" + found.cFileName);
            if (!leadsToFolder)
                return; // a broken link
            folderEntry = *leadsToFolder;
        }
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DEVICE)
            return;
        entries.push_back({ base::narrowed(found.cFileName), folderEntry, link });
    });
    return entries;
}

FolderLockResult Win32FileSystem::lockFolder(const std::string& folder) {
    FolderLockResult result;
    const std::optional<std::wstring> native = nativePath(folder, &result.error);
    if (!native)
        return result;
    UniqueHandle held(::CreateFileW(native->c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!held) {
        const DWORD failure = ::GetLastError();
        result.busy = failure == ERROR_SHARING_VIOLATION;
        result.error = windowsErrorText(failure) + " (" + folder + ")";
        return result;
    }
    result.lock = std::make_unique<HeldFolder>(*native, std::move(held));
    return result;
}

} // namespace pxw::platform::win32
