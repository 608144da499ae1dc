#include "sandbox.h"

#include "base/text.h"
#include "base/unique_fd.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <initializer_list>
#include <linux/capability.h>
#include <linux/landlock.h>
#include <linux/sched.h>
#include <pwd.h>
#include <sched.h>
#include <seccomp.h>
#include <string>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/types.h>
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
// A reader's temporary files are plain files and folders: a device node would open a disk,
// a FIFO or a socket a way to another process.
constexpr std::uint64_t SpecialFiles = LANDLOCK_ACCESS_FS_MAKE_CHAR | LANDLOCK_ACCESS_FS_MAKE_BLOCK
    | LANDLOCK_ACCESS_FS_MAKE_FIFO | LANDLOCK_ACCESS_FS_MAKE_SOCK;

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

// What the image readers load: libraries, libvips' modules and ImageMagick's coders. Of /etc
// only what a trace of the readers over every accepted format shows them reading: the loader's
// cache, ImageMagick's XML configuration, the time zone (ImageMagick's dates) and fontconfig's
// configuration, should a reader ever draw text. What the C library and the sanitizers' runtime
// ask about the process and the machine, and the null and random devices.
constexpr std::array<PathRule, 13> ReadOnlyPlaces { {
    { "/usr", ReadOnly },
    { "/lib", ReadOnly },
    { "/lib64", ReadOnly },
    { "/etc/ld.so.cache", ReadOnly },
    { "/etc/ImageMagick-6", ReadOnly },
    { "/etc/ImageMagick-7", ReadOnly },
    { "/etc/localtime", ReadOnly },
    { "/etc/fonts", ReadOnly },
    { "/proc/self", ReadOnly },
    { "/sys/devices/system/cpu", ReadOnly },
    { "/sys/devices/system/node", ReadOnly },
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
    bool added = addRule(
        ruleset, privateFolder.c_str(), attr.handledAccessFs & ~SpecialFiles, attr.handledAccessFs);
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

// The namespace flags of clone: a reader makes no namespace of its own.
constexpr std::array<scmp_datum_t, 8> NamespaceFlags { CLONE_NEWNS, CLONE_NEWCGROUP, CLONE_NEWUTS,
    CLONE_NEWIPC, CLONE_NEWUSER, CLONE_NEWPID, CLONE_NEWNET, CLONE_NEWTIME };
constexpr scmp_datum_t AnyNamespace = CLONE_NEWNS | CLONE_NEWCGROUP | CLONE_NEWUTS | CLONE_NEWIPC
    | CLONE_NEWUSER | CLONE_NEWPID | CLONE_NEWNET | CLONE_NEWTIME;

// The system calls a reader makes, found by tracing the three readers (strace -f) over every
// accepted format, with one thread and with several, and in the sanitizer build.
constexpr std::array AllowedCalls {
    // Memory: the heap, mapped files, libraries and ImageMagick's coders loaded on first use,
    // huge pages and glibc's NUMA tunables (libnuma).
    SCMP_SYS(brk),
    SCMP_SYS(mmap),
    SCMP_SYS(munmap),
    SCMP_SYS(mremap),
    SCMP_SYS(mprotect),
    SCMP_SYS(madvise),
    SCMP_SYS(get_mempolicy),
    SCMP_SYS(set_mempolicy),
    SCMP_SYS(mbind),
    // Files, within what Landlock allows: the handed source, libraries and configuration,
    // temporary files in the private folder (ImageMagick and libvips make and remove them with
    // their own umask).
    SCMP_SYS(openat),
    SCMP_SYS(open),
    SCMP_SYS(close),
    SCMP_SYS(read),
    SCMP_SYS(pread64),
    SCMP_SYS(readv),
    SCMP_SYS(write),
    SCMP_SYS(pwrite64),
    SCMP_SYS(writev),
    SCMP_SYS(lseek),
    SCMP_SYS(fstat),
    SCMP_SYS(stat),
    SCMP_SYS(lstat),
    SCMP_SYS(newfstatat),
    SCMP_SYS(statx),
    SCMP_SYS(access),
    SCMP_SYS(faccessat),
    SCMP_SYS(faccessat2),
    SCMP_SYS(readlink),
    SCMP_SYS(readlinkat),
    SCMP_SYS(getdents64),
    SCMP_SYS(fcntl),
    SCMP_SYS(dup),
    SCMP_SYS(dup2),
    SCMP_SYS(dup3),
    SCMP_SYS(ftruncate),
    SCMP_SYS(fallocate),
    SCMP_SYS(fsync),
    SCMP_SYS(fdatasync),
    SCMP_SYS(unlink),
    SCMP_SYS(unlinkat),
    SCMP_SYS(mkdir),
    SCMP_SYS(mkdirat),
    SCMP_SYS(rmdir),
    SCMP_SYS(umask),
    SCMP_SYS(getcwd),
    // The channel to the tool, inherited: requests with their descriptor in, replies out.
    SCMP_SYS(recvmsg),
    SCMP_SYS(recvfrom),
    SCMP_SYS(sendmsg),
    SCMP_SYS(shutdown),
    // Threads (libvips' pool, libheif's decoders) and their waits.
    SCMP_SYS(futex),
    SCMP_SYS(set_robust_list),
    SCMP_SYS(get_robust_list),
    SCMP_SYS(rseq),
    SCMP_SYS(set_tid_address),
    SCMP_SYS(gettid),
    SCMP_SYS(exit),
    SCMP_SYS(exit_group),
    SCMP_SYS(sched_getaffinity),
    SCMP_SYS(sched_yield),
    SCMP_SYS(nanosleep),
    SCMP_SYS(clock_nanosleep),
    SCMP_SYS(membarrier),
    SCMP_SYS(poll),
    SCMP_SYS(ppoll),
    // Signals of its own: handlers, masks, a crash's abort, and the sanitizers' own stack.
    SCMP_SYS(rt_sigaction),
    SCMP_SYS(rt_sigprocmask),
    SCMP_SYS(rt_sigreturn),
    SCMP_SYS(sigaltstack),
    // What it asks about itself and the machine: limits (ImageMagick's resources), memory
    // (glib, ImageMagick), clocks and times, random numbers (glib's hash tables).
    SCMP_SYS(getpid),
    SCMP_SYS(getppid),
    SCMP_SYS(getuid),
    SCMP_SYS(geteuid),
    SCMP_SYS(getgid),
    SCMP_SYS(getegid),
    SCMP_SYS(getresuid),
    SCMP_SYS(getresgid),
    SCMP_SYS(prlimit64),
    SCMP_SYS(getrlimit),
    SCMP_SYS(sysinfo),
    SCMP_SYS(times),
    SCMP_SYS(getrusage),
    SCMP_SYS(clock_gettime),
    SCMP_SYS(clock_getres),
    SCMP_SYS(gettimeofday),
    SCMP_SYS(time),
    SCMP_SYS(uname),
    SCMP_SYS(getrandom),
    // Its own name, and tightening the sandbox further: a forked reader enters its own on top
    // of the starter's (Landlock and seccomp only ever restrict more).
    SCMP_SYS(prctl),
    SCMP_SYS(capget),
    SCMP_SYS(capset),
    SCMP_SYS(seccomp),
    SCMP_SYS(landlock_create_ruleset),
    SCMP_SYS(landlock_add_rule),
    SCMP_SYS(landlock_restrict_self),
};

// The calls only an attack makes: they end the reader at once, and the tool reports its file
// as having crashed the reader. The rest that is not allowed fails with ENOSYS.
constexpr std::array KilledCalls {
    // Sockets of any kind: the channel to the tool is inherited.
    SCMP_SYS(socket),
    SCMP_SYS(socketpair),
    SCMP_SYS(connect),
    SCMP_SYS(bind),
    SCMP_SYS(listen),
    SCMP_SYS(accept),
    SCMP_SYS(accept4),
    // Kernel interfaces that go round the rest: io_uring (which makes sockets of its own), BPF,
    // performance counters, keys, user page faults.
    SCMP_SYS(io_uring_setup),
    SCMP_SYS(io_uring_enter),
    SCMP_SYS(io_uring_register),
    SCMP_SYS(bpf),
    SCMP_SYS(perf_event_open),
    SCMP_SYS(keyctl),
    SCMP_SYS(add_key),
    SCMP_SYS(request_key),
    SCMP_SYS(userfaultfd),
    // Namespaces and mounts.
    SCMP_SYS(unshare),
    SCMP_SYS(setns),
    SCMP_SYS(mount),
    SCMP_SYS(umount2),
    SCMP_SYS(pivot_root),
    SCMP_SYS(open_tree),
    SCMP_SYS(move_mount),
    SCMP_SYS(fsopen),
    SCMP_SYS(fsmount),
    SCMP_SYS(fspick),
    SCMP_SYS(mount_setattr),
    SCMP_SYS(chroot),
    // Other processes and programs.
    SCMP_SYS(ptrace),
    SCMP_SYS(process_vm_readv),
    SCMP_SYS(process_vm_writev),
    SCMP_SYS(pidfd_open),
    SCMP_SYS(pidfd_getfd),
    SCMP_SYS(pidfd_send_signal),
    SCMP_SYS(rt_sigqueueinfo),
    SCMP_SYS(rt_tgsigqueueinfo),
    SCMP_SYS(tkill),
    SCMP_SYS(setsid),
    SCMP_SYS(setpgid),
    SCMP_SYS(execve),
    SCMP_SYS(execveat),
    // Device nodes, and the owner, mode and attributes of files: the handed source is the
    // user's.
    SCMP_SYS(mknod),
    SCMP_SYS(mknodat),
    SCMP_SYS(chmod),
    SCMP_SYS(fchmod),
    SCMP_SYS(fchmodat),
    SCMP_SYS(chown),
    SCMP_SYS(fchown),
    SCMP_SYS(fchownat),
    SCMP_SYS(lchown),
    SCMP_SYS(setxattr),
    SCMP_SYS(lsetxattr),
    SCMP_SYS(fsetxattr),
    SCMP_SYS(removexattr),
    SCMP_SYS(lremovexattr),
    SCMP_SYS(fremovexattr),
    SCMP_SYS(utimensat),
    SCMP_SYS(futimesat),
    SCMP_SYS(utimes),
    SCMP_SYS(utime),
};

// A test of a call's argument (libseccomp's own macros are C).
scmp_arg_cmp compare(
    unsigned argument, scmp_compare op, scmp_datum_t value, scmp_datum_t other = 0) {
    return { argument, op, value, other };
}

Status restrictSystemCalls(SandboxRole role) {
    scmp_filter_ctx filter = seccomp_init(SCMP_ACT_ERRNO(ENOSYS));
    if (!filter)
        return Status::failure("cannot set up seccomp");
    int result = 0;
    const auto add = [&](std::uint32_t action, int call, std::initializer_list<scmp_arg_cmp> args) {
        if (result == 0)
            result = seccomp_rule_add_array(filter, action, call,
                static_cast<unsigned>(args.size()), args.size() ? std::data(args) : nullptr);
    };
    for (int call : AllowedCalls)
        add(SCMP_ACT_ALLOW, call, {});
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_UNDEFINED__)
    // The sanitizers' runtime tests whether memory may be read by writing it into a pipe.
    add(SCMP_ACT_ALLOW, SCMP_SYS(pipe), {});
    add(SCMP_ACT_ALLOW, SCMP_SYS(pipe2), {});
#endif
    for (int call : KilledCalls)
        add(SCMP_ACT_KILL_PROCESS, call, {});
    // Replies are sent on the connected channel; an address would be another socket's.
    add(SCMP_ACT_ALLOW, SCMP_SYS(sendto), { compare(4, SCMP_CMP_EQ, 0) });
    add(SCMP_ACT_KILL_PROCESS, SCMP_SYS(sendto), { compare(4, SCMP_CMP_NE, 0) });
    // glibc starts threads with clone3, whose flags a filter cannot read: it is left out, and
    // glibc falls back to clone when clone3 is missing.
    // A fork would outlive the reader and escape the tool's limits. Under the sanitizers,
    // whose runtime forks to symbolise a report, it only fails.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_UNDEFINED__)
    add(SCMP_ACT_KILL_PROCESS, SCMP_SYS(fork), {});
    add(SCMP_ACT_KILL_PROCESS, SCMP_SYS(vfork), {});
#endif
    for (scmp_datum_t flag : NamespaceFlags)
        add(SCMP_ACT_KILL_PROCESS, SCMP_SYS(clone), { compare(0, SCMP_CMP_MASKED_EQ, flag, flag) });
    const auto self = static_cast<scmp_datum_t>(::getpid());
    if (role == SandboxRole::Starter) {
        // The starter forks the readers, and waits for them once the tool is done. Signals are
        // left to each reader's own filter, which knows its process number.
        add(SCMP_ACT_ALLOW, SCMP_SYS(clone), { compare(0, SCMP_CMP_MASKED_EQ, AnyNamespace, 0) });
        add(SCMP_ACT_ALLOW, SCMP_SYS(wait4), {});
        add(SCMP_ACT_ALLOW, SCMP_SYS(kill), {});
        add(SCMP_ACT_ALLOW, SCMP_SYS(tgkill), {});
    } else {
        // Threads only, in no namespace of their own.
        add(SCMP_ACT_ALLOW, SCMP_SYS(clone),
            { compare(0, SCMP_CMP_MASKED_EQ, AnyNamespace | CLONE_THREAD, CLONE_THREAD) });
        add(SCMP_ACT_KILL_PROCESS, SCMP_SYS(clone),
            { compare(0, SCMP_CMP_MASKED_EQ, CLONE_THREAD, 0) });
        // Signals to itself only (abort, a thread's wake-up).
        add(SCMP_ACT_ALLOW, SCMP_SYS(kill), { compare(0, SCMP_CMP_EQ, self) });
        add(SCMP_ACT_KILL_PROCESS, SCMP_SYS(kill), { compare(0, SCMP_CMP_NE, self) });
        add(SCMP_ACT_ALLOW, SCMP_SYS(tgkill), { compare(0, SCMP_CMP_EQ, self) });
        add(SCMP_ACT_KILL_PROCESS, SCMP_SYS(tgkill), { compare(0, SCMP_CMP_NE, self) });
    }
    if (result == 0)
        result = seccomp_load(filter);
    seccomp_release(filter);
    if (result != 0)
        return failure("cannot enter the seccomp filter", -result);
    return Status::success();
}

// No capabilities, none to regain; started by root, the reader's user (see readerUser), so
// that nothing root owns is the reader's.
Status dropPrivileges() {
    const ReaderUser user = readerUser();
    if (user.switched && ::getuid() == 0) {
        for (int capability = 0; capability <= CAP_LAST_CAP; ++capability)
            if (::prctl(PR_CAPBSET_DROP, capability, 0, 0, 0) != 0 && errno != EINVAL)
                return failure("cannot clear the capability bounding set", errno);
        if (::setgroups(0, nullptr) != 0 || ::setresgid(user.gid, user.gid, user.gid) != 0
            || ::setresuid(user.uid, user.uid, user.uid) != 0)
            return failure("cannot switch to the user nobody", errno);
    }
    ::prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
    __user_cap_header_struct header { _LINUX_CAPABILITY_VERSION_3, 0 };
    std::array<__user_cap_data_struct, _LINUX_CAPABILITY_U32S_3> none {};
    if (::syscall(SYS_capset, &header, none.data()) != 0)
        return failure("cannot drop the capabilities", errno);
    return Status::success();
}

// Without Landlock: the file view of a new user and mount namespace, whose root holds only the
// places above (read-only), this process's own /proc entry and the private folder. Set once:
// a forked reader keeps its starter's view.
bool filesHidden = false;

bool writeText(const char* file, const std::string& text) {
    const base::UniqueFd fd(::open(file, O_WRONLY | O_CLOEXEC));
    return fd && ::write(fd.get(), text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

// Binds `source` at the same path under `root`, read-only unless `writable`. A bind keeps the
// flags its mount had (the namespace may not lift them), so they are asked for again.
bool bindInto(const fs::path& root, const fs::path& source, bool writable) {
    std::error_code ec;
    const fs::path target = root / source.relative_path();
    const bool folder = fs::is_directory(source, ec);
    fs::create_directories(folder ? target : target.parent_path(), ec);
    if (!folder)
        base::UniqueFd(::open(target.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
    if (::mount(source.c_str(), target.c_str(), nullptr, MS_BIND | MS_REC, nullptr) != 0)
        return false;
    struct statvfs kept { };
    if (::statvfs(target.c_str(), &kept) != 0)
        return false;
    unsigned long flags = MS_BIND | MS_REMOUNT | MS_NOSUID | (writable ? 0 : MS_RDONLY);
    for (const auto& [has, flag] : { std::pair { ST_NODEV, MS_NODEV }, { ST_NOEXEC, MS_NOEXEC },
             { ST_NOATIME, MS_NOATIME }, { ST_NODIRATIME, MS_NODIRATIME },
             { ST_RELATIME, MS_RELATIME }, { ST_RDONLY, MS_RDONLY } })
        flags |= (kept.f_flag & has) ? flag : 0;
    return ::mount(nullptr, target.c_str(), nullptr, flags, nullptr) == 0;
}

Status hideFiles(const fs::path& privateFolder) {
    const uid_t uid = ::getuid();
    const gid_t gid = ::getgid();
    // A process that changed its user may not write its own maps until it is dumpable again.
    ::prctl(PR_SET_DUMPABLE, 1, 0, 0, 0);
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
        return failure("cannot enter a user namespace", errno);
    if (!writeText("/proc/self/setgroups", "deny")
        || !writeText("/proc/self/uid_map", std::to_string(uid) + " " + std::to_string(uid) + " 1")
        || !writeText("/proc/self/gid_map", std::to_string(gid) + " " + std::to_string(gid) + " 1"))
        return failure("cannot map the user namespace", errno);
    const fs::path root = privateFolder / ".view";
    std::error_code ec;
    fs::create_directory(root, ec);
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
        || ::mount("tmpfs", root.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "mode=0755") != 0)
        return failure("cannot make the file view", errno);
    bool bound = bindInto(root, privateFolder, true)
        && bindInto(root, "/proc/" + std::to_string(::getpid()), false);
    for (const PathRule& place : ReadOnlyPlaces)
        if (fs::exists(place.path, ec))
            bound = bound && bindInto(root, place.path, false);
    fs::create_directory_symlink(std::to_string(::getpid()), root / "proc/self", ec);
    fs::create_directory(root / ".old", ec);
    if (!bound || ::syscall(SYS_pivot_root, root.c_str(), (root / ".old").c_str()) != 0
        || ::chdir("/") != 0 || ::umount2("/.old", MNT_DETACH) != 0)
        return failure("cannot enter the file view", errno);
    ::rmdir("/.old");
    ::mount(nullptr, "/", nullptr, MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV, nullptr);
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    filesHidden = true;
    return Status::success();
}

} // namespace

int landlockVersion() {
    const long version
        = ::syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
    return version > 0 ? static_cast<int>(version) : 0;
}

namespace {

// Whether `id` has a meaning in this process's user namespace (a line of /proc/self/uid_map or
// gid_map: first id inside, first id outside, count).
bool mappedHere(const char* map, unsigned id) {
    std::FILE* file = std::fopen(map, "re");
    if (!file)
        return false;
    unsigned inside = 0;
    unsigned outside = 0;
    unsigned count = 0;
    bool mapped = false;
    while (!mapped && std::fscanf(file, "%u %u %u", &inside, &outside, &count) == 3)
        mapped = id >= inside && id - inside < count;
    std::fclose(file);
    return mapped;
}

} // namespace

ReaderUser readerUser() {
    // The tool looks the user up before any reader is sandboxed; 65534 where there is none.
    // Root of a user namespace that does not map that user (unshare -r maps root alone) is an
    // unprivileged user outside it, and stays who it is, without capabilities.
    static const ReaderUser reader = [] {
        if (::geteuid() != 0)
            return ReaderUser { ::geteuid(), ::getegid(), false };
        const passwd* entry = ::getpwnam("nobody");
        const ReaderUser nobody = entry ? ReaderUser { entry->pw_uid, entry->pw_gid, true }
                                        : ReaderUser { 65534, 65534, true };
        if (mappedHere("/proc/self/uid_map", nobody.uid)
            && mappedHere("/proc/self/gid_map", nobody.gid))
            return nobody;
        return ReaderUser { ::geteuid(), ::getegid(), false };
    }();
    return reader;
}

void closeDescriptorsFrom(int first) {
    ::close_range(static_cast<unsigned>(first), ~0U, 0);
}

Status enterSandbox(const fs::path& privateFolder, SandboxRole role, int newestLandlock) {
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        return failure("cannot drop new privileges", errno);
    if (Status dropped = dropPrivileges(); !dropped)
        return dropped;
    int version = landlockVersion();
    if (newestLandlock != 0)
        version = std::clamp(newestLandlock, 0, version);
    if (version > 0) {
        if (Status files = restrictFiles(privateFolder, version); !files)
            return files;
    } else if (!filesHidden && hideFiles(privateFolder)) {
        // Whatever capabilities the namespace gave are dropped with the rest.
        if (Status dropped = dropPrivileges(); !dropped)
            return dropped;
    }
    // Where neither can be had, the tool has said so once.
    return restrictSystemCalls(role);
}

} // namespace pxw::lumabatch
