// Runs the built lumabatch on folders of images made here, as the program and a user do.

#include "base/text.h"
#include "platform/windows_path.h"
#include "test_support.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace fs = std::filesystem;
using vips::VImage;

namespace pxw::lumabatch {
namespace {

using test::Blue;
using test::listFolder;
using test::Orange;
using test::runTool;

// A distinct colour per source, so every output can be traced back to its source.
std::vector<double> colourNumber(int n) {
    return { 20.0 + 20 * n, 240.0 - 20 * n, 128 };
}

class Tool : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::startImageLibraries(); }

    void SetUp() override {
        fs::create_directory(source_);
        fs::create_directory(destination_);
    }

    // A 200 x 100 JPEG filled with colour `n` (a white corner at the top left).
    void photo(const fs::path& file, int n) {
        test::writeImage(test::patternImage(200, 100, colourNumber(n), colourNumber(n)), file);
    }

    static void expectFromSource(const fs::path& output, int n) {
        ASSERT_TRUE(fs::exists(output)) << output;
        VImage image = VImage::new_from_file(output.c_str());
        std::vector<double> colour = test::colourAt(image, image.width() - 5, image.height() - 5);
        std::vector<double> expected = colourNumber(n);
        for (std::size_t band = 0; band < 3; ++band)
            EXPECT_NEAR(colour[band], expected[band], 8)
                << output << " should come from source " << n;
    }

    std::string src() const { return "s=" + source_.string(); }
    std::string dst() const { return "d=" + destination_.string(); }

    test::TempFolder root_;
    fs::path source_ = root_ / "src";
    fs::path destination_ = root_ / "dst";
};

TEST_F(Tool, ConvertsRenamesInAToZOrderAndRemovesSources) {
    photo(source_ / "b.jpg", 1);
    photo(source_ / "A.jpg", 0);
    photo(source_ / "C.png", 2);
    test::writeBytes(source_ / "Thumbs.db", "cache");
    test::RunResult run = runTool({ src(), dst(), "-w100", "-h100", "-prop",
        "-namegen=[counter2;0].jpg", "-ov", "-sortlstAZ", "-exclude(db)", "-remsrc", "-q90" });
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(
        listFolder(destination_), (std::vector<std::string> { "00.jpg", "01.jpg", "02.jpg" }));
    for (int n = 0; n < 3; ++n)
        expectFromSource(destination_ / ("0" + std::to_string(n) + ".jpg"), n);
    EXPECT_EQ(listFolder(source_), std::vector<std::string> { "Thumbs.db" });
    VImage first = VImage::new_from_file((destination_ / "00.jpg").c_str());
    EXPECT_EQ(first.width(), 100);
    EXPECT_EQ(first.height(), 50);
}

TEST_F(Tool, WindowsFoldersThroughTheDriveTable) {
    test::TempFolder prefix;
    fs::create_directories(prefix / "drive_c/windows/pxwtemp01");
    fs::create_directories(prefix / "drive_d");
    fs::create_directories(prefix / "dosdevices");
    fs::create_directory_symlink("../drive_c", prefix / "dosdevices/c:");
    fs::create_directory_symlink("../drive_d", prefix / "dosdevices/d:");
    photo(prefix / "drive_c/windows/pxwtemp01/one.jpg", 0);
    photo(prefix / "drive_c/windows/pxwtemp01/two.jpg", 1);

    // The convert command line exactly as the program builds it, split as the launcher does.
    std::vector<std::string> args = platform::splitCommandLine(
        R"(s="C:\WINDOWS\pxwtemp01" d="D:\out\" -w"300" -h"400" -prop -sm1 -namegen="[counter2;0].jpg" -ov -dpiver72 -dpihor72 -sortlstAZ -sizeto(-1;-1;"300";"400") -exclude(db) -remsrc -nodlg -q"90)");
    test::RunResult run = runTool(args, { { "PIXELWAIN_PREFIX", prefix.path().string() } });
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(
        listFolder(prefix / "drive_d/out"), (std::vector<std::string> { "00.jpg", "01.jpg" }));
    EXPECT_TRUE(listFolder(prefix / "drive_c/windows/pxwtemp01").empty());
    expectFromSource(prefix / "drive_d/out/01.jpg", 1);
    VImage out = VImage::new_from_file((prefix / "drive_d/out/00.jpg").c_str());
    EXPECT_EQ(out.width(), 300);
    EXPECT_EQ(out.height(), 150);
    EXPECT_NEAR(out.xres() * 25.4, 72, 0.01);
}

