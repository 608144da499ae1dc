#include "test_support.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vips/vips8>

namespace fs = std::filesystem;

namespace pxw::zip::test {

namespace {

void startVips() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (VIPS_INIT("pxw_zip_tests") != 0)
            throw std::runtime_error("libvips does not start");
    });
}

std::string saveBuffer(const vips::VImage& image, const char* suffix) {
    void* buffer = nullptr;
    size_t length = 0;
    image.write_to_buffer(suffix, &buffer, &length);
    std::string bytes(static_cast<const char*>(buffer), length);
    g_free(buffer);
    return bytes;
}

vips::VImage pattern(int width, int height, int bands, int seed) {
    vips::VImage xy = vips::VImage::xyz(width, height);
    vips::VImage red = xy[0] * (255.0 / width);
    vips::VImage green = xy[1] * (255.0 / height);
    vips::VImage blue = (xy[0] + xy[1] + seed * 37) % 256;
    vips::VImage image = red.bandjoin(green).bandjoin(blue);
    if (bands == 4)
        image = image.bandjoin_const({ 255 });
    return image.cast(VIPS_FORMAT_UCHAR);
}

} // namespace

std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeFile(const fs::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush())
        throw std::runtime_error("cannot write " + file.string());
}

std::string jpegBytes(int width, int height, int seed) {
    startVips();
    return saveBuffer(pattern(width, height, 3, seed), ".jpg[Q=85]");
}

std::string pngIconBytes(int size, int seed) {
    startVips();
    return saveBuffer(pattern(size, size, 4, seed), ".png");
}

RunResult run(const std::vector<std::string>& argv, bool withoutDisplay,
    const std::vector<std::string>& extra) {
    TempFolder outputs;
    const fs::path outFile = outputs / "out", errFile = outputs / "err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(
        &actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(
        &actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);

    std::vector<std::string> environment;
    for (char** variable = environ; *variable; ++variable) {
        std::string text = *variable;
        if (withoutDisplay && text.starts_with("DISPLAY="))
            continue;
        environment.push_back(text);
    }
    environment.insert(environment.end(), extra.begin(), extra.end());
    std::vector<char*> envp, args;
    for (std::string& text : environment)
        envp.push_back(text.data());
    envp.push_back(nullptr);
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    pid_t pid = -1;
    int spawned = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        throw std::runtime_error("cannot start " + argv[0]);

    // Wait on the process itself, with a bound, rather than polling a clock.
    int pidFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (pidFd >= 0) {
        pollfd ready { pidFd, POLLIN, 0 };
        int polled = ::poll(&ready, 1, 60000);
        ::close(pidFd);
        if (polled == 0)
            ::kill(pid, SIGKILL);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
    RunResult result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = readFile(outFile);
    result.err = readFile(errFile);
    return result;
}

VirtualDisplay::VirtualDisplay() {
    // Xvfb picks a free display and writes its number into the pipe once it accepts clients.
    // Its screen is a small laptop's, lower than the album window's usual height.
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0)
        return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ready[1], 3);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    char* argv[] = { const_cast<char*>("Xvfb"), const_cast<char*>("-displayfd"),
        const_cast<char*>("3"), const_cast<char*>("-nolisten"), const_cast<char*>("tcp"),
        const_cast<char*>("-screen"), const_cast<char*>("0"), const_cast<char*>("1024x600x24"),
        nullptr };
    pid_t pid = -1;
    int spawned = posix_spawnp(&pid, "Xvfb", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ready[1]);
    if (spawned != 0) {
        ::close(ready[0]);
        return;
    }
    pid_ = pid;
    std::string number;
    pollfd wait { ready[0], POLLIN, 0 };
    char c = 0;
    while (::poll(&wait, 1, 20000) == 1 && ::read(ready[0], &c, 1) == 1 && c != '\n')
        number += c;
    ::close(ready[0]);
    if (!number.empty() && c == '\n') {
        display_ = ":" + number;
        ::setenv("DISPLAY", display_.c_str(), 1);
    }
}

VirtualDisplay::~VirtualDisplay() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) { }
    }
}

fs::path albumProgram() {
    return PXWALBUM_PATH;
}

std::vector<std::string> folderNames(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (auto it = fs::directory_iterator(folder, error); !error && it != fs::directory_iterator();
         it.increment(error))
        names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace pxw::zip::test
