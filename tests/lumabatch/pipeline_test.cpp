#include "image_pipeline.h"
#include "reader_choice.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using vips::VImage;

namespace pxw::lumabatch {
namespace {

using test::Blue;
using test::Orange;

class Pipeline : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::startImageLibraries(); }

    // Converts and decodes the result; fails the test when the conversion fails.
    VImage convert(const fs::path& source, const ConvertSettings& settings) {
        std::string jpeg;
        platform::Status status = convertToJpeg(source, settings, jpeg);
        EXPECT_TRUE(status.ok()) << source << ": " << status.message();
        last_ = jpeg;
        if (!status)
            return VImage::black(1, 1);
        return VImage::new_from_buffer(last_, "");
    }

    static ConvertSettings box(int width, int height, bool keepProportions = true) {
        ConvertSettings settings;
        settings.width = width;
        settings.height = height;
        settings.keepProportions = keepProportions;
        return settings;
    }

    static void expectColour(const std::vector<double>& actual, const std::vector<double>& expected,
        double tolerance, const std::string& what) {
        ASSERT_EQ(actual.size(), expected.size()) << what;
        for (std::size_t band = 0; band < expected.size(); ++band)
            EXPECT_NEAR(actual[band], expected[band], tolerance) << what << ", band " << band;
    }

    test::TempFolder folder_;
    std::string last_;
};

class EveryFormat : public Pipeline, public ::testing::WithParamInterface<const char*> { };

