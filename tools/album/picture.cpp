#include "picture.h"

#include "jpeg/libjpeg_errors.h"

#include <algorithm>
#include <cstdio>
#include <jpeglib.h>
#include <utility>

namespace pxw::zip {

Picture decodeJpeg(std::string_view bytes, int boxWidth, int boxHeight, std::string* error,
    std::uint64_t maxPixels) {
    Picture picture;
    jpeg_decompress_struct info {};
    jpeg::Errors failure;
    info.err = jpeg::use(failure);
    std::string tooLarge;
    // What the album shows of a damaged picture is libjpeg's best reading of it: warnings
    // stop nothing here.
    const bool decoded = jpeg::guarded(failure, [&] {
        jpeg_create_decompress(&info);
        jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()),
            static_cast<unsigned long>(bytes.size()));
        jpeg_read_header(&info, TRUE);
        if (std::uint64_t { info.image_width } * info.image_height > maxPixels) {
            tooLarge = "it is too large (" + std::to_string(info.image_width) + "x"
                + std::to_string(info.image_height) + ")";
            return;
        }
        const Size shown = fittedSize(static_cast<int>(info.image_width),
            static_cast<int>(info.image_height), boxWidth, boxHeight);
        info.scale_denom = 8;
        info.scale_num = 8;
        while (info.scale_num > 1
            && std::uint64_t { info.image_width } * (info.scale_num - 1)
                >= std::uint64_t { static_cast<unsigned>(shown.width) } * 8)
            --info.scale_num;
        info.out_color_space = JCS_RGB;
        jpeg_start_decompress(&info);
        picture.width = static_cast<int>(info.output_width);
        picture.height = static_cast<int>(info.output_height);
        picture.pixels.resize(static_cast<std::size_t>(picture.width) * picture.height * 3);
        while (info.output_scanline < info.output_height) {
            JSAMPROW row = picture.pixels.data()
                + static_cast<std::size_t>(info.output_scanline) * picture.width * 3;
            jpeg_read_scanlines(&info, &row, 1);
        }
        jpeg_finish_decompress(&info);
    });
    jpeg_destroy_decompress(&info);
    if (!decoded || !tooLarge.empty()) {
        if (error)
            *error = decoded ? tooLarge : std::string(failure.message.data());
        return {};
    }
    return picture;
}

} // namespace pxw::zip
