#include "sandbox_setup.h"

#include "lumabatch/inside/sandbox.h"

#include <algorithm>
#include <array>
#include <grp.h>
#include <sched.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace pxw::lumabatch {

void handToReaderUser(const fs::path& folder) {
    if (const ReaderUser user = readerUser(); user.switched)
        static_cast<void>(::chown(folder.c_str(), user.uid, user.gid));
}

bool passedToReaders(std::string_view entry) {
    static constexpr std::array<std::string_view, 9> Kept { "LANG=", "LANGUAGE=", "LC_",
        "TMPDIR=", "MAGICK_", "VIPS_", "GLIBC_TUNABLES=", "ASAN_OPTIONS=", "UBSAN_OPTIONS=" };
    return std::any_of(Kept.begin(), Kept.end(),
        [entry](std::string_view prefix) { return entry.starts_with(prefix); });
}

bool canHideFiles() {
    const ReaderUser user = readerUser();
    const pid_t child = ::fork();
    if (child == 0) {
        if (user.switched
            && (::setgroups(0, nullptr) != 0 || ::setresgid(user.gid, user.gid, user.gid) != 0
                || ::setresuid(user.uid, user.uid, user.uid) != 0))
            ::_exit(1);
        ::_exit(::unshare(CLONE_NEWUSER | CLONE_NEWNS) == 0 ? 0 : 1);
    }
    int status = 1;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status)
        && WEXITSTATUS(status) == 0;
}

} // namespace pxw::lumabatch