TEST_F(Tool, UnknownDriveIsAnError) {
    test::TempFolder prefix;
    test::RunResult run
        = runTool({ R"(s=Q:\nowhere)", dst() }, { { "PIXELWAIN_PREFIX", prefix.path().string() } });
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.starts_with("lumabatch: error: ")) << run.err;
}

// The album command line: source and destination are one folder, holding sources whose
// names are also output names. Every output must come from the right source, and no
// source may be replaced before its own output is in place.
TEST_F(Tool, AlbumInOneFolderKeepsEveryImage) {
    const char* names[] = { "00.jpg", "01.jpg", "02.JPG", "a.jpg", "b.png" };
    for (int n = 0; n < 5; ++n)
        photo(source_ / names[n], n);
    std::vector<std::string> args = platform::splitCommandLine("s=\"" + source_.string() + "\" d=\""
        + source_.string()
        + R"(" -w"120" -h"120" -prop -sm1 -namegen="[counter2;0].jpg" -ov -dpiver72 -dpihor72 -remsrc -sortlstAZ -sizeto(-1;-1;"120";"120") -exclude(db) -nodlg -q"90)");
    test::RunResult run = runTool(args);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(listFolder(source_),
        (std::vector<std::string> { "00.jpg", "01.jpg", "02.jpg", "03.jpg", "04.jpg" }));
    for (int n = 0; n < 5; ++n)
        expectFromSource(source_ / ("0" + std::to_string(n) + ".jpg"), n);
}

TEST_F(Tool, OutputNamesTakenByLaterSourcesWaitForThem) {
    // "0.jpg" becomes "00.jpg", which is the next source's name; that one becomes
    // "01.jpg", the name of the third.
    const char* names[] = { "0.jpg", "00.jpg", "01.jpg" };
    for (int n = 0; n < 3; ++n)
        photo(source_ / names[n], n);
    test::RunResult run = runTool({ src(), "d=" + source_.string(), "-w50", "-h50", "-prop",
        "-namegen=[counter2;0].jpg", "-ov", "-sortlstAZ", "-remsrc" });
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(listFolder(source_), (std::vector<std::string> { "00.jpg", "01.jpg", "02.jpg" }));
    for (int n = 0; n < 3; ++n)
        expectFromSource(source_ / ("0" + std::to_string(n) + ".jpg"), n);
}

TEST_F(Tool, NamesSwappedInACircle) {
    // In A to Z order "10.jpg" comes first and is named "9.jpg"; "9.jpg" is named "10.jpg".
    photo(source_ / "10.jpg", 0);
    photo(source_ / "9.jpg", 1);
    test::RunResult run = runTool({ src(), "d=" + source_.string(), "-w50", "-h50", "-prop",
        "-namegen=[counter1;9].jpg", "-ov", "-sortlstAZ", "-remsrc" });
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(listFolder(source_), (std::vector<std::string> { "10.jpg", "9.jpg" }));
    expectFromSource(source_ / "9.jpg", 0);
    expectFromSource(source_ / "10.jpg", 1);
}

TEST_F(Tool, SameFolderWithoutOverwriteKeepsSources) {
    photo(source_ / "00.jpg", 0);
    photo(source_ / "zz.jpg", 1);
    std::string before = test::readBytes(source_ / "00.jpg");
    test::RunResult run = runTool({ src(), "d=" + source_.string(), "-w50", "-h50", "-prop",
        "-namegen=[counter2;0].jpg", "-sortlstAZ", "-remsrc" });
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("00.jpg exists"), std::string::npos) << run.err;
    // 00.jpg is kept as it was; zz.jpg became 01.jpg and is removed.
    EXPECT_EQ(test::readBytes(source_ / "00.jpg"), before);
    EXPECT_EQ(listFolder(source_), (std::vector<std::string> { "00.jpg", "01.jpg" }));
    expectFromSource(source_ / "01.jpg", 1);
}

