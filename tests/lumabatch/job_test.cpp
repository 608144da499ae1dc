#include "job.h"
#include "platform/windows_path.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <sstream>

namespace fs = std::filesystem;

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

} // namespace
} // namespace pxw::lumabatch
