#include "worker_loop.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <iostream>
#include <sys/prctl.h>
#include <unistd.h>

namespace pxw::lumabatch {

bool adoptedByTool(int argc, char** argv) {
    if (argc < 4)
        return false;
    // A descriptor the tool's caller left open is none of a reader's business.
    closeDescriptorsFrom(WorkerChannelFd + 1);
    std::signal(SIGINT, SIG_IGN);
    std::signal(SIGTERM, SIG_IGN);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    return ::getppid() == static_cast<pid_t>(std::atol(argv[3]));
}

bool enterWorkerSandbox(const std::filesystem::path& folder, SandboxRole role, int newestLandlock) {
    if (platform::Status sandboxed = enterSandbox(folder, role, newestLandlock); !sandboxed) {
        std::cerr << "lumabatch: image reader: " << sandboxed.message() << "\n";
        return false;
    }
    return true;
}

int serveRequests(const std::filesystem::path& folder, const std::function<void()>& start,
    const std::function<WorkerReply(int sourceFd, const WorkerRequest&)>& convert) {
    if (!enterWorkerSandbox(folder))
        return WorkerSetupFailed;
    start();
    if (!sendReply(WorkerChannelFd, { WorkerOutcome::Ready, {} }))
        return 0;
#if !defined(__SANITIZE_ADDRESS__)
    // Set up: what a reader says while it crashes is no message of the tool's. The
    // sanitizers' reports are.
    if (const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC); null >= 0) {
        ::dup2(null, STDERR_FILENO);
        ::close(null);
    }
#endif
    for (;;) {
        int sourceFd = -1;
        std::optional<WorkerRequest> request = receiveRequest(WorkerChannelFd, &sourceFd);
        if (!request)
            return 0;
        const WorkerReply reply = convert(sourceFd, *request);
        ::close(sourceFd);
        if (!sendReply(WorkerChannelFd, reply))
            return 0;
    }
}

} // namespace pxw::lumabatch