// Every format of the program's image list, and WebP and HEIF.
TEST_P(EveryFormat, IsReadResizedAndColourKept) {
    const fs::path source = folder_ / (std::string("photo.") + GetParam());
    test::writeImage(test::patternImage(160, 120, Orange, Blue), source);
    VImage out = convert(source, box(80, 80));
    EXPECT_EQ(out.width(), 80);
    EXPECT_EQ(out.height(), 60);
    EXPECT_EQ(out.bands(), 3);
    EXPECT_EQ(out.interpretation(), VIPS_INTERPRETATION_sRGB);
    // GIF keeps a reduced palette; the others stay close.
    expectColour(test::colourAt(out, 30, 40), Orange, 12, GetParam());
    expectColour(test::colourAt(out, 70, 40), Blue, 12, GetParam());
    expectColour(test::colourAt(out, 3, 3), { 255, 255, 255 }, 12, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Formats, EveryFormat,
    ::testing::Values("jpg", "gif", "tif", "png", "psd", "bmp", "jp2", "webp", "heic"));

// Workers of a batch of such files start without libvips' modules; a file needing one must
// not pass for them, whatever its name.
TEST_F(Pipeline, OnlyFilesLibvipsReadsItselfGoWithoutModules) {
    for (const auto& [extension, itself] : std::vector<std::pair<std::string, bool>> {
             { "jpg", true }, { "gif", true }, { "tif", true }, { "png", true }, { "webp", true },
             { "psd", false }, { "bmp", false }, { "jp2", false }, { "heic", false } }) {
        const fs::path source = folder_ / ("photo." + extension);
        test::writeImage(test::patternImage(16, 12, Orange, Blue), source);
        const fs::path renamed = folder_ / ("misnamed-" + extension + ".jpg");
        fs::rename(source, renamed);
        EXPECT_EQ(readByLibvipsItself(renamed), itself) << extension;
    }
}

// Photo CD keeps its pixels as YCC, at its own fixed size; shown untouched they would be
// strongly coloured, converted they are the grey they were written as.
TEST_F(Pipeline, PhotoCdIsConvertedFromYcc) {
    const fs::path source = folder_ / "scan.pcd";
    test::writeImage(test::patternImage(768, 512, { 60, 60, 60 }, { 200, 200, 200 }), source);
    EXPECT_EQ(readerFor(source), Reader::MagickPhotoCd);
    VImage out = convert(source, box(300, 400));
    EXPECT_EQ(out.width(), 300);
    EXPECT_EQ(out.height(), 200);
    for (int x : { 100, 250 }) {
        std::vector<double> colour = test::colourAt(out, x, 150);
        EXPECT_NEAR(colour[0], colour[1], 6) << x;
        EXPECT_NEAR(colour[1], colour[2], 6) << x;
    }
    EXPECT_LT(test::colourAt(out, 100, 150)[0] + 80, test::colourAt(out, 250, 150)[0]);
}

TEST_F(Pipeline, PhotoCdIsFoundByItsSignatureUnderAnotherName) {
    const fs::path source = folder_ / "scan.img";
    test::writeImage(test::patternImage(768, 512, Orange, Blue), folder_ / "scan.pcd");
    fs::rename(folder_ / "scan.pcd", source);
    EXPECT_EQ(readerFor(source), Reader::MagickPhotoCd);
}

TEST_F(Pipeline, MacPaintIsNamedToItsReader) {
    const fs::path source = folder_ / "drawing.mac";
    test::writeMacPaint(source, 360);
    EXPECT_EQ(readerFor(source), Reader::MagickMacPaint);
    VImage out = convert(source, box(288, 400));
    EXPECT_EQ(out.width(), 288);
    EXPECT_EQ(out.height(), 360);
    EXPECT_LT(test::colourAt(out, 100, 60)[0], 20);
    EXPECT_GT(test::colourAt(out, 100, 300)[0], 235);
}

TEST_F(Pipeline, TurnedUprightByExifOrientation) {
    const fs::path source = folder_ / "portrait.jpg";
    VImage image = test::patternImage(120, 80, Orange, Blue).copy();
    image.set(VIPS_META_ORIENTATION, 6);
    image.jpegsave(source.c_str());
    VImage out = convert(source, box(300, 400));
    // Orientation 6: the stored image is turned a quarter clockwise for display, so the
    // white corner goes top right and the left half becomes the top half.
    EXPECT_EQ(out.width(), 267);
    EXPECT_EQ(out.height(), 400);
    expectColour(test::colourAt(out, 260, 6), { 255, 255, 255 }, 12, "corner");
    expectColour(test::colourAt(out, 60, 150), Orange, 12, "top half");
    expectColour(test::colourAt(out, 130, 350), Blue, 12, "bottom half");
    EXPECT_FALSE(out.get_typeof(VIPS_META_ORIENTATION) && out.get_int(VIPS_META_ORIENTATION) != 1);
}

TEST_F(Pipeline, FitsInsideTheBoxDownAndUp) {
    const fs::path large = folder_ / "large.png";
    const fs::path small = folder_ / "small.png";
    test::writeImage(test::patternImage(1000, 500, Orange, Blue), large);
    test::writeImage(test::patternImage(50, 100, Orange, Blue), small);
    VImage down = convert(large, box(300, 400));
    EXPECT_EQ(down.width(), 300);
    EXPECT_EQ(down.height(), 150);
    VImage up = convert(small, box(300, 400));
    EXPECT_EQ(up.width(), 200);
    EXPECT_EQ(up.height(), 400);
}

TEST_F(Pipeline, StretchesToExactlyTheBoxWithoutProportions) {
    const fs::path source = folder_ / "wide.png";
    test::writeImage(test::patternImage(1000, 500, Orange, Blue), source);
    VImage out = convert(source, box(300, 400, false));
    EXPECT_EQ(out.width(), 300);
    EXPECT_EQ(out.height(), 400);
}

TEST_F(Pipeline, OneSideGivenKeepsProportions) {
    const fs::path source = folder_ / "wide.png";
    test::writeImage(test::patternImage(1000, 500, Orange, Blue), source);
    ConvertSettings settings;
    settings.height = 100;
    VImage out = convert(source, settings);
    EXPECT_EQ(out.width(), 200);
    EXPECT_EQ(out.height(), 100);
    VImage unchanged = convert(source, ConvertSettings {});
    EXPECT_EQ(unchanged.width(), 1000);
}

TEST_F(Pipeline, LowerQualityGivesSmallerFiles) {
    const fs::path source = folder_ / "noise.png";
    VImage noise = (VImage::gaussnoise(400, 300) + 0)
                       .bandjoin({ VImage::gaussnoise(400, 300), VImage::gaussnoise(400, 300) });
    test::writeImage(noise.cast(VIPS_FORMAT_UCHAR)
                         .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB)),
        source);
    ConvertSettings settings = box(400, 300);
    settings.quality = 10;
    convert(source, settings);
    std::size_t low = last_.size();
    settings.quality = 95;
    convert(source, settings);
    EXPECT_LT(low * 2, last_.size());
}

