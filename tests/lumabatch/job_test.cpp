#include "job.h"
#include "platform/windows_path.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <map>
#include <sstream>

namespace fs = std::filesystem;
using vips::VImage;

namespace pxw::lumabatch {
namespace {

class Job : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::startImageLibraries(); }

    void SetUp() override {
        fs::create_directories(prefix_ / "drive_c/Photos");
        fs::create_directories(prefix_ / "dosdevices");
        fs::create_directory_symlink("../drive_c", prefix_ / "dosdevices/c:");
    }

    test::TempFolder prefix_;
};

TEST_F(Job, HostFoldersStayWindowsFoldersAreMapped) {
    platform::DriveMap drives(prefix_.path());
    EXPECT_EQ(resolveFolder("/srv/photos", drives, nullptr), fs::path("/srv/photos"));
    std::optional<fs::path> mapped = resolveFolder(R"(C:\PHOTOS\)", drives, nullptr);
    ASSERT_TRUE(mapped);
    EXPECT_TRUE(fs::equivalent(*mapped, prefix_ / "drive_c/Photos"));
    std::string error;
    EXPECT_FALSE(resolveFolder(R"(x:\none)", drives, &error));
    EXPECT_FALSE(error.empty());
}

TEST_F(Job, RunsInThisProcessWithManyFilesInFlight) {
    for (int n = 0; n < 7; ++n)
        test::writeImage(test::patternImage(60, 40, { 50.0 + n, 60, 70 }, { 50.0 + n, 60, 70 }),
            prefix_ / ("drive_c/Photos/img" + std::to_string(n) + ".png"));
    std::ostringstream out;
    std::ostringstream err;
    ParseResult parsed
        = parseCommandLine({ R"(s=c:\photos)", R"(d=c:\photos\small)", "-w30", "-h30", "-prop",
                               "-namegen=s[counter1;1].jpg", "-sortlstAZ" },
            out, err);
    ASSERT_TRUE(std::holds_alternative<Options>(parsed)) << err.str();
    JobSettings settings;
    settings.filesInFlight = 3;
    settings.readerFolder = fs::path(LUMABATCH_READER).parent_path();
    ExitStatus status
        = runJob(std::get<Options>(parsed), platform::DriveMap(prefix_.path()), err, settings);
    EXPECT_EQ(status, ExitStatus::AllDone) << err.str();
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(test::listFolder(prefix_ / "drive_c/Photos/small"),
        (std::vector<std::string> {
            "s1.jpg", "s2.jpg", "s3.jpg", "s4.jpg", "s5.jpg", "s6.jpg", "s7.jpg" }));
    EXPECT_EQ(test::listFolder(prefix_ / "drive_c/Photos").size(), 8u);
}

// Which reader decodes a photo depends on the photo alone: a folder that mixes photos with files
// only libvips reads gives the same bytes run after run, with one reader or several, and each
// photo the bytes it gives converted on its own.
TEST_F(Job, TheSamePhotoGivesTheSameBytesWhateverElseIsConverted) {
    const fs::path photos = prefix_ / "drive_c/Photos";
    for (int n = 0; n < 6; ++n)
        test::patternImage(300 + 40 * n, 200, { 30.0 * n, 90, 160 }, test::Blue)
            .jpegsave((photos / ("p" + std::to_string(n) + ".jpg")).c_str(),
                VImage::option()->set("interlace", n % 2 == 1));
    test::writeImage(test::patternImage(120, 90, test::Orange, test::Blue), photos / "drawing.png");
    test::patternImage(160, 120, test::Orange, test::Blue)
        .icc_transform("cmyk", VImage::option()->set("input_profile", "srgb"))
        .jpegsave((photos / "print.jpg").c_str());
    auto convert = [&](const fs::path& folder, const std::string& into, unsigned readers) {
        std::ostringstream out, err;
        ParseResult parsed = parseCommandLine({ "s=" + folder.string(), "d=" + into, "-w100",
                                                  "-h100", "-prop", "-dpihor72", "-dpiver72" },
            out, err);
        JobSettings settings;
        settings.filesInFlight = readers;
        settings.readerFolder = fs::path(LUMABATCH_READER).parent_path();
        EXPECT_EQ(
            runJob(std::get<Options>(parsed), platform::DriveMap(prefix_.path()), err, settings),
            ExitStatus::AllDone)
            << err.str();
    };
    std::map<std::string, std::string> alone;
    for (const std::string& name : test::listFolder(photos)) {
        const fs::path single = prefix_ / ("single-" + name);
        fs::create_directories(single);
        fs::copy_file(photos / name, single / name);
        convert(single, (single / "out").string(), 1);
        const std::string output = fs::path(name).replace_extension(".jpg").string();
        alone[output] = test::readBytes(single / "out" / output);
    }
    for (const unsigned readers : { 3U, 3U, 1U }) {
        const fs::path out = prefix_ / ("out-" + std::to_string(readers));
        fs::remove_all(out);
        convert(photos, out.string(), readers);
        for (const auto& [name, bytes] : alone)
            EXPECT_EQ(test::readBytes(out / name), bytes)
                << name << " with " << readers << " readers";
    }
}

} // namespace
} // namespace pxw::lumabatch
