#include "direct_jpeg.h"
#include "image_pipeline.h"
#include "reader_choice.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <optional>

namespace fs = std::filesystem;
using vips::VImage;

namespace pxw::lumabatch {
namespace {

using test::Blue;
using test::Orange;

ConvertSettings settingsFor(std::optional<int> width, std::optional<int> height, bool keep) {
    ConvertSettings settings;
    settings.width = width;
    settings.height = height;
    settings.keepProportions = keep;
    settings.dpiHorizontal = 72;
    settings.dpiVertical = 72;
    return settings;
}

class JpegReader : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::startImageLibraries(); }

    WorkerReply readDirectly(const fs::path& file, const ConvertSettings& settings) {
        const std::string bytes = test::readBytes(file);
        return convertJpegDirectly(bytes.data(), bytes.size(), settings);
    }

    test::TempFolder folder_;
};

// Whichever reader takes a photo, the user gets the same file: size, turn, colours, resolution.
TEST_F(JpegReader, MakesWhatTheLibvipsReaderMakes) {
    struct Row {
        int width;
        int height;
        int orientation;
        std::optional<int> boxWidth;
        std::optional<int> boxHeight;
        bool keepProportions;
        std::string kind; ///< colour, progressive, grey, or p3 (a wide-gamut profile)
    };
    const Row rows[] = {
        { 2191, 1369, 1, 300, 400, true, "colour" }, // the height rounds down
        { 1789, 1118, 1, 300, 400, true, "progressive" }, // and here up
        { 1200, 2000, 6, 300, 400, true, "colour" },
        { 900, 600, 8, 300, 400, true, "colour" },
        { 900, 600, 5, 300, 400, true, "colour" },
        { 900, 600, 7, 300, 400, true, "colour" },
        { 900, 600, 2, 300, 400, true, "colour" },
        { 900, 600, 3, 300, 400, true, "grey" },
        { 900, 600, 4, 300, 400, true, "colour" },
        { 1200, 800, 1, 300, 400, false, "colour" },
        { 1200, 800, 1, std::nullopt, 100, true, "p3" },
        { 5000, 300, 1, 300, 400, true, "colour" },
        { 640, 480, 1, 640, 480, true, "colour" },
        { 640, 480, 6, std::nullopt, std::nullopt, true, "colour" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.width) + "x" + std::to_string(row.height) + " orientation "
            + std::to_string(row.orientation) + " " + row.kind);
        VImage picture = test::patternImage(row.width, row.height, Orange, Blue);
        if (row.kind == "grey")
            picture = picture.colourspace(VIPS_INTERPRETATION_B_W);
        if (row.kind == "p3")
            picture = picture.icc_transform("p3", VImage::option()->set("input_profile", "srgb"));
        picture = picture.copy();
        picture.set(VIPS_META_ORIENTATION, row.orientation);
        const fs::path source = folder_ / "photo.jpg";
        picture.jpegsave(source.c_str(),
            VImage::option()->set("Q", 95)->set("interlace", row.kind == "progressive"));
        const ConvertSettings settings
            = settingsFor(row.boxWidth, row.boxHeight, row.keepProportions);

        std::string byLibvips;
        ASSERT_TRUE(convertToJpeg(source, settings, byLibvips).ok());
        const WorkerReply direct = readDirectly(source, settings);
        ASSERT_EQ(direct.outcome, WorkerOutcome::Converted) << direct.message;
        VImage expected = VImage::new_from_buffer(byLibvips, "");
        VImage actual = VImage::new_from_buffer(direct.message, "");
        ASSERT_EQ(actual.width(), expected.width());
        ASSERT_EQ(actual.height(), expected.height());
        EXPECT_EQ(actual.bands(), 3);
        EXPECT_LT((actual - expected).abs().avg(), 2.0);
        EXPECT_NEAR(actual.xres() * 25.4, 72, 0.01);
        EXPECT_EQ(actual.get_int(VIPS_META_ORIENTATION), 1);
        EXPECT_FALSE(actual.get_typeof(VIPS_META_ICC_NAME));
        EXPECT_EQ(std::string(actual.get_string("exif-ifd2-ColorSpace")).substr(0, 1), "1");
    }
}

TEST_F(JpegReader, LeavesToLibvipsWhatItDoesNotRead) {
    const fs::path photo = folder_ / "photo.jpg";
    test::patternImage(100, 80, Orange, Blue).jpegsave(photo.c_str());
    const std::string bytes = test::readBytes(photo);
    const fs::path cut = folder_ / "cut.jpg";
    test::writeBytes(cut, bytes.substr(0, bytes.size() / 2));
    const fs::path cmyk = folder_ / "print.jpg";
    test::patternImage(100, 80, Orange, Blue)
        .icc_transform("cmyk", VImage::option()->set("input_profile", "srgb"))
        .jpegsave(cmyk.c_str());
    const fs::path png = folder_ / "photo.png";
    test::writeImage(test::patternImage(100, 80, Orange, Blue), png);
    struct Row {
        fs::path file;
        ConvertSettings settings;
    };
    const Row rows[] = {
        { cut, settingsFor(50, 50, true) },
        { cmyk, settingsFor(50, 50, true) },
        { png, settingsFor(50, 50, true) },
        { photo, settingsFor(300, 400, true) }, // enlarges
        { photo, ConvertSettings { 50, 50, true, 90, std::nullopt, std::nullopt } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file.filename().string());
        const WorkerReply reply = readDirectly(row.file, row.settings);
        EXPECT_EQ(reply.outcome, WorkerOutcome::Unsupported);
        EXPECT_FALSE(reply.message.empty());
    }
    EXPECT_TRUE(readByJpegReader(photo));
    EXPECT_FALSE(readByJpegReader(cmyk));
    EXPECT_FALSE(readByJpegReader(png));
}

} // namespace
} // namespace pxw::lumabatch