TEST_F(Pipeline, CmykBecomesSrgb) {
    const fs::path source = folder_ / "print.jpg";
    VImage rgb = test::patternImage(100, 100, { 200, 200, 200 }, { 40, 40, 40 });
    VImage cmyk = rgb.icc_transform("cmyk", VImage::option()->set("input_profile", "srgb"));
    ASSERT_EQ(cmyk.bands(), 4);
    cmyk.jpegsave(source.c_str());
    VImage out = convert(source, box(100, 100));
    EXPECT_EQ(out.bands(), 3);
    EXPECT_EQ(out.interpretation(), VIPS_INTERPRETATION_sRGB);
    expectColour(test::colourAt(out, 25, 60), { 200, 200, 200 }, 20, "light half");
    expectColour(test::colourAt(out, 75, 60), { 40, 40, 40 }, 20, "dark half");
}

TEST_F(Pipeline, EmbeddedProfileIsAppliedThenLeftOut) {
    const fs::path source = folder_ / "wide-gamut.jpg";
    VImage rgb = test::patternImage(100, 100, Orange, Blue);
    VImage p3 = rgb.icc_transform("p3", VImage::option()->set("input_profile", "srgb"));
    p3.jpegsave(source.c_str(), VImage::option()->set("Q", 95));
    VImage out = convert(source, box(100, 100));
    expectColour(test::colourAt(out, 25, 60), Orange, 8, "orange half");
    EXPECT_FALSE(out.get_typeof(VIPS_META_ICC_NAME));
}

TEST_F(Pipeline, GreyBecomesThreeBands) {
    const fs::path source = folder_ / "grey.png";
    VImage grey = (VImage::black(40, 40) + 128)
                      .cast(VIPS_FORMAT_UCHAR)
                      .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_B_W));
    test::writeImage(grey, source);
    VImage out = convert(source, box(40, 40));
    EXPECT_EQ(out.bands(), 3);
    expectColour(test::colourAt(out, 20, 20), { 128, 128, 128 }, 3, "grey");
}

TEST_F(Pipeline, TransparencyIsFlattenedOnWhite) {
    const fs::path source = folder_ / "cutout.png";
    VImage rgb = test::patternImage(100, 100, Orange, Blue);
    VImage x = VImage::xyz(100, 100).extract_band(0);
    VImage alpha = (x < 50).ifthenelse(255, 0).cast(VIPS_FORMAT_UCHAR);
    test::writeImage(rgb.bandjoin(alpha), source);
    VImage out = convert(source, box(100, 100));
    EXPECT_EQ(out.bands(), 3);
    expectColour(test::colourAt(out, 25, 60), Orange, 10, "opaque half");
    expectColour(test::colourAt(out, 75, 60), { 255, 255, 255 }, 4, "transparent half");
}

TEST_F(Pipeline, WritesResolutionButNoSourceMetadata) {
    const fs::path source = folder_ / "camera.jpg";
    VImage image = test::patternImage(100, 80, Orange, Blue)
                       .copy(VImage::option()->set("xres", 300 / 25.4)->set("yres", 300 / 25.4));
    image.set("exif-ifd0-Make", "TestCam");
    static char xmp[] = "<x:xmpmeta>secret</x:xmpmeta>";
    image.set(VIPS_META_XMP_NAME, nullptr, xmp, sizeof xmp - 1);
    image.jpegsave(source.c_str());
    ASSERT_NE(test::readBytes(source).find("TestCam"), std::string::npos);

    ConvertSettings settings = box(50, 50);
    settings.dpiHorizontal = 72;
    settings.dpiVertical = 72;
    VImage out = convert(source, settings);
    EXPECT_NEAR(out.xres() * 25.4, 72, 0.01);
    EXPECT_NEAR(out.yres() * 25.4, 72, 0.01);
    EXPECT_EQ(last_.find("TestCam"), std::string::npos);
    EXPECT_EQ(last_.find("xmpmeta"), std::string::npos);
    EXPECT_FALSE(out.get_typeof(VIPS_META_XMP_NAME));
    EXPECT_FALSE(out.get_typeof(VIPS_META_ICC_NAME));
    EXPECT_FALSE(out.get_typeof(VIPS_META_IPTC_NAME));
}

