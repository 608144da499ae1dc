#include "worker.h"

#include "image_pipeline.h"
#include "lumabatch/inside/worker_channel.h"
#include "lumabatch/inside/worker_loop.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <string>
#include <string_view>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace pxw::lumabatch {

namespace {

// Sandboxes this process into `folder`, starts the image libraries, then converts the images
// the tool sends until it closes the channel.
int serve(const fs::path& folder, bool withModules, const char* programPath) {
    // Told apart from a reader that starts workers (same command line) by its name.
    ::prctl(PR_SET_NAME, "image-reader");
    return serveRequests(
        folder, [&] { initImageLibraries(programPath, withModules); },
        [](int sourceFd, const WorkerRequest& request) {
            WorkerReply reply { WorkerOutcome::Converted, {} };
            Failure failure = Failure::None;
            platform::Status status = convertDescriptor(
                sourceFd, request.magickFormat, request.settings, reply.message, &failure);
            if (!status) {
                reply.outcome = failure == Failure::Unsupported ? WorkerOutcome::Unsupported
                                                                : WorkerOutcome::Failed;
                reply.message = status.message();
            }
            return reply;
        });
}

// A fork copies only the calling thread, so no other may be alive at one.
bool singleThreaded() {
    std::error_code ec;
    fs::directory_iterator threads("/proc/self/task", ec);
    return !ec && std::distance(threads, fs::directory_iterator()) == 1;
}

// Starts a worker for each channel the tool sends, by forking: the libraries are loaded,
// relocated and started once here, so a further worker costs a fork instead of a program's
// start-up.
// Each worker gets a private folder of its own under `folder`; its number is the reply.
int startWorkers(const fs::path& folder, bool withModules, const char* programPath) {
    // Each forked reader enters the strict sandbox of a reader on top of this one.
    if (!enterWorkerSandbox(folder, SandboxRole::Starter))
        return WorkerSetupFailed;
    // libvips starts no thread until it converts, so it is started here once and every
    // forked worker inherits it; it reads TMPDIR when it needs a temporary file, so each
    // worker's own setting below still holds.
    initImageLibraries(programPath, withModules);
    const pid_t self = ::getpid();
    for (;;) {
        int channel = -1;
        if (!receiveRequest(WorkerChannelFd, &channel)) {
            // The tool has ended the workers: they are waited for, so that their time counts
            // as the tool's. Nothing is left to flush, and the libraries' clean-up on exit
            // would only cost time.
            while (::wait(nullptr) > 0 || errno == EINTR) { }
            ::_exit(0);
        }
        // Should libvips ever start a thread of its own, the tool starts its workers as
        // programs instead (it does when no number comes back).
        const pid_t pid = singleThreaded() ? ::fork() : -1;
        if (pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() != self)
                ::_exit(WorkerSetupFailed);
            ::dup2(channel, WorkerChannelFd);
            ::close(channel);
            const fs::path own = folder / ("reader-" + std::to_string(::getpid()));
            if (::mkdir(own.c_str(), 0700) != 0)
                ::_exit(WorkerSetupFailed);
            ::setenv("TMPDIR", own.c_str(), 1);
            ::setenv("MAGICK_TEMPORARY_PATH", own.c_str(), 1);
            ::_exit(serve(own, withModules, programPath));
        }
        ::close(channel);
        if (!sendReply(
                WorkerChannelFd, { WorkerOutcome::Ready, pid > 0 ? std::to_string(pid) : "" }))
            return 0;
    }
}

} // namespace

int runImageReaderWorker(int argc, char** argv) {
    if (!adoptedByTool(argc, argv))
        return WorkerSetupFailed;
    const bool withModules = !(argc > 4 && std::string_view(argv[4]) == WithoutModulesArgument);
    if (std::string_view(argv[1]) == WorkerStarterArgument)
        return startWorkers(argv[2], withModules, argv[0]);
    return serve(argv[2], withModules, argv[0]);
}

} // namespace pxw::lumabatch
