// The album reader and the icon decoder on whole files: an album the reader opens has only plain
// entry names, and every entry reads back at its listed size; the icon it carries either decodes
// into images that fit its bytes and the side limit, or is refused with a reason.

#include "albumfile/album_reader.h"
#include "fuzz_check.h"
#include "ico_decoder.h"

#include <cstddef>
#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

namespace {

void checkIcon(const std::string& bytes) {
    std::string error;
    const std::vector<pxw::zip::IconImage> images = pxw::zip::decodeIco(bytes, &error);
    PXW_FUZZ_CHECK(images.empty() || error.empty());
    for (const pxw::zip::IconImage& image : images) {
        if (!image.png.empty()) {
            PXW_FUZZ_CHECK(image.png.data() >= bytes.data()
                && image.png.data() + image.png.size() <= bytes.data() + bytes.size());
            continue;
        }
        PXW_FUZZ_CHECK(image.pixels.width > 0 && image.pixels.width <= pxw::zip::maxIconSide);
        PXW_FUZZ_CHECK(image.pixels.height > 0 && image.pixels.height <= pxw::zip::maxIconSide);
        PXW_FUZZ_CHECK(image.pixels.pixels.size()
            == static_cast<std::size_t>(image.pixels.width) * image.pixels.height
                * image.pixels.channels);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The input is also tried as an icon file on its own, as --icon and the window read it.
    checkIcon(std::string(reinterpret_cast<const char*>(data), size));

    const int fd = ::memfd_create("album", MFD_CLOEXEC);
    PXW_FUZZ_CHECK(fd >= 0);
    PXW_FUZZ_CHECK(::write(fd, data, size) == static_cast<ssize_t>(size));
    {
        pxw::zip::AlbumReader reader;
        if (reader.open("/proc/self/fd/" + std::to_string(fd), "fuzzed.exe")) {
            std::string bytes;
            if (reader.readIcon(bytes)) {
                PXW_FUZZ_CHECK(bytes.size() <= size);
                checkIcon(bytes);
            }
            const std::vector<pxw::zip::AlbumEntry> entries = reader.entries();
            for (std::size_t i = 0; i < entries.size(); ++i) {
                PXW_FUZZ_CHECK(!pxw::zip::refusedEntryName(entries[i].name));
                if (reader.readEntry(i, bytes))
                    PXW_FUZZ_CHECK(bytes.size() == entries[i].size);
            }
        }
    }
    ::close(fd);
    return 0;
}