TEST_F(Tool, ExistingOutputIsKeptWithoutOverwrite) {
    photo(source_ / "a.jpg", 0);
    photo(source_ / "b.jpg", 1);
    test::writeBytes(destination_ / "00.jpg", "older work");
    test::RunResult run
        = runTool({ src(), dst(), "-namegen=[counter2;0].jpg", "-sortlstAZ", "-remsrc" });
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("lumabatch: a.jpg: "), std::string::npos) << run.err;
    EXPECT_EQ(test::readBytes(destination_ / "00.jpg"), "older work");
    EXPECT_EQ(listFolder(source_), std::vector<std::string> { "a.jpg" });
    expectFromSource(destination_ / "01.jpg", 1);

    test::RunResult again = runTool({ src(), dst(), "-namegen=[counter2;0].jpg", "-ov" });
    EXPECT_EQ(again.exitCode, 0) << again.err;
    expectFromSource(destination_ / "00.jpg", 0);
}

TEST_F(Tool, CorruptFileStaysAndTheRunGoesOn) {
    photo(source_ / "a.jpg", 0);
    test::writeBytes(source_ / "b.jpg", "\xFF\xD8\xFF\xE0 not a picture at all");
    test::writeBytes(source_ / "c.txt", "notes");
    photo(source_ / "d.jpg", 1);
    test::RunResult run = runTool({ src(), dst(), "-w80", "-h80", "-prop",
        "-namegen=[counter2;0].jpg", "-ov", "-sortlstAZ", "-remsrc" });
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("lumabatch: b.jpg: "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("lumabatch: c.txt: not an image"), std::string::npos) << run.err;
    EXPECT_EQ(listFolder(source_), (std::vector<std::string> { "b.jpg", "c.txt" }));
    // The outputs are numbered without a gap.
    EXPECT_EQ(listFolder(destination_), (std::vector<std::string> { "00.jpg", "01.jpg" }));
    expectFromSource(destination_ / "01.jpg", 1);
}

TEST_F(Tool, TemplateLeavingTheFolderTouchesNothing) {
    photo(source_ / "a.jpg", 0);
    fs::remove(destination_);
    test::RunResult run = runTool({ src(), dst(), R"(-namegen=..\[counter2;0].jpg)", "-remsrc" });
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.starts_with("lumabatch: error: ")) << run.err;
    EXPECT_TRUE(run.err.ends_with("; try --help\n")) << run.err;
    EXPECT_FALSE(fs::exists(destination_));
    EXPECT_EQ(listFolder(source_), std::vector<std::string> { "a.jpg" });
    EXPECT_EQ(listFolder(root_.path()), std::vector<std::string> { "src" });
}

TEST_F(Tool, MissingSourceFolder) {
    fs::remove(destination_);
    test::RunResult run = runTool({ "s=" + (root_ / "missing").string(), dst() });
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("does not exist"), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1);
    EXPECT_FALSE(fs::exists(destination_));
}

TEST_F(Tool, BadOptionExitsTwo) {
    photo(source_ / "a.jpg", 0);
    test::RunResult run = runTool({ src(), dst(), "-q0" });
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.starts_with("lumabatch: error: -q")) << run.err;
    EXPECT_TRUE(listFolder(destination_).empty());
}

TEST_F(Tool, HelpExitsZero) {
    test::RunResult run = runTool({ "--help" });
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("-namegen="), std::string::npos);
}

TEST_F(Tool, CounterGrowsWiderInsteadOfRepeating) {
    VImage tiny = test::patternImage(8, 8, { 10, 10, 10 }, { 10, 10, 10 });
    for (int n = 0; n < 101; ++n) {
        char name[16];
        std::snprintf(name, sizeof name, "p%03d.png", n);
        test::writeImage(tiny, source_ / name);
    }
    photo(source_ / "z-last.png", 3);
    test::RunResult run = runTool({ src(), dst(), "-namegen=[counter2;0].jpg", "-sortlstAZ" });
    EXPECT_EQ(run.exitCode, 0) << run.err;
    std::vector<std::string> names = listFolder(destination_);
    ASSERT_EQ(names.size(), 102u);
    EXPECT_TRUE(std::binary_search(names.begin(), names.end(), "00.jpg"));
    EXPECT_TRUE(std::binary_search(names.begin(), names.end(), "99.jpg"));
    EXPECT_TRUE(std::binary_search(names.begin(), names.end(), "100.jpg"));
    expectFromSource(destination_ / "101.jpg", 3);
}

