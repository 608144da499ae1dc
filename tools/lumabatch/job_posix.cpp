// The Linux side of job_system.h, and the folders of the command line mapped through the drive
// table.

#include "base/unique_fd.h"
#include "isolated_converter.h"
#include "job.h"
#include "job_system.h"
#include "lumabatch/inside/sandbox.h"
#include "platform/windows_path.h"
#include "sandbox_setup.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace pxw::lumabatch {

std::optional<fs::path> resolveFolder(
    std::string_view value, const platform::DriveMap& drives, std::string* error) {
    if (value.starts_with('/'))
        return fs::path(value);
    return drives.toHost(value, error);
}

ExitStatus runJob(const Options& options, const platform::DriveMap& drives, std::ostream& err,
    const JobSettings& settings) {
    return runJob(
        options,
        [&](std::string_view value, std::string* error) {
            return resolveFolder(value, drives, error);
        },
        err, settings);
}

namespace sys {

std::string pathText(const fs::path& path) {
    return path.native();
}

fs::path pathFromText(std::string_view text) {
    return fs::path(text);
}

bool finishWorkFile(int fd, bool durable) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(fd, static_cast<mode_t>(0666 & ~mask)) != 0)
        return false;
    return !durable || ::fdatasync(fd) == 0;
}

void syncFolder(const fs::path& folder) {
    base::UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd)
        ::fsync(fd.get());
}

std::shared_ptr<void> holdShared(const fs::path& folder) {
    auto hold = std::make_shared<base::UniqueFd>(
        ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    while (*hold && ::flock(hold->get(), LOCK_SH) != 0 && errno == EINTR) { }
    return hold;
}

bool errorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

int terminalColumns() {
    winsize size {};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

void convertFiles(const std::vector<fs::path>& sources, const ConvertSettings& settings,
    const ConverterSettings& converter, const std::function<void(const std::string&)>& note,
    const std::function<void(std::size_t)>& started,
    const std::function<void(std::size_t, ConvertResult)>& finished,
    const std::atomic<bool>& stop) {
    if (landlockVersion() == 0 && !canHideFiles())
        note("this system has neither Landlock nor user namespaces; "
             "image readers run without file-system restrictions");
    std::error_code ec;
    const fs::path readers = converter.readerFolder.empty()
        ? fs::read_symlink("/proc/self/exe", ec).parent_path()
        : converter.readerFolder;
    IsolatedConverter isolated({ readers, converter.workers, converter.timeLimit,
                                   IsolatedConverter::defaultMemoryLimit(converter.workers) },
        settings);
    isolated.run(sources, started, finished, stop);
}

} // namespace sys

} // namespace pxw::lumabatch
