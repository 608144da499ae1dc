// The progress window and Cancel, with the real tool on generated images. A stand-in window
// (a shell script beside a copy of the tool) cancels or signals the tool at a known point of
// the run, so that the stop always comes in the middle.

#include "test_support.h"

#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using vips::VImage;

namespace pxw::lumabatch {
namespace {

constexpr int Images = 12;

class Window : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::startImageLibraries(); }

    void SetUp() override {
        // Noise does not compress, so each image takes a little while to read.
        VImage noise = VImage::gaussnoise(1600, 1200).cast(VIPS_FORMAT_UCHAR);
        noise = noise.bandjoin({ noise, noise })
                    .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
        noise.pngsave(image_.c_str(), VImage::option()->set("compression", 1));
    }

    // A fresh source folder of the image under several names, and no destination.
    void refill(bool photos = false) {
        fs::remove_all(source_);
        fs::remove_all(destination_);
        fs::create_directory(source_);
        if (photos && !fs::exists(photo_)) {
            // Larger: the JPEG reader only decodes what the output needs.
            VImage noise = VImage::gaussnoise(3200, 2400).cast(VIPS_FORMAT_UCHAR);
            noise.bandjoin({ noise, noise })
                .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
                .jpegsave(photo_.c_str(), VImage::option()->set("Q", 95));
        }
        const fs::path& image = photos ? photo_ : image_;
        for (int n = 0; n < Images; ++n)
            fs::create_hard_link(
                image, source_ / ("p" + std::to_string(n) + image.extension().string()));
    }

    test::RunResult run(const std::map<std::string, std::string>& environment,
        const fs::path& executable = {}, const std::vector<std::string>& more = {}) {
        std::map<std::string, std::string> full { { "PIXELWAIN_SHOW", "" }, { "DISPLAY", "" },
            { "WAYLAND_DISPLAY", "" }, { "QT_QPA_PLATFORM", "" },
            { "LUMAPROGRESS_LOG", log_.string() } };
        for (const auto& [name, value] : environment)
            full[name] = value;
        std::vector<std::string> args { "s=" + source_.string(), "d=" + destination_.string(),
            "-w300", "-h300", "-prop", "-remsrc", "-namegen=[counter2;0].jpg" };
        args.insert(args.end(), more.begin(), more.end());
        return test::runTool(args, full, executable);
    }

    // A copy of the tool with a stand-in window beside it, which runs $STAND_IN_ACTION once
    // two images are done; $worker is then the first of the tool's image reader workers (forked
    // by a reader that starts them, or started by the tool).
    fs::path standInWindow() {
        const fs::path bin = root_ / "bin";
        fs::create_directory(bin);
        fs::copy_file(LUMABATCH_EXECUTABLE, bin / "lumabatch");
        for (const fs::path reader :
            { LUMABATCH_JPEG_READER, LUMABATCH_READER, LUMABATCH_MAGICK_READER })
            fs::create_symlink(reader, bin / reader.filename());
        std::ofstream(bin / "lumaprogress")
            << "#!/bin/sh\nwhile read -r key value; do\n"
               "  if [ \"$key $value\" = \"done 2\" ]; then\n"
               "    for p in $(cat /proc/$PPID/task/*/children); do\n"
               "      for q in $p $(cat /proc/$p/task/*/children); do\n"
               "        [ \"$(cat /proc/$q/comm)\" = image-reader ] && worker=${worker:-$q}\n"
               "      done\n"
               "    done\n"
               "    eval \"$STAND_IN_ACTION\"\n"
               "  fi\n"
               "done\n";
        fs::permissions(bin / "lumaprogress", fs::perms::owner_all);
        return bin / "lumabatch";
    }

