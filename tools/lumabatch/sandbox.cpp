#include "sandbox.h"

#include "base/text.h"
#include "base/unique_fd.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/landlock.h>
#include <seccomp.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace fs = std::filesystem;
using pxw::platform::Status;

namespace pxw::lumabatch {

namespace {

// Access rights by the Landlock version that introduced them; the header of an older
// system may lack the later ones.
constexpr std::uint64_t FsRightsV1 = (1ULL << 13) - 1; // execute .. make symlink
constexpr std::uint64_t FsRefer = 1ULL << 13; // version 2
constexpr std::uint64_t FsTruncate = 1ULL << 14; // version 3
constexpr std::uint64_t FsIoctlDev = 1ULL << 15; // version 5
constexpr std::uint64_t NetBindAndConnectTcp = 3; // version 4
constexpr std::uint64_t ScopeAbstractSocketsAndSignals = 3; // version 6

constexpr std::uint64_t ReadOnly
    = LANDLOCK_ACCESS_FS_EXECUTE | LANDLOCK_ACCESS_FS_READ_FILE | LANDLOCK_ACCESS_FS_READ_DIR;
constexpr std::uint64_t FileRights = LANDLOCK_ACCESS_FS_EXECUTE | LANDLOCK_ACCESS_FS_WRITE_FILE
    | LANDLOCK_ACCESS_FS_READ_FILE | FsTruncate | FsIoctlDev;

// The ruleset attribute of the newest version known here; a kernel of an older version
// accepts it as long as the fields it does not know are zero.
struct RulesetAttr {
    std::uint64_t handledAccessFs;
    std::uint64_t handledAccessNet;
    std::uint64_t scoped;
};

struct PathRule {
    const char* path;
    std::uint64_t access;
};

// What the image readers load (libraries, libvips' modules, ImageMagick's coders and its
// XML configuration), what the C library asks about the machine, and the null device.
constexpr std::array<PathRule, 8> ReadOnlyPlaces { {
    { "/usr", ReadOnly },
    { "/lib", ReadOnly },
    { "/lib64", ReadOnly },
    { "/etc", ReadOnly },
    { "/proc/self", ReadOnly },
    { "/sys/devices/system/cpu", ReadOnly },
    { "/dev/null", LANDLOCK_ACCESS_FS_READ_FILE | LANDLOCK_ACCESS_FS_WRITE_FILE },
    { "/dev/urandom", LANDLOCK_ACCESS_FS_READ_FILE },
} };

Status failure(const std::string& what, int error) {
    return Status::failure(what + ": " + base::errorText(error));
}

bool addRule(int ruleset, const char* path, std::uint64_t access, std::uint64_t handled) {
    const base::UniqueFd fd(::open(path, O_PATH | O_CLOEXEC));
    if (!fd)
        return errno == ENOENT; // a folder this system does not have needs no rule
    struct stat info { };
    ::fstat(fd.get(), &info);
    landlock_path_beneath_attr rule {};
    rule.allowed_access = (S_ISDIR(info.st_mode) ? access : access & FileRights) & handled;
    rule.parent_fd = fd.get();
    return ::syscall(SYS_landlock_add_rule, ruleset, LANDLOCK_RULE_PATH_BENEATH, &rule, 0) == 0;
}

Status restrictFiles(const fs::path& privateFolder, int version) {
    RulesetAttr attr {};
    attr.handledAccessFs = FsRightsV1 | (version >= 2 ? FsRefer : 0)
        | (version >= 3 ? FsTruncate : 0) | (version >= 5 ? FsIoctlDev : 0);
    attr.handledAccessNet = version >= 4 ? NetBindAndConnectTcp : 0;
    attr.scoped = version >= 6 ? ScopeAbstractSocketsAndSignals : 0;
    const int ruleset
        = static_cast<int>(::syscall(SYS_landlock_create_ruleset, &attr, sizeof attr, 0));
    if (ruleset < 0)
        return failure("cannot create a Landlock ruleset", errno);
    bool added
        = addRule(ruleset, privateFolder.c_str(), attr.handledAccessFs, attr.handledAccessFs);
    for (const PathRule& place : ReadOnlyPlaces)
        added = added && addRule(ruleset, place.path, place.access, attr.handledAccessFs);
    const int error = errno;
    if (!added) {
        ::close(ruleset);
        return failure("cannot add a Landlock rule", error);
    }
    const long restricted = ::syscall(SYS_landlock_restrict_self, ruleset, 0);
    const int restrictError = errno;
    ::close(ruleset);
    if (restricted != 0)
        return failure("cannot enter the Landlock ruleset", restrictError);
    return Status::success();
}

Status restrictSystemCalls() {
    scmp_filter_ctx filter = seccomp_init(SCMP_ACT_ALLOW);
    if (!filter)
        return Status::failure("cannot set up seccomp");
    const std::uint32_t refuse = SCMP_ACT_ERRNO(EPERM);
    int result = 0;
    for (int call : { SCMP_SYS(execve), SCMP_SYS(execveat), SCMP_SYS(ptrace),
             SCMP_SYS(process_vm_readv), SCMP_SYS(process_vm_writev) })
        result = result ? result : seccomp_rule_add(filter, refuse, call, 0);
    // Only local sockets: a reader has nobody to talk to over a network.
    if (result == 0) {
        const scmp_arg_cmp notLocal { 0, SCMP_CMP_NE, AF_UNIX, 0 };
        result
            = seccomp_rule_add(filter, SCMP_ACT_ERRNO(EAFNOSUPPORT), SCMP_SYS(socket), 1, notLocal);
    }
    if (result == 0)
        result = seccomp_load(filter);
    seccomp_release(filter);
    if (result != 0)
        return failure("cannot enter the seccomp filter", -result);
    return Status::success();
}

} // namespace

int landlockVersion() {
    const long version
        = ::syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
    return version > 0 ? static_cast<int>(version) : 0;
}

Status enterSandbox(const fs::path& privateFolder, int newestLandlock) {
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        return failure("cannot drop new privileges", errno);
    int version = landlockVersion();
    if (newestLandlock > 0)
        version = std::min(version, newestLandlock);
    if (version > 0) {
        if (Status files = restrictFiles(privateFolder, version); !files)
            return files;
    }
    return restrictSystemCalls();
}

} // namespace pxw::lumabatch
