#pragma once

#include "temp_folder.h"

#include <filesystem>
#include <string>
#include <vector>

namespace pxw::zip::test {

using pxw::testing::TempFolder;

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
/// With `withoutDisplay`, the child sees no DISPLAY; `extra` adds variables ("NAME=value").
RunResult run(const std::vector<std::string>& argv, bool withoutDisplay = false,
    const std::vector<std::string>& extra = {});

/// An X server of its own (Xvfb) for the life of the object, named in DISPLAY meanwhile: FLTK
/// has no offscreen platform. `display()` is empty when Xvfb could not start.
class VirtualDisplay {
public:
    VirtualDisplay();
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;
    const std::string& display() const { return display_; }

private:
    int pid_ = -1;
    std::string display_;
};

/// The built album program.
std::filesystem::path albumProgram();

/// Names in `folder`, sorted (empty when it does not exist).
std::vector<std::string> folderNames(const std::filesystem::path& folder);

} // namespace pxw::zip::test