TEST_F(Tool, QualityChangesTheSize) {
    VImage noise = VImage::gaussnoise(300, 300, VImage::option()->set("sigma", 60));
    test::writeImage(noise.bandjoin({ noise, noise })
                         .cast(VIPS_FORMAT_UCHAR)
                         .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB)),
        source_ / "noise.png");
    fs::path low = root_ / "low";
    fs::path high = root_ / "high";
    EXPECT_EQ(runTool({ src(), "d=" + low.string(), "-q10" }).exitCode, 0);
    EXPECT_EQ(runTool({ src(), "d=" + high.string(), "-q95" }).exitCode, 0);
    EXPECT_LT(fs::file_size(low / "noise.jpg") * 2, fs::file_size(high / "noise.jpg"));
}

TEST_F(Tool, QuickVariantStretchesToTheBox) {
    photo(source_ / "a.jpg", 0);
    std::vector<std::string> words = platform::splitCommandLine(
        R"("C:\WINDOWS\lumaforge\lumabatch.exe" s=)" + source_.string()
        + " d=" + destination_.string()
        + R"( -w64 -h48 -sm1 -namegen="[counter2;0].jpg" -ov -remsrc -sortlstAZ -exclude(db) -nodlg -q80)");
    test::RunResult run = runTool({ words.begin() + 1, words.end() });
    EXPECT_EQ(run.exitCode, 0) << run.err;
    VImage out = VImage::new_from_file((destination_ / "00.jpg").c_str());
    EXPECT_EQ(out.width(), 64);
    EXPECT_EQ(out.height(), 48);
    EXPECT_TRUE(listFolder(source_).empty());
}

// Nothing in the source folder can block the run, forge a line of the report or cost memory
// before it is refused: what is not a regular file is named, a folder without counting as a
// failure; names are printed escaped; a JPEG bomb is refused from its head, by its size.
TEST_F(Tool, HostileEntriesAreNamedAndRefusedAtOnce) {
    photo(source_ / "a.jpg", 0);
    fs::create_directory(source_ / "x.jpg");
    ASSERT_EQ(::mkfifo((source_ / "pipe.jpg").c_str(), 0600), 0);
    const std::string forged
        = "b\nlumabatch: all 99 files converted\x1b]0;owned\x07\xE2\x80\xAE.txt";
    test::writeBytes(source_ / forged, "not an image");
    // A small progressive JPEG whose frame header is made to claim 65500 x 65500 pixels.
    test::patternImage(64, 64, Orange, Blue)
        .jpegsave((root_ / "small.jpg").c_str(), VImage::option()->set("interlace", true));
    std::string bomb = test::readBytes(root_ / "small.jpg");
    const std::size_t frame = bomb.find("\xFF\xC2");
    ASSERT_NE(frame, std::string::npos);
    bomb.replace(frame + 5, 4, "\xFF\xDC\xFF\xDC");
    test::writeBytes(source_ / "bomb.jpg", bomb);

    test::RunResult run = runTool({ src(), dst(), "-w100", "-h100", "-prop" });
    EXPECT_EQ(run.exitCode, 1) << run.err;
    for (const std::string& line : std::vector<std::string> { "x.jpg: a folder, left as it is\n",
             "pipe.jpg: not a regular file\n", base::printable(forged) + ": ",
             "bomb.jpg: a progressive JPEG of 65500 x 65500 pixels: decoding it would take " })
        EXPECT_NE(run.err.find("lumabatch: " + line), std::string::npos) << line << run.err;
    EXPECT_EQ(run.err.find("\nlumabatch: all 99"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("second reader"), std::string::npos) << run.err;
    // The folder is neither a source nor a problem.
    EXPECT_NE(run.err.find("1 of 4 files converted"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("; 3 problems reported above"), std::string::npos) << run.err;
}

} // namespace
} // namespace pxw::lumabatch
