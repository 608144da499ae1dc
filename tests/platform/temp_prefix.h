#pragma once

#include "platform/windows_path.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>

namespace pxw::platform::testing {

namespace fs = std::filesystem;

/// A scratch folder with a drive prefix in it: c: -> ../drive_c, z: -> /, and d: -> a folder
/// beside the prefix. Removed with everything in it at the end.
class TempPrefix {
public:
    TempPrefix() {
        std::string pattern = (fs::temp_directory_path() / "pxw-platform-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed for " + pattern);
        root_ = fs::canonical(pattern);
        prefix_ = root_ / "prefix";
        driveC_ = prefix_ / "drive_c";
        driveD_ = root_ / "elsewhere";
        fs::create_directories(prefix_ / "dosdevices");
        fs::create_directories(driveC_ / "windows" / "lumaforge");
        fs::create_directories(driveD_);
        fs::create_directory_symlink("../drive_c", prefix_ / "dosdevices" / "c:");
        fs::create_directory_symlink("/", prefix_ / "dosdevices" / "z:");
        fs::create_directory_symlink(driveD_, prefix_ / "dosdevices" / "d:");
    }
    TempPrefix(const TempPrefix&) = delete;
    TempPrefix& operator=(const TempPrefix&) = delete;

    ~TempPrefix() {
        // Folders a test made read-only must become writable again to be removed. Links are
        // not followed: z: points at the host's root.
        std::error_code ec;
        fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ec);
        for (fs::recursive_directory_iterator it(root_, ec), end; !ec && it != end;
             it.increment(ec)) {
            if (it->symlink_status(ec).type() == fs::file_type::directory)
                fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
        }
        fs::remove_all(root_, ec);
    }

    DriveMap drives() const { return DriveMap(prefix_); }
    const fs::path& root() const { return root_; }
    const fs::path& prefix() const { return prefix_; }
    const fs::path& driveC() const { return driveC_; }
    const fs::path& driveD() const { return driveD_; }

private:
    fs::path root_;
    fs::path prefix_;
    fs::path driveC_;
    fs::path driveD_;
};

inline void writeFile(const fs::path& path, std::string_view content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out.flush())
        throw std::runtime_error("cannot write " + path.string());
}

inline std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

} // namespace pxw::platform::testing
