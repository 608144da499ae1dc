#include "worker.h"

#include "image_pipeline.h"
#include "sandbox.h"
#include "worker_channel.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <iostream>
#include <string_view>
#include <sys/prctl.h>
#include <unistd.h>

namespace pxw::lumabatch {

int runImageReaderWorker(int argc, char** argv) {
    constexpr int SetupFailed = 70;
    if (argc < 4)
        return SetupFailed;
    // Ctrl+C and SIGTERM are the tool's to handle; a worker ends with the tool.
    std::signal(SIGINT, SIG_IGN);
    std::signal(SIGTERM, SIG_IGN);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != static_cast<pid_t>(std::atol(argv[3])))
        return SetupFailed;

    if (platform::Status sandboxed = enterSandbox(argv[2]); !sandboxed) {
        std::cerr << "lumabatch: image reader: " << sandboxed.message() << "\n";
        return SetupFailed;
    }
    initImageLibraries(argv[0], !(argc > 4 && std::string_view(argv[4]) == WithoutModulesArgument));
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
        WorkerReply reply { WorkerOutcome::Converted, {} };
        Failure failure = Failure::None;
        platform::Status status = convertDescriptor(
            sourceFd, request->magickFormat, request->settings, reply.message, &failure);
        ::close(sourceFd);
        if (!status) {
            reply.outcome = failure == Failure::Unsupported ? WorkerOutcome::Unsupported
                                                            : WorkerOutcome::Failed;
            reply.message = status.message();
        }
        if (!sendReply(WorkerChannelFd, reply))
            return 0;
    }
}

} // namespace pxw::lumabatch
