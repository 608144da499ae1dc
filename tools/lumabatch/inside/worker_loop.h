#pragma once

#include "sandbox.h"
#include "worker_channel.h"

#include <filesystem>
#include <functional>

namespace pxw::lumabatch {

/// Exit status of a worker that could not set itself up.
inline constexpr int WorkerSetupFailed = 70;

/// Checks the command line of a worker, `PROGRAM MODE FOLDER PARENT [...]`, and ties the
/// process to the tool: it ends with it, and leaves Ctrl+C and SIGTERM to it. Closes every
/// descriptor but the standard streams and the channel. False when the process was not
/// started by the tool it names.
bool adoptedByTool(int argc, char** argv);

/// Sandboxes the process into `folder` for good (see enterSandbox); on failure says why on
/// standard error and returns false.
bool enterWorkerSandbox(const std::filesystem::path& folder, SandboxRole role = SandboxRole::Reader,
    int newestLandlock = 0);

/// The life of a worker: sandboxes the process into `folder`, calls `start` (the image
/// libraries), tells the tool it is ready, then answers each request the tool sends over
/// WorkerChannelFd with `convert` (given the open source file) until the tool closes the
/// channel. Returns the process's exit status.
int serveRequests(const std::filesystem::path& folder, const std::function<void()>& start,
    const std::function<WorkerReply(int sourceFd, const WorkerRequest&)>& convert);

} // namespace pxw::lumabatch
