#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace pxw::zip::test {

/// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

std::string readFile(const std::filesystem::path& file);
void writeFile(const std::filesystem::path& file, const std::string& bytes);

/// A JPEG made by libvips, different for each seed.
std::string jpegBytes(int width, int height, int seed);
/// A PNG icon made by libvips.
std::string pngIconBytes(int size, int seed);

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

/// Runs `argv` (no shell), waits at most a minute, and gives back its exit status and output.
/// With `withoutDisplay`, the child sees no display variables.
RunResult run(const std::vector<std::string>& argv, bool withoutDisplay = false);

/// The built album program.
std::filesystem::path albumProgram();

/// Names in `folder`, sorted (empty when it does not exist).
std::vector<std::string> folderNames(const std::filesystem::path& folder);

} // namespace pxw::zip::test
