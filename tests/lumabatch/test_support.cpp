#include "test_support.h"

#include "base/text.h"
#include "base/unique_fd.h"
#include "image_pipeline.h"
#include "magick_reader.h"
#include "reader_choice.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
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

void startImageLibraries() {
    useMagickReader(magickReader());
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

namespace {

// A little-endian TIFF of one strip, `data`, with the tags given (and the usual ones for
// three 8-bit samples); values of more than one number follow the directory.
struct TiffTag {
    std::uint16_t tag;
    std::uint16_t type; // 3 short, 4 long
    std::vector<std::uint32_t> values;
};

void put(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

void writeTiff(const fs::path& file, int width, int height, int compression,
    const std::string& data, std::vector<TiffTag> extra) {
    const auto w = static_cast<std::uint32_t>(width);
    const auto h = static_cast<std::uint32_t>(height);
    const std::uint32_t dataOffset = 8;
    std::vector<TiffTag> tags { { 256, 4, { w } }, { 257, 4, { h } }, { 258, 3, { 8, 8, 8 } },
        { 259, 3, { static_cast<std::uint32_t>(compression) } }, { 262, 3, { 6 } },
        { 273, 4, { dataOffset } }, { 277, 3, { 3 } }, { 278, 4, { h } },
        { 279, 4, { static_cast<std::uint32_t>(data.size()) } }, { 284, 3, { 1 } },
        { 530, 3, { 2, 2 } } };
    for (TiffTag& tag : extra)
        tags.push_back(std::move(tag));
    std::sort(tags.begin(), tags.end(), [](const auto& a, const auto& b) { return a.tag < b.tag; });
    std::string out = "II";
    put(out, 42, 2);
    const auto directory = static_cast<std::uint32_t>(dataOffset + data.size());
    put(out, directory, 4);
    out += data;
    std::string directoryBytes;
    std::string after;
    const std::uint32_t afterOffset
        = directory + 2 + 12 * static_cast<std::uint32_t>(tags.size()) + 4;
    put(directoryBytes, static_cast<std::uint32_t>(tags.size()), 2);
    for (const TiffTag& tag : tags) {
        const int size = tag.type == 3 ? 2 : 4;
        put(directoryBytes, tag.tag, 2);
        put(directoryBytes, tag.type, 2);
        put(directoryBytes, static_cast<std::uint32_t>(tag.values.size()), 4);
        std::string values;
        for (std::uint32_t value : tag.values)
            put(values, value, size);
        if (values.size() <= 4) {
            values.resize(4, '\0');
            directoryBytes += values;
        } else {
            put(directoryBytes, afterOffset + static_cast<std::uint32_t>(after.size()), 4);
            after += values;
        }
    }
    put(directoryBytes, 0, 4);
    writeBytes(file, out + directoryBytes + after);
}

} // namespace

void writeSubsampledTiff(
    const fs::path& file, int width, int height, const std::vector<double>& rgb) {
    const double r = rgb[0];
    const double g = rgb[1];
    const double b = rgb[2];
    auto byte = [](double v) { return static_cast<char>(std::lround(std::clamp(v, 0.0, 255.0))); };
    const char y = byte(0.299 * r + 0.587 * g + 0.114 * b);
    const char cb = byte(128 - 0.168736 * r - 0.331264 * g + 0.5 * b);
    const char cr = byte(128 + 0.5 * r - 0.418688 * g - 0.081312 * b);
    // Each 2 x 2 block: its four luma samples, then one Cb and one Cr.
    std::string block { y, y, y, y, cb, cr };
    std::string data;
    for (int n = 0; n < width * height / 4; ++n)
        data += block;
    writeTiff(file, width, height, 1, data, {});
}

void writeOldJpegTiff(const fs::path& file, int width, int height, const std::vector<double>& rgb) {
    VImage image = (VImage::black(width, height) + rgb)
                       .cast(VIPS_FORMAT_UCHAR)
                       .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    VipsBlob* blob = image.jpegsave_buffer(
        VImage::option()->set("Q", 95)->set("subsample_mode", VIPS_FOREIGN_SUBSAMPLE_ON));
    std::size_t length = 0;
    const auto* bytes = static_cast<const char*>(vips_blob_get(blob, &length));
    std::string jpeg(bytes, length);
    vips_area_unref(VIPS_AREA(blob));
    const auto size = static_cast<std::uint32_t>(jpeg.size());
    // The JPEG file lies where the strip does: the interchange format tags point to it.
    writeTiff(file, width, height, 6, jpeg, { { 513, 4, { 8 } }, { 514, 4, { size } } });
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

RunResult runTool(const std::vector<std::string>& args,
    const std::map<std::string, std::string>& environment, const fs::path& executable) {
    TempFolder capture;
    const fs::path outFile = capture / "out";
    const fs::path errFile = capture / "err";

    std::vector<std::string> argStrings { executable.empty() ? LUMABATCH_EXECUTABLE
                                                             : executable.string() };
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
    for (const auto& [name, value] : environment) {
        if (!value.empty())
            envStrings.push_back(name + "=" + value);
    }
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

namespace pxw::lumabatch {

platform::Status convertToJpeg(
    const std::filesystem::path& source, const ConvertSettings& settings, std::string& jpeg) {
    const base::UniqueFd fd(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd)
        return platform::Status::failure("cannot open the file: " + base::errorText(errno));
    return convertDescriptor(fd.get(), magickFormatFor(readerFor(source)), settings, jpeg, nullptr);
}

} // namespace pxw::lumabatch