TEST_F(Pipeline, CentimetreSourcesGetInches) {
    const fs::path source = folder_ / "scan.tif";
    VImage image = test::patternImage(100, 80, Orange, Blue)
                       .copy(VImage::option()->set("xres", 40.0)->set("yres", 40.0));
    image.tiffsave(source.c_str(), VImage::option()->set("resunit", VIPS_FOREIGN_TIFF_RESUNIT_CM));
    ConvertSettings settings = box(50, 50);
    settings.dpiHorizontal = 72;
    settings.dpiVertical = 72;
    VImage out = convert(source, settings);
    EXPECT_EQ(std::string(out.get_string(VIPS_META_RESOLUTION_UNIT)), "in");
    EXPECT_NEAR(out.xres() * 25.4, 72, 0.01);
}

TEST_F(Pipeline, WritesBaselineJpeg) {
    const fs::path source = folder_ / "photo.png";
    test::writeImage(test::patternImage(100, 80, Orange, Blue), source);
    convert(source, box(50, 50));
    // Start of frame 0 (baseline), no start of frame 2 (progressive).
    EXPECT_NE(last_.find("\xFF\xC0"), std::string::npos);
    EXPECT_EQ(last_.find("\xFF\xC2"), std::string::npos);
}

TEST_F(Pipeline, CorruptFileFailsWithAReason) {
    const fs::path garbage = folder_ / "broken.jpg";
    test::writeBytes(garbage, "\xFF\xD8\xFF\xE0 this is not really a JPEG");
    std::string jpeg;
    platform::Status status = convertToJpeg(garbage, box(50, 50), jpeg);
    EXPECT_FALSE(status.ok());
    EXPECT_FALSE(status.message().empty());
    EXPECT_EQ(status.message().find('\n'), std::string::npos) << status.message();

    const fs::path text = folder_ / "notes.txt";
    test::writeBytes(text, "shopping list\n");
    status = convertToJpeg(text, box(50, 50), jpeg);
    EXPECT_FALSE(status.ok());
    EXPECT_EQ(status.message(), "not an image this tool can read");
}

TEST_F(Pipeline, TruncatedJpegFails) {
    const fs::path whole = folder_ / "whole.jpg";
    VImage noise = VImage::gaussnoise(300, 300).cast(VIPS_FORMAT_UCHAR);
    noise.jpegsave(whole.c_str());
    std::string bytes = test::readBytes(whole);
    const fs::path cut = folder_ / "cut.jpg";
    test::writeBytes(cut, bytes.substr(0, bytes.size() / 2));
    std::string jpeg;
    EXPECT_FALSE(convertToJpeg(cut, box(100, 100), jpeg).ok());
}

// The tool never reads two of these at once; the check looks past the EXIF block libvips writes.
TEST_F(Pipeline, OnlyLargeProgressiveJpegsAreHeavyReads) {
    struct Row {
        int width;
        bool progressive;
        bool heavy;
    };
    for (const Row& row :
        { Row { 3000, true, true }, Row { 3000, false, false }, Row { 1500, true, false } }) {
        const fs::path file = folder_ / "photo.jpg";
        test::patternImage(row.width, 2000, Orange, Blue)
            .jpegsave(file.c_str(), VImage::option()->set("interlace", row.progressive));
        EXPECT_EQ(readsWholeImageAtOnce(file), row.heavy) << row.width << " " << row.progressive;
    }
}

} // namespace
} // namespace pxw::lumabatch
