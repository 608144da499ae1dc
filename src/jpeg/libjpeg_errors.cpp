#include "jpeg/libjpeg_errors.h"

#include <algorithm>
#include <jerror.h>
#include <vector>

namespace pxw::jpeg {

namespace {

[[noreturn]] void stop(j_common_ptr info) {
    auto* errors = reinterpret_cast<Errors*>(info->err);
    info->err->format_message(info, errors->message.data());
    std::longjmp(errors->jump, 1);
}

void record(j_common_ptr info, int level) {
    if (level >= 0) // trace messages
        return;
    auto* errors = reinterpret_cast<Errors*>(info->err);
    const int code = info->err->msg_code;
    if (std::none_of(errors->warned.begin(), errors->warned.end(), [](bool w) { return w; }))
        info->err->format_message(info, errors->firstWarning.data());
    if (code >= 0 && static_cast<std::size_t>(code) < errors->warned.size())
        errors->warned[static_cast<std::size_t>(code)] = true;
    ++info->err->num_warnings;
}

// Warnings about the markers around the pixel data, not about the data itself.
constexpr int HarmlessWarnings[]
    = { JWRN_EXTRANEOUS_DATA, JWRN_JFIF_MAJOR, JWRN_BOGUS_ICC, JWRN_ADOBE_XFORM };

bool warned(const Errors& errors, int code) {
    return errors.warned[static_cast<std::size_t>(code)];
}

// A progressive file names no count of scans; it is whole when every coefficient of every
// component was refined down to its last bit.
bool everyCoefficientComplete(const jpeg_decompress_struct& info) {
    if (!info.coef_bits)
        return false;
    for (int component = 0; component < info.num_components; ++component) {
        for (int k = 0; k < DCTSIZE2; ++k) {
            if (info.coef_bits[component][k] != 0)
                return false;
        }
    }
    return true;
}

} // namespace

jpeg_error_mgr* use(Errors& errors) {
    jpeg_std_error(&errors.manager);
    errors.manager.error_exit = stop;
    errors.manager.emit_message = record;
    return &errors.manager;
}

std::string missingData(const jpeg_decompress_struct& info, const Errors& errors) {
    const std::string firstWarning = errors.firstWarning.data();
    // The entropy decoder needed bits where the data had already stopped.
    if (warned(errors, JWRN_HIT_MARKER))
        return "the image data ends early: " + firstWarning;
    for (int code = 0; code < static_cast<int>(errors.warned.size()); ++code) {
        const bool harmless = code == JWRN_JPEG_EOF
            || std::find(std::begin(HarmlessWarnings), std::end(HarmlessWarnings), code)
                != std::end(HarmlessWarnings);
        if (warned(errors, code) && !harmless)
            return "damaged image: " + firstWarning;
    }
    if (!warned(errors, JWRN_JPEG_EOF))
        return {};
    // The file ran out while libjpeg looked for a marker. One Huffman-coded scan that needed
    // no more bits is complete; so is a progressive file whose coefficients all are. An
    // arithmetic-coded scan, or a later scan of a sequential file, may have been cut where
    // nothing shows it.
    if (info.progressive_mode
            ? everyCoefficientComplete(info)
            : !info.arith_code && !jpeg_has_multiple_scans(const_cast<j_decompress_ptr>(&info)))
        return {};
    return "the image data ends early: " + firstWarning;
}

std::string missingData(const void* bytes, std::size_t size) {
    jpeg_decompress_struct info {};
    Errors errors;
    info.err = use(errors);
    std::string verdict;
    // The rows go to one buffer, made before libjpeg is: nothing with a destructor is made
    // inside the guarded part.
    std::vector<JSAMPLE> row;
    const bool read = guarded(errors, [&] {
        jpeg_create_decompress(&info);
        jpeg_mem_src(
            &info, static_cast<const unsigned char*>(bytes), static_cast<unsigned long>(size));
        jpeg_read_header(&info, TRUE);
        info.scale_num = 1;
        info.scale_denom = 8;
        info.dct_method = JDCT_IFAST;
        info.do_fancy_upsampling = FALSE;
        jpeg_calc_output_dimensions(&info);
        row.resize(static_cast<std::size_t>(info.output_width) * info.output_components);
        JSAMPROW rows[] = { row.data() };
        jpeg_start_decompress(&info);
        while (info.output_scanline < info.output_height)
            jpeg_read_scanlines(&info, rows, 1);
        verdict = missingData(info, errors);
        jpeg_finish_decompress(&info);
    });
    jpeg_destroy_decompress(&info);
    return read ? verdict : std::string("damaged image: ") + errors.message.data();
}

} // namespace pxw::jpeg
