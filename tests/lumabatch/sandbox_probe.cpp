// A hostile image reader: started by the tool in place of its readers, it enters the readers'
// sandbox as they do and then tries the attack its source file names ("ATTACK [ARGUMENT]").
// It replies "converted" when the attack worked and "failed" when it was refused; the sandbox
// may also end it, which the tool reports as a crash. VIPS_PROBE_LANDLOCK caps the Landlock
// version, as an older kernel would.

#include "lumabatch/inside/worker_loop.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <linux/io_uring.h>
#include <sched.h>
#include <signal.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// True when the attack worked.
bool attack(const std::string& name, const std::string& argument, int sourceFd) {
    const std::string own = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "";
    if (name == "write-own-folder")
        return ::open((own + "/scratch").c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600) >= 0;
    if (name == "read-library")
        return ::open("/usr/lib", O_RDONLY | O_DIRECTORY | O_CLOEXEC) >= 0;
    if (name == "read-user-file" || name == "read-etc-shadow")
        return ::open(argument.c_str(), O_RDONLY | O_CLOEXEC) >= 0;
    if (name == "inet-socket")
        return ::socket(AF_INET, SOCK_DGRAM, 0) >= 0;
    if (name == "unix-socket")
        return ::socket(AF_UNIX, SOCK_STREAM, 0) >= 0;
    if (name == "io-uring") {
        io_uring_params params {};
        return ::syscall(SYS_io_uring_setup, 4, &params) >= 0;
    }
    if (name == "connect-outside") {
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, argument.c_str(), sizeof address.sun_path - 1);
        // The channel is the only socket a reader has.
        return ::connect(pxw::lumabatch::WorkerChannelFd, reinterpret_cast<sockaddr*>(&address),
                   sizeof address)
            == 0;
    }
    if (name == "fork") {
        const pid_t child = ::fork();
        if (child == 0)
            ::_exit(0);
        return child > 0;
    }
    if (name == "unshare")
        return ::unshare(CLONE_NEWUSER) == 0;
    if (name == "kill-parent")
        return ::kill(::getppid(), 0) == 0;
    if (name == "mknod")
        return ::mknod((own + "/disk").c_str(), S_IFBLK | 0600, makedev(8, 0)) == 0;
    if (name == "fchmod-source")
        return ::fchmod(sourceFd, 06777) == 0;
    if (name == "inherited-descriptor") {
        for (int fd = pxw::lumabatch::WorkerChannelFd + 1; fd < 1024; ++fd)
            if (fd != sourceFd && ::fcntl(fd, F_GETFD) >= 0)
                return true;
        return false;
    }
    if (name == "environment-secret")
        return std::getenv(argument.c_str()) != nullptr;
    if (name == "capability") {
        std::ifstream status("/proc/self/status");
        for (std::string line; std::getline(status, line);)
            if (line.starts_with("CapEff:") || line.starts_with("CapPrm:"))
                if (line.find_first_not_of('0', line.find_first_not_of(" \t", 7))
                    != std::string::npos)
                    return true;
        return false;
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    using namespace pxw::lumabatch;
    if (!adoptedByTool(argc, argv) || std::string(argv[1]) != WorkerArgument)
        return WorkerSetupFailed;
    const char* cap = std::getenv("VIPS_PROBE_LANDLOCK");
    if (!enterWorkerSandbox(argv[2], SandboxRole::Reader, cap ? std::atoi(cap) : 0))
        return WorkerSetupFailed;
    if (!sendReply(WorkerChannelFd, { WorkerOutcome::Ready, {} }))
        return 0;
    for (;;) {
        int sourceFd = -1;
        if (!receiveRequest(WorkerChannelFd, &sourceFd))
            return 0;
        std::array<char, 512> text {};
        const ssize_t got = ::read(sourceFd, text.data(), text.size() - 1);
        std::istringstream words(
            std::string(text.data(), static_cast<std::size_t>(std::max<ssize_t>(got, 0))));
        std::string name;
        std::string argument;
        words >> name >> argument;
        const bool worked = attack(name, argument, sourceFd);
        const std::string why
            = worked ? "allowed" : std::string("refused: ") + std::strerror(errno);
        ::close(sourceFd);
        if (!sendReply(WorkerChannelFd,
                { worked ? WorkerOutcome::Converted : WorkerOutcome::Failed, why }))
            return 0;
    }
}
