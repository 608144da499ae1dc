// Files with small flaws around complete pixel data convert, through either reader, to what a
// clean copy gives; files whose data ends early fail; a profile that cannot describe the
// pixels is left out. The flawed files are made here from clean ones, byte by byte.

#include "direct_jpeg.h"
#include "image_pipeline.h"
#include "test_support.h"

#include <functional>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using vips::VImage;

namespace pxw::lumabatch {
namespace {

using test::Blue;
using test::Orange;

ConvertSettings box300() {
    ConvertSettings settings;
    settings.width = 300;
    settings.height = 300;
    settings.dpiHorizontal = 72;
    settings.dpiVertical = 72;
    return settings;
}

// The place of the last marker `code` (0xffda: start of scan) in a JPEG file.
std::size_t lastMarker(const std::string& jpeg, unsigned char code) {
    return jpeg.rfind(std::string { '\xff', static_cast<char>(code) });
}

using Flaw = std::function<std::string(const std::string&)>;

const Flaw noEndMarker = [](const std::string& jpeg) { return jpeg.substr(0, jpeg.size() - 2); };
const Flaw strayBytesBeforeScan = [](const std::string& jpeg) {
    return std::string(jpeg).insert(lastMarker(jpeg, 0xda), "\x17\x42\x00");
};
const Flaw junkAfterEnd
    = [](const std::string& jpeg) { return jpeg + "trailing junk\xff\xd9\xff"; };
// An EXIF block whose byte order mark is neither "II" nor "MM": nothing in it can be read, the
// orientation (6, a quarter turn) included.
const Flaw brokenExif = [](const std::string& jpeg) {
    std::string broken = jpeg;
    broken.replace(broken.find("Exif") + 6, 2, "XY");
    return broken;
};
const Flaw cutInHalf = [](const std::string& jpeg) { return jpeg.substr(0, jpeg.size() / 2); };
// A progressive file that ends between two scans: nothing in the file says a scan is missing.
const Flaw cutBeforeLastScan
    = [](const std::string& jpeg) { return jpeg.substr(0, lastMarker(jpeg, 0xda)); };

struct Row {
    const char* name;
    bool progressive;
    bool turned; ///< EXIF orientation 6 in the flawed file
    Flaw flaw;
    bool converts;
};

class FlawedSources : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::startImageLibraries(); }

    // A 1000 x 700 photo, with an EXIF orientation of 6 where `turned`.
    std::string cleanJpeg(bool progressive, bool turned) {
        VImage picture = test::patternImage(1000, 700, Orange, Blue).copy();
        if (turned)
            picture.set(VIPS_META_ORIENTATION, 6);
        const fs::path file = folder_ / "clean.jpg";
        picture.jpegsave(
            file.c_str(), VImage::option()->set("Q", 95)->set("interlace", progressive));
        return test::readBytes(file);
    }

    std::string byLibvips(const std::string& bytes, bool& converted) {
        const fs::path file = folder_ / "flawed.jpg";
        test::writeBytes(file, bytes);
        std::string jpeg;
        converted = convertToJpeg(file, box300(), jpeg).ok();
        return jpeg;
    }

    test::TempFolder folder_;
};

TEST_F(FlawedSources, CompleteJpegDataConvertsThroughEitherReader) {
    const Row rows[] = {
        { "no end marker", false, false, noEndMarker, true },
        { "no end marker, progressive", true, false, noEndMarker, true },
        { "stray bytes before a marker", false, false, strayBytesBeforeScan, true },
        { "junk after the end", true, false, junkAfterEnd, true },
        { "broken EXIF", false, true, brokenExif, true },
        { "cut in half", false, false, cutInHalf, false },
        { "cut in half, progressive", true, false, cutInHalf, false },
        { "cut before the last scan", true, false, cutBeforeLastScan, false },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string clean = cleanJpeg(row.progressive, false);
        const std::string flawed = row.flaw(cleanJpeg(row.progressive, row.turned));
        const WorkerReply direct = convertJpegDirectly(flawed.data(), flawed.size(), box300());
        bool viaLibvips = false;
        const std::string libvipsJpeg = byLibvips(flawed, viaLibvips);
        if (!row.converts) {
            EXPECT_NE(direct.outcome, WorkerOutcome::Converted);
            EXPECT_FALSE(viaLibvips);
            continue;
        }
        ASSERT_EQ(direct.outcome, WorkerOutcome::Converted) << direct.message;
        ASSERT_TRUE(viaLibvips);
        const WorkerReply reference = convertJpegDirectly(clean.data(), clean.size(), box300());
        const VImage expected = VImage::new_from_buffer(reference.message, "");
        for (const std::string& output : { direct.message, libvipsJpeg }) {
            const VImage actual = VImage::new_from_buffer(output, "");
            ASSERT_EQ(actual.width(), expected.width());
            ASSERT_EQ(actual.height(), expected.height());
            EXPECT_LT((actual - expected).abs().avg(), 2.0);
        }
    }
}

