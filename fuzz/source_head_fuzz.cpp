// The tool's head reader on any file start: it runs outside the sandbox, on bytes anyone can
// write. What it reports holds together, and a bomb is refused by what its frame claims.

#include "fuzz_check.h"
#include "reader_choice.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

using namespace pxw::lumabatch;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    static constexpr const char* Names[] = { "a.jpg", "b.PCD", "c.mac", "d.png", "e", ".pnt" };
    const std::string_view head(reinterpret_cast<const char*>(data) + 1, size - 1);
    const SourceHead found = inspectHead(head, Names[data[0] % std::size(Names)]);
    PXW_FUZZ_CHECK(!found.jpegReaderReads || found.libvipsItself);
    PXW_FUZZ_CHECK(!found.heavy || found.progressive);
    PXW_FUZZ_CHECK(found.progressive || found.decodeBytes == 0);
    PXW_FUZZ_CHECK(found.width <= 0xFFFF && found.height <= 0xFFFF);
    // 255 components of 65535 x 65535 pixels at most: the sum cannot overflow.
    PXW_FUZZ_CHECK(found.decodeBytes <= std::uint64_t { 255 } * 0x10000 * 0x10000 * 2 * 16);
    const std::uint64_t limit = std::uint64_t { 1 } << 30;
    PXW_FUZZ_CHECK(costRefusal(found, limit).empty() == (found.decodeBytes <= limit));
    return 0;
}
