#include "posix_host_file_system.h"

#include "messages.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace pxw::platform {

namespace {

Status failed(const std::string& what, const fs::path& path, const std::error_code& error) {
    return Status::failure(
        "cannot " + what + " " + inQuotes(path.string()) + ": " + describe(error.value()));
}

// A name beside `at` that no other writer picks.
fs::path scratchBeside(const fs::path& at) {
    return at.parent_path() / ("." + at.filename().string() + ".pxw-" + std::to_string(::getpid()));
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
    const fs::path scratch = scratchBeside(at);
    std::error_code ec;
    fs::remove(scratch, ec);
    fs::create_symlink(target, scratch, ec);
    if (!ec)
        fs::rename(scratch, at, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(scratch, ignored);
        return failed("make the link", at, ec);
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
    const fs::path scratch = scratchBeside(file);
    {
        std::ofstream out(scratch, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) {
            std::error_code ignored;
            fs::remove(scratch, ignored);
            return Status::failure("cannot write " + inQuotes(file.string()));
        }
    }
    std::error_code ec;
    fs::rename(scratch, file, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(scratch, ignored);
        return failed("write", file, ec);
    }
    return Status::success();
}

Status PosixHostFileSystem::removeFile(const fs::path& file) {
    if (kindOf(file) == Kind::folder)
        return Status::failure("cannot remove " + inQuotes(file.string()) + ": it is a folder");
    std::error_code ec;
    fs::remove(file, ec);
    return ec ? failed("remove", file, ec) : Status::success();
}

} // namespace pxw::platform
