#pragma once

#include <optional>

namespace pxw::lumabatch {

/// What each image becomes.
struct ConvertSettings {
    std::optional<int> width; ///< no value: no limit
    std::optional<int> height;
    bool keepProportions = false;
    int quality = 90;
    std::optional<int> dpiHorizontal; ///< no value: keep the source's resolution
    std::optional<int> dpiVertical;
};

} // namespace pxw::lumabatch
