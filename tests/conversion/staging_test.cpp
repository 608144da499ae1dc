#include "job/staging.h"
#include "platform/posix/posix_file_system.h"
#include "temp_prefix.h"

#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using pxw::job::distinctStagingName;
using pxw::job::stageEntries;

namespace {
void write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text;
}
std::string read(const fs::path& file) {
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
} // namespace

TEST(DistinctStagingName, NumbersALaterCopyOfATakenName) {
    EXPECT_EQ(distinctStagingName("a.jpg", {}), "a.jpg");
    EXPECT_EQ(distinctStagingName("IMG_0001.jpg", { "img_0001.JPG" }), "IMG_0001 (2).jpg");
    EXPECT_EQ(distinctStagingName("a.jpg", { "a.jpg", "a (2).jpg" }), "a (3).jpg");
    EXPECT_EQ(distinctStagingName("README", { "README" }), "README (2)");
    EXPECT_EQ(distinctStagingName(".hidden", { ".hidden" }), ".hidden (2)");
}

TEST(Staging, CopiesUnderOwnNamesKeepsBothSameNamedAndOverwritesLeftovers) {
    pxw::testing::TempPrefix prefix;
    pxw::platform::PosixFileSystem files(prefix.drives());
    write(prefix.driveD() / "trip" / "IMG_1.jpg", "trip");
    write(prefix.driveD() / "home" / "IMG_1.jpg", "home");
    write(prefix.driveD() / "b.png", "b");
    fs::create_directories(prefix.workFolder());
    write(prefix.workFolder() / "b.png", "left from last time");

    auto result = stageEntries(
        { "D:\\home\\IMG_1.jpg", "D:\\trip\\IMG_1.jpg", "D:\\b.png", "D:\\gone.jpg" },
        "c:\\windows\\pxwtemp01", files);

    EXPECT_EQ(
        result.stagedNames, (std::vector<std::string> { "IMG_1.jpg", "IMG_1 (2).jpg", "b.png" }));
    ASSERT_EQ(result.failures.size(), 1u);
    EXPECT_EQ(result.failures[0].entry, "D:\\gone.jpg");
    EXPECT_FALSE(result.failures[0].reason.empty());
    EXPECT_EQ(read(prefix.workFolder() / "IMG_1.jpg"), "home");
    EXPECT_EQ(read(prefix.workFolder() / "IMG_1 (2).jpg"), "trip");
    EXPECT_EQ(read(prefix.workFolder() / "b.png"), "b");
    EXPECT_EQ(read(prefix.driveD() / "trip" / "IMG_1.jpg"), "trip")
        << "the user's files stay as they were";
}
