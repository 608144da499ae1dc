#include "picture.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>
#include <utility>

namespace pxw::zip {

namespace {

// libjpeg reports a fatal error by calling error_exit, which must not return: it jumps back
// to decodeJpeg, which gives up on the image.
struct JpegError {
    jpeg_error_mgr manager {};
    std::jmp_buf back {};
    char message[JMSG_LENGTH_MAX] {};
};

[[noreturn]] void jumpBack(j_common_ptr info) {
    auto* error = reinterpret_cast<JpegError*>(info->err);
    (*info->err->format_message)(info, error->message);
    std::longjmp(error->back, 1);
}

void ignoreWarning(j_common_ptr) {
}

} // namespace

Picture decodeJpeg(std::string_view bytes, int boxWidth, int boxHeight, std::string* error,
    std::uint64_t maxPixels) {
    Picture picture;
    jpeg_decompress_struct info {};
    JpegError failure;
    info.err = jpeg_std_error(&failure.manager);
    failure.manager.error_exit = jumpBack;
    failure.manager.output_message = ignoreWarning;
    // Nothing with a destructor is made between here and the last jump.
    if (setjmp(failure.back) != 0) {
        jpeg_destroy_decompress(&info);
        if (error)
            *error = failure.message;
        return {};
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()),
        static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    if (std::uint64_t { info.image_width } * info.image_height > maxPixels) {
        if (error)
            *error = "it is too large (" + std::to_string(info.image_width) + "x"
                + std::to_string(info.image_height) + ")";
        jpeg_destroy_decompress(&info);
        return {};
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
    jpeg_destroy_decompress(&info);
    return picture;
}

} // namespace pxw::zip
