#include "test_support.h"

#include "image_pipeline.h"

#include <array>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace fs = std::filesystem;
using vips::VImage;

namespace pxw::lumabatch::test {

TempFolder::TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "lumabatch-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

void startImageLibraries() {
    initImageLibraries("lumabatch_tests");
}

VImage patternImage(int width, int height, std::vector<double> left, std::vector<double> right) {
    VImage x = VImage::xyz(width, height).extract_band(0);
    const int half = width / 2;
    VImage image = (x < half).ifthenelse(std::move(left), std::move(right));
    int corner = std::max(2, std::min(width, height) / 4);
    VImage square = VImage::black(corner, corner, VImage::option()->set("bands", 3)) + 255;
    image = image.insert(square, 0, 0).cast(VIPS_FORMAT_UCHAR);
    return image.copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

void writeImage(const VImage& image, const fs::path& file) {
    std::string extension = file.extension().string();
    if (extension == ".psd" || extension == ".bmp" || extension == ".pcd") {
        image.magicksave(
            file.c_str(), VImage::option()->set("format", extension.substr(1).c_str()));
    } else if (extension == ".heic") {
        image.heifsave(
            file.c_str(), VImage::option()->set("compression", VIPS_FOREIGN_HEIF_COMPRESSION_HEVC));
    } else {
        image.write_to_file(file.c_str());
    }
}

void writeMacPaint(const fs::path& file, int blackRows) {
    constexpr int Rows = 720;
    constexpr int BytesPerRow = 72;
    // A MacBinary header and the MacPaint header, then each row packed as one run.
    std::string bytes(640, '\0');
    for (int row = 0; row < Rows; ++row) {
        bytes += static_cast<char>(1 - BytesPerRow);
        bytes += static_cast<char>(row < blackRows ? 0xFF : 0x00);
    }
    writeBytes(file, bytes);
}

void writeBytes(const fs::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + file.string());
}

std::string readBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> listFolder(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<double> colourAt(const VImage& image, int x, int y) {
    VImage patch = image.extract_area(std::max(0, x - 2), std::max(0, y - 2), 5, 5);
    std::vector<double> colour;
    colour.reserve(static_cast<std::size_t>(patch.bands()));
    for (int band = 0; band < patch.bands(); ++band)
        colour.push_back(patch.extract_band(band).avg());
    return colour;
}

RunResult runTool(
    const std::vector<std::string>& args, const std::map<std::string, std::string>& environment) {
    TempFolder capture;
    const fs::path outFile = capture / "out";
    const fs::path errFile = capture / "err";

    std::vector<std::string> argStrings { LUMABATCH_EXECUTABLE };
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    argv.reserve(argStrings.size() + 1);
    for (std::string& arg : argStrings)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    std::vector<std::string> envStrings;
    for (char** entry = environ; *entry; ++entry) {
        std::string_view text = *entry;
        std::string name(text.substr(0, text.find('=')));
        if (!environment.contains(name))
            envStrings.emplace_back(text);
    }
    for (const auto& [name, value] : environment)
        envStrings.push_back(name + "=" + value);
    std::vector<char*> envp;
    envp.reserve(envStrings.size() + 1);
    for (std::string& entry : envStrings)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(
        &actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(
        &actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    RunResult result;
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << argv[0];
        return result;
    }

    // Wait for the end with a bound: the process descriptor becomes readable when it ends.
    int pidFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (pidFd >= 0) {
        pollfd watch { pidFd, POLLIN, 0 };
        constexpr int TimeoutMs = 120'000;
        if (::poll(&watch, 1, TimeoutMs) == 0) {
            ::kill(pid, SIGKILL);
            ADD_FAILURE() << "lumabatch did not end within two minutes";
        }
        ::close(pidFd);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    result.out = readBytes(outFile);
    result.err = readBytes(errFile);
    return result;
}

} // namespace pxw::lumabatch::test
