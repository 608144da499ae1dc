#pragma once

#include "lumabatch/reader/image_pipeline.h"

namespace pxw::lumabatch {

/// ImageMagick (Magick++) as the reader of Photo CD, MacPaint and the second tries.
const MagickReader& magickReader();

} // namespace pxw::lumabatch
