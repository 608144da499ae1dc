#pragma once

#include "platform/status.h"

#include <filesystem>

namespace pxw::lumabatch {

/// The Landlock version this kernel offers, 0 when it has none.
int landlockVersion();

/// Restricts the calling process for good, before it reads any image: no new privileges; no
/// network sockets, no execve and no ptrace (seccomp); and, where the kernel has Landlock,
/// read-only access to the folders that programs and libraries load from, full access to
/// `privateFolder`, and no access to anything else. Must run before the process starts a
/// thread, so that every later thread inherits the restrictions. `newestLandlock` caps the
/// Landlock version used (0: the newest the kernel offers), to try what older kernels get.
platform::Status enterSandbox(const std::filesystem::path& privateFolder, int newestLandlock = 0);

} // namespace pxw::lumabatch
