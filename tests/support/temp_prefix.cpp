#include "temp_prefix.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace pxw::testing {

TempPrefix::TempPrefix(const fs::path& imageTool) {
    fs::create_directories(prefix() / "dosdevices");
    fs::create_directories(driveC() / "windows" / "lumaforge");
    fs::create_directories(driveC() / "windows" / "forpxw");
    fs::create_directories(driveD());
    fs::create_directory_symlink("../drive_c", prefix() / "dosdevices" / "c:");
    fs::create_directory_symlink(driveD(), prefix() / "dosdevices" / "d:");
    fs::create_directory_symlink("/", prefix() / "dosdevices" / "z:");
    // A link, as the program makes it: the tool finds its readers beside its real file.
    if (!imageTool.empty())
        fs::create_symlink(imageTool, toolFile());
    if (const char* previous = std::getenv("PIXELWAIN_PREFIX")) {
        hadPrefix_ = true;
        previousPrefix_ = previous;
    }
    setenv("PIXELWAIN_PREFIX", prefix().c_str(), 1);
}

TempPrefix::~TempPrefix() {
    if (hadPrefix_)
        setenv("PIXELWAIN_PREFIX", previousPrefix_.c_str(), 1);
    else
        unsetenv("PIXELWAIN_PREFIX");
}

void writeFile(const fs::path& file, std::string_view content) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out.flush())
        throw std::runtime_error("cannot write " + file.string());
}

std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::string runCommand(const std::string& command, int* status) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        throw std::runtime_error("cannot run " + command);
    std::array<char, 4096> buffer {};
    std::size_t got;
    while ((got = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        output.append(buffer.data(), got);
    int result = pclose(pipe);
    if (status)
        *status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
    return output;
}

void makeJpeg(const fs::path& file, int width, int height) {
    // A smooth picture (a gradient) with grain, so sizes and qualities behave like a photo's.
    const std::string w = std::to_string(width), h = std::to_string(height);
    const fs::path scratch = file.parent_path() / (".mk-" + file.filename().string() + ".v");
    std::string command = "vips xyz '" + scratch.string() + "' " + w + " " + h
        + " && vips extract_band '" + scratch.string() + "' '" + scratch.string()
        + ".b.v' 0 && vips linear '" + scratch.string() + ".b.v' '" + scratch.string() + ".c.v' "
        + std::to_string(255.0 / std::max(width, 1)) + " 0 --uchar && vips bandjoin '"
        + scratch.string() + ".c.v " + scratch.string() + ".c.v " + scratch.string() + ".c.v' '"
        + file.string() + "[Q=90]' && rm -f '" + scratch.string() + "' '" + scratch.string()
        + ".b.v' '" + scratch.string() + ".c.v'";
    int status = 0;
    runCommand(command + " 2>&1", &status);
    if (status != 0)
        throw std::runtime_error("vips could not make " + file.string());
}

std::pair<int, int> imageSize(const fs::path& file) {
    int status = 0;
    std::string out = runCommand("vipsheader -f width '" + file.string()
            + "' && vipsheader -f height '" + file.string() + "'",
        &status);
    if (status != 0)
        return { -1, -1 };
    int width = 0, height = 0;
    std::sscanf(out.c_str(), "%d %d", &width, &height);
    return { width, height };
}

std::vector<std::string> fileNames(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        if (entry.is_regular_file())
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool waitForFiles(const fs::path& folder, std::size_t count, const std::string& extension,
    std::chrono::seconds limit) {
    auto enough = [&] {
        std::size_t found = 0;
        for (const std::string& name : fileNames(folder))
            found += name.ends_with(extension) ? 1 : 0;
        return found >= count;
    };
    int fd = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (fd < 0)
        return enough();
    inotify_add_watch(fd, folder.c_str(), IN_MOVED_TO | IN_CLOSE_WRITE | IN_CREATE);
    const auto deadline = std::chrono::steady_clock::now() + limit;
    bool done = enough();
    while (!done && std::chrono::steady_clock::now() < deadline) {
        pollfd watch { fd, POLLIN, 0 };
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (::poll(&watch, 1, static_cast<int>(std::max<long>(left.count(), 0))) > 0) {
            std::array<char, 4096> events {};
            while (::read(fd, events.data(), events.size()) > 0) { }
        }
        done = enough();
    }
    ::close(fd);
    return done;
}

} // namespace pxw::testing
