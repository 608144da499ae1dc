// Stand-in program for the process tests. It writes how it was started to $PXW_CHILD_REPORT
// (one "key=value" per line), signals $PXW_CHILD_NOTIFY (a FIFO) once the report is complete,
// then, with $PXW_CHILD_GATE (a FIFO), waits until a byte arrives there or its writers are
// gone. It writes $PXW_CHILD_STDERR_BYTES bytes to its standard error, then exits with
// $PXW_CHILD_EXIT, or 0.

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// The descriptors above 2 the program found open when it started.
std::vector<int> inheritedDescriptors() {
    std::vector<int> found;
    DIR* dir = ::opendir("/proc/self/fd");
    if (!dir)
        return found;
    while (const dirent* entry = ::readdir(dir)) {
        const int fd = std::atoi(entry->d_name);
        if (entry->d_name[0] != '.' && fd > 2 && fd != ::dirfd(dir))
            found.push_back(fd);
    }
    ::closedir(dir);
    return found;
}

void writeReport(const char* path, int argc, char** argv, const std::vector<int>& descriptors) {
    const std::string partial = std::string(path) + ".part";
    {
        const char* show = std::getenv("PIXELWAIN_SHOW");
        std::ofstream out(partial);
        std::vector<char> folder(4096);
        out << "pid=" << ::getpid() << "\nppid=" << ::getppid() << "\nsid=" << ::getsid(0)
            << "\ncwd=" << (::getcwd(folder.data(), folder.size()) ? folder.data() : "?")
            << "\nargv0=" << argv[0] << "\nshow=" << (show ? show : "-") << "\nfds=";
        for (int fd : descriptors)
            out << fd << ",";
        out << "\n";
        for (int i = 1; i < argc; ++i)
            out << "arg=" << argv[i] << "\n";
    }
    std::rename(partial.c_str(), path);
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<int> descriptors = inheritedDescriptors();
    if (const char* report = std::getenv("PXW_CHILD_REPORT"))
        writeReport(report, argc, argv, descriptors);
    if (const char* notify = std::getenv("PXW_CHILD_NOTIFY")) {
        const int fd = ::open(notify, O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            [[maybe_unused]] ssize_t written = ::write(fd, "r", 1);
            ::close(fd);
        }
    }
    if (const char* gate = std::getenv("PXW_CHILD_GATE")) {
        // Opened without blocking, so a test that is already gone cannot keep it waiting.
        const int fd = ::open(gate, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            ::fcntl(fd, F_SETFL, 0);
            char byte;
            [[maybe_unused]] ssize_t got = ::read(fd, &byte, 1);
            ::close(fd);
        }
    }
    if (const char* bytes = std::getenv("PXW_CHILD_STDERR_BYTES")) {
        const std::string line(99, 'e');
        for (long left = std::atol(bytes); left > 0; left -= 100)
            std::fprintf(stderr, "%s\n", line.c_str());
    }
    const char* exitCode = std::getenv("PXW_CHILD_EXIT");
    return exitCode ? std::atoi(exitCode) : 0;
}
