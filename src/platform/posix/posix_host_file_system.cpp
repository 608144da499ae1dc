#include "posix_host_file_system.h"

#include "base/files.h"
#include "base/text.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <sstream>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace pxw::platform {

namespace {

// Every failure reads the same way: cannot <what> "<path>": <reason>.
Status failed(const std::string& what, const fs::path& path, const std::string& reason) {
    return Status::failure("cannot " + what + " " + base::quotedPath(path) + ": " + reason);
}

Status failed(const std::string& what, const fs::path& path, int error) {
    return failed(what, path, base::errorText(error));
}

Status failed(const std::string& what, const fs::path& path, const std::error_code& error) {
    return failed(what, path, error.value());
}

} // namespace

HostFileSystem::Kind PosixHostFileSystem::kindOf(const fs::path& path) {
    std::error_code ec;
    switch (fs::symlink_status(path, ec).type()) {
    case fs::file_type::not_found:
    case fs::file_type::none:
        return Kind::missing;
    case fs::file_type::symlink:
        return Kind::link;
    case fs::file_type::regular:
        return Kind::file;
    case fs::file_type::directory:
        return Kind::folder;
    default:
        return Kind::other;
    }
}

fs::path PosixHostFileSystem::linkTarget(const fs::path& link) {
    std::error_code ec;
    fs::path target = fs::read_symlink(link, ec);
    return ec ? fs::path() : target;
}

Status PosixHostFileSystem::makeFolders(const fs::path& folder) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    return ec ? failed("make the folder", folder, ec) : Status::success();
}

Status PosixHostFileSystem::placeLink(const fs::path& target, const fs::path& at) {
    // Made under a temporary name and renamed over `at`, so the name is never missing.
    const fs::path folder = at.parent_path();
    std::optional<std::string> scratch
        = base::createUnderTemporaryName("pxw-link", [&](const std::string& name) {
              return ::symlink(target.c_str(), (folder / name).c_str()) == 0;
          });
    if (!scratch)
        return failed("make the link", at, errno);
    if (::rename((folder / *scratch).c_str(), at.c_str()) != 0) {
        const int failure = errno;
        ::unlink((folder / *scratch).c_str());
        return failed("make the link", at, failure);
    }
    return Status::success();
}

std::vector<std::string> PosixHostFileSystem::namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<std::string> PosixHostFileSystem::readText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

Status PosixHostFileSystem::writeText(const fs::path& file, const std::string& text) {
    base::TemporaryFile scratch;
    if (!scratch.create(file.parent_path(), "pxw-text", 0666)
        || !base::writeFully(scratch.fd(), text.data(), text.size(), 0) || !scratch.renameTo(file))
        return failed("write", file, errno);
    return Status::success();
}

Status PosixHostFileSystem::removeFile(const fs::path& file) {
    if (kindOf(file) == Kind::folder)
        return failed("remove", file, "it is a folder");
    std::error_code ec;
    fs::remove(file, ec);
    return ec ? failed("remove", file, ec) : Status::success();
}

} // namespace pxw::platform