// Other formats follow the same rule: a missing trailer after complete data converts, data
// that ends early fails.
TEST_F(FlawedSources, OtherFormatsFailOnlyWhereTheirDataEndsEarly) {
    struct Format {
        const char* extension;
        bool convertsWithoutLastByte; ///< the byte is part of a trailer, not of the pixels
    };
    const Format formats[]
        = { { ".png", true }, { ".gif", true }, { ".tif", false }, { ".webp", false } };
    for (const Format& format : formats) {
        SCOPED_TRACE(format.extension);
        const fs::path clean = folder_ / (std::string("clean") + format.extension);
        test::writeImage(test::patternImage(600, 400, Orange, Blue), clean);
        const std::string bytes = test::readBytes(clean);
        struct Cut {
            std::size_t length;
            bool converts;
        };
        for (const Cut cut : { Cut { bytes.size() - 1, format.convertsWithoutLastByte },
                 Cut { bytes.size() * 9 / 10, false }, Cut { bytes.size() / 2, false } }) {
            SCOPED_TRACE(cut.length);
            const fs::path file = folder_ / (std::string("cut") + format.extension);
            test::writeBytes(file, bytes.substr(0, cut.length));
            std::string jpeg;
            EXPECT_EQ(convertToJpeg(file, box300(), jpeg).ok(), cut.converts);
        }
    }
}

// Both readers leave out a profile that describes no image, or pixels of another kind, and take
// the pixels as sRGB; a display profile (P3 here) is applied.
TEST_F(FlawedSources, AProfileIsUsedOnlyWhereItCanDescribeThePixels) {
    const VImage untagged = test::patternImage(400, 300, Orange, Blue);
    const std::string p3 = [&] {
        const VImage tagged
            = untagged.icc_transform("p3", VImage::option()->set("input_profile", "srgb"));
        std::size_t length = 0;
        const void* data = tagged.get_blob(VIPS_META_ICC_NAME, &length);
        return std::string(static_cast<const char*>(data), length);
    }();
    const auto convertedWith = [&](const std::string& profile, WorkerReply& direct) {
        VImage picture = untagged.copy();
        if (!profile.empty())
            picture.set(
                VIPS_META_ICC_NAME, nullptr, const_cast<char*>(profile.data()), profile.size());
        const fs::path file = folder_ / "tagged.jpg";
        picture.jpegsave(file.c_str(), VImage::option()->set("Q", 95));
        const std::string bytes = test::readBytes(file);
        direct = convertJpegDirectly(bytes.data(), bytes.size(), box300());
        bool converted = false;
        std::string libvipsJpeg = byLibvips(bytes, converted);
        EXPECT_TRUE(converted);
        return libvipsJpeg;
    };
    WorkerReply reference;
    const std::string untaggedJpeg = convertedWith({}, reference); // the image reads it lazily
    const VImage asSrgb = VImage::new_from_buffer(untaggedJpeg, "");
    struct Row {
        const char* name;
        std::size_t offset; ///< of the field changed in the P3 profile
        const char* value;
        bool used;
    };
    const Row rows[] = {
        { "display", 12, "mntr", true },
        { "abstract", 12, "abst", false },
        { "device link", 12, "link", false },
        { "named colour", 12, "nmcl", false },
        { "grey, on colour pixels", 16, "GRAY", false },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string profile = p3;
        profile.replace(row.offset, 4, row.value);
        WorkerReply direct;
        const std::string libvipsJpeg = convertedWith(profile, direct);
        ASSERT_EQ(direct.outcome, WorkerOutcome::Converted) << direct.message;
        for (const std::string& output : { direct.message, libvipsJpeg }) {
            const double shift = (VImage::new_from_buffer(output, "") - asSrgb).abs().avg();
            if (row.used)
                EXPECT_GT(shift, 3.0);
            else
                EXPECT_LT(shift, 1.0);
        }
    }
}

} // namespace
} // namespace pxw::lumabatch
