#pragma once

#include "image_pipeline.h"
#include "temp_folder.h"

#include <filesystem>
#include <map>
#include <string>
#include <vector>
#include <vips/vips8>

namespace pxw::lumabatch::test {

using pxw::testing::TempFolder;

/// Two colours far apart in every band, for the halves of a pattern image.
inline const std::vector<double> Orange { 200, 100, 50 };
inline const std::vector<double> Blue { 30, 90, 200 };

/// Starts libvips (and ImageMagick) once for the test program.
void startImageLibraries();

/// A width x height sRGB image: the left half `left`, the right half `right`, and a white
/// square in the top-left corner (so turning and mirroring show).
vips::VImage patternImage(
    int width, int height, std::vector<double> left, std::vector<double> right);

/// Writes `image` in the format the file's extension names: .jpg .gif .tif .png .webp .jp2
/// .heic through libvips' own savers; .psd .bmp .pcd through libvips' ImageMagick saver.
void writeImage(const vips::VImage& image, const std::filesystem::path& file);

/// A MacPaint file (576 x 720, 1 bit): the top `blackRows` rows black, the rest white.
void writeMacPaint(const std::filesystem::path& file, int blackRows);

/// TIFF variants libvips refuses: a YCbCr image with 2 x 2 subsampled colour, uncompressed,
/// and an old-style JPEG-in-TIFF (compression 6) holding a whole JPEG file; both `width` x
/// `height` (even numbers) of one colour.
void writeSubsampledTiff(
    const std::filesystem::path& file, int width, int height, const std::vector<double>& rgb);
void writeOldJpegTiff(
    const std::filesystem::path& file, int width, int height, const std::vector<double>& rgb);

/// Writes bytes as they are.
void writeBytes(const std::filesystem::path& file, const std::string& bytes);
std::string readBytes(const std::filesystem::path& file);

/// Names of the entries of a folder, sorted.
std::vector<std::string> listFolder(const std::filesystem::path& folder);

/// Mean of each band over a small square around (x, y).
std::vector<double> colourAt(const vips::VImage& image, int x, int y);

struct RunResult {
    int exitCode = -1; ///< -1: did not end normally
    std::string out;
    std::string err;
};

/// Runs the built lumabatch (or `executable`) with `args` (no shell), with extra environment
/// variables (an empty value removes one), and waits for it to end (at most two minutes).
RunResult runTool(const std::vector<std::string>& args,
    const std::map<std::string, std::string>& environment = {},
    const std::filesystem::path& executable = {});

} // namespace pxw::lumabatch::test

namespace pxw::lumabatch {

/// Reads one image, turns it upright by its EXIF orientation, converts it to sRGB, flattens
/// transparency on white, resizes it into the box (shrinking while loading where the format
/// allows) and encodes it as baseline JPEG without EXIF, XMP, IPTC or ICC data of the source.
/// The reader is the one the file's name chooses. On failure `jpeg` is unspecified and the status
/// names the reason.
platform::Status convertToJpeg(
    const std::filesystem::path& source, const ConvertSettings& settings, std::string& jpeg);

} // namespace pxw::lumabatch
