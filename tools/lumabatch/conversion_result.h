#pragma once

#include <string>

namespace pxw::lumabatch {

/// What became of one file.
struct ConvertResult {
    bool converted = false;
    std::string jpeg; ///< when converted
    std::string reason; ///< why not
    std::string note; ///< converted, but worth telling (the second reader did it)
};

} // namespace pxw::lumabatch
