#pragma once

#include <filesystem>
#include <string>

namespace pxw::testing {

/// A fresh folder under the system's temporary folder, removed with everything in it, even
/// where a test made folders in it read-only.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

} // namespace pxw::testing
