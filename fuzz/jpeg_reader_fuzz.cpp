// The JPEG reader on any file: either a JPEG of the asked size, or a reason to leave the file
// to libvips. It never crashes, leaks or reads out of bounds.

#include "direct_jpeg.h"
#include "fuzz_check.h"

#include <cstddef>
#include <cstdint>

using namespace pxw::lumabatch;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ConvertSettings settings;
    settings.width = 48;
    settings.height = 64;
    settings.keepProportions = size % 2 == 0;
    settings.dpiHorizontal = 72;
    settings.dpiVertical = 96;
    const WorkerReply reply = convertJpegDirectly(data, size, settings);
    if (reply.outcome == WorkerOutcome::Unsupported) {
        PXW_FUZZ_CHECK(!reply.message.empty());
        return 0;
    }
    PXW_FUZZ_CHECK(reply.outcome == WorkerOutcome::Converted);
    PXW_FUZZ_CHECK(reply.message.starts_with("\xFF\xD8\xFF"));
    PXW_FUZZ_CHECK(reply.message.ends_with("\xFF\xD9"));
    return 0;
}
