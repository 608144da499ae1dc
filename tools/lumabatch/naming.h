#pragma once

// The naming rule lives with the platform, where the window uses it too.
#include "platform/output_names.h"

namespace pxw::lumabatch {

using platform::hasJpegExtension;
using platform::keptBaseName;
using platform::NameTemplate;

} // namespace pxw::lumabatch
