// The album reader on whole files: an album it opens has only plain entry names, and every
// entry reads back at its listed size. Kept to the reader's public interface.

#include "album_reader.h"
#include "fuzz_check.h"

#include <cstddef>
#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int fd = ::memfd_create("album", MFD_CLOEXEC);
    PXW_FUZZ_CHECK(fd >= 0);
    PXW_FUZZ_CHECK(::write(fd, data, size) == static_cast<ssize_t>(size));
    {
        pxw::zip::AlbumReader reader;
        if (reader.open("/proc/self/fd/" + std::to_string(fd), "fuzzed.exe")) {
            std::string bytes;
            (void)reader.readIcon(bytes);
            PXW_FUZZ_CHECK(bytes.size() <= size);
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
