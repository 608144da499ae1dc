#pragma once

#include "fuzz_check.h"
#include "naming.h"

#include <filesystem>

namespace pxw::fuzz {

/// Every output name of the template is one plain JPEG name inside the destination folder.
inline void checkOutputNames(const lumabatch::NameTemplate& names) {
    const std::filesystem::path destination = "/destination";
    for (const std::uint64_t index : { 0ULL, 1ULL, 9ULL, 99ULL, 123456789ULL }) {
        const std::string name = names.nameFor(index);
        PXW_FUZZ_CHECK(!name.empty() && name != "." && name != "..");
        PXW_FUZZ_CHECK(name.find_first_of(std::string("/\\\0", 3)) == std::string::npos);
        PXW_FUZZ_CHECK((destination / name).lexically_normal().parent_path() == destination);
        PXW_FUZZ_CHECK(lumabatch::hasJpegExtension(name));
    }
}

} // namespace pxw::fuzz
