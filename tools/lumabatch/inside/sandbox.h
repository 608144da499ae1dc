#pragma once

#include "platform/status.h"

#include <filesystem>
#include <sys/types.h>

namespace pxw::lumabatch {

/// The Landlock version this kernel offers, 0 when it has none.
int landlockVersion();

/// What a sandboxed process may still do besides reading images.
enum class SandboxRole {
    Reader, ///< reads images: threads, but no process of its own
    Starter, ///< forks readers, each of which then enters the Reader sandbox on top
};

/// The user readers run as when the tool is started by root (`nobody`), and whether they do.
struct ReaderUser {
    uid_t uid = 0;
    gid_t gid = 0;
    bool switched = false; ///< false: the tool's own user, which is not root
};
ReaderUser readerUser();

/// Closes every descriptor from `first` on: a reader keeps only its standard streams and its
/// channel to the tool, whatever the tool's caller left open.
void closeDescriptorsFrom(int first);

/// Restricts the calling process for good, before it reads any image:
/// - no new privileges and no capabilities; started by root, it becomes `readerUser()`;
/// - an allow-list of system calls (seccomp): anything else fails with ENOSYS, and the calls
///   only an attack makes (sockets, other processes, namespaces, changing files' owners or
///   modes, io_uring, ...) end the process at once;
/// - where the kernel has Landlock, read-only access to the folders that programs and
///   libraries load from and to the few files of /etc they read, and access to `privateFolder`
///   that makes no device node, FIFO or socket; where it has not, a user and mount namespace
///   that shows only those folders, if the kernel allows one.
/// Must run before the process starts a thread, so that every later thread inherits the
/// restrictions. `newestLandlock` caps the Landlock version used (0: the newest the kernel
/// offers; -1: none, as on a kernel without it), to try what older kernels get.
platform::Status enterSandbox(const std::filesystem::path& privateFolder,
    SandboxRole role = SandboxRole::Reader, int newestLandlock = 0);

} // namespace pxw::lumabatch
