#pragma once

#include <string_view>

namespace pxw::lumabatch {

/// Whether the ICC profile `profile` can describe pixels of the colour space `space` ("RGB ",
/// "GRAY", "CMYK"). Abstract, device-link and named-colour profiles describe no image, whatever
/// space they name: both readers then take the pixels as sRGB, as libvips does. Input,
/// display, output (the profiles of CMYK press files) and colour-space profiles can.
inline bool describesPixels(std::string_view profile, std::string_view space) {
    constexpr std::size_t HeaderSize = 128;
    constexpr std::size_t ClassOffset = 12;
    constexpr std::size_t SpaceOffset = 16;
    if (profile.size() < HeaderSize || profile.substr(SpaceOffset, 4) != space)
        return false;
    const std::string_view deviceClass = profile.substr(ClassOffset, 4);
    return deviceClass != "abst" && deviceClass != "link" && deviceClass != "nmcl";
}

} // namespace pxw::lumabatch