    std::vector<std::string> logLines() const {
        std::vector<std::string> lines;
        std::ifstream in(log_);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    test::TempFolder root_;
    fs::path source_ = root_ / "src";
    fs::path destination_ = root_ / "dst";
    fs::path log_ = root_ / "window.log";
    fs::path image_ = root_ / "noise.png";
    fs::path photo_ = root_ / "noise.jpg";
};

TEST_F(Window, ShownOnlyWhenAskedForAndADisplayIsThere) {
    struct Row {
        const char* show;
        const char* platform;
        bool shown;
    };
    const Row rows[] = { { "1", "offscreen", true }, { "", "offscreen", false },
        { "0", "offscreen", false }, { "1", "", false } };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string("show=") + row.show + " platform=" + row.platform);
        refill();
        fs::remove(log_);
        test::RunResult result
            = run({ { "PIXELWAIN_SHOW", row.show }, { "QT_QPA_PLATFORM", row.platform } });
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(test::listFolder(destination_).size(), std::size_t { Images });
        if (!row.shown) {
            EXPECT_FALSE(fs::exists(log_));
            continue;
        }
        // The window counted every image up, and was gone when the tool ended.
        std::vector<std::string> expected { "shown" };
        for (int n = 0; n <= Images; ++n)
            expected.push_back(std::to_string(n) + " of " + std::to_string(Images) + " images");
        expected.emplace_back("closed");
        EXPECT_EQ(logLines(), expected);
    }
}

TEST_F(Window, CancelAndSignalsStopInTheMiddleAndLoseNothing) {
    const fs::path tool = standInWindow();
    const char* actions[] = { "echo cancel", "kill -INT $PPID", "kill -TERM $PPID" };
    for (const char* action : actions) {
        SCOPED_TRACE(action);
        refill();
        test::RunResult result
            = run({ { "PIXELWAIN_SHOW", "1" }, { "QT_QPA_PLATFORM", "offscreen" },
                      { "STAND_IN_ACTION", action } },
                tool);
        EXPECT_EQ(result.exitCode, 3) << result.err;
        EXPECT_NE(result.err.find("lumabatch: cancelled;"), std::string::npos) << result.err;
        // Every source is either converted, its output in place, or still there; no work
        // file is left behind.
        const std::size_t outputs = test::listFolder(destination_).size();
        const std::size_t left = test::listFolder(source_).size();
        EXPECT_EQ(outputs + left, std::size_t { Images });
        EXPECT_GE(outputs, 2u);
        EXPECT_GE(left, 1u) << "the run stopped before the end";
        for (const std::string& name : test::listFolder(destination_))
            EXPECT_TRUE(name.ends_with(".jpg")) << name;
    }
}

TEST_F(Window, WorkersThatCrashOrHangCostOnlyTheirFileAndRunSandboxed) {
    const fs::path tool = standInWindow();
    const fs::path status = root_ / "status";
    struct Row {
        std::string action;
        std::vector<std::string> args;
        int exitCode;
        const char* message;
        std::size_t sourcesLeft;
        bool photos = false; ///< JPEG photos, which the JPEG reader takes
    };
    const std::vector<std::string> photoArgs { "-dpihor72", "-dpiver72" };
    const Row rows[] = {
        // The killed worker's file is read again by the second reader.
        { "kill -KILL $worker", {}, 0, "the image reader crashed on this file", 0 },
        { "kill -STOP $worker", { "--time-limit", "3" }, 1, "took longer than 3 s", 1 },
        { "grep -E '^(Seccomp|NoNewPrivs):' /proc/$worker/status > " + status.string(), {}, 0, "",
            0 },
        // libvips reads the file the JPEG reader crashed on.
        { "kill -KILL $worker", photoArgs, 0, "", 0, true },
        { "grep -E '^(Seccomp|NoNewPrivs):' /proc/$worker/status >> " + status.string(), photoArgs,
            0, "", 0, true },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.action + (row.photos ? " (photos)" : ""));
        refill(row.photos);
        test::RunResult result
            = run({ { "PIXELWAIN_SHOW", "1" }, { "QT_QPA_PLATFORM", "offscreen" },
                      { "STAND_IN_ACTION", row.action } },
                tool, row.args);
        EXPECT_EQ(result.exitCode, row.exitCode) << result.err;
        if (*row.message == '\0')
            EXPECT_EQ(result.err, "");
        else
            EXPECT_NE(result.err.find(row.message), std::string::npos) << result.err;
        EXPECT_EQ(test::listFolder(source_).size(), row.sourcesLeft) << result.err;
        EXPECT_EQ(test::listFolder(destination_).size(), Images - row.sourcesLeft);
    }
    EXPECT_EQ(
        test::readBytes(status), "NoNewPrivs:\t1\nSeccomp:\t2\nNoNewPrivs:\t1\nSeccomp:\t2\n");
}

} // namespace
} // namespace pxw::lumabatch
