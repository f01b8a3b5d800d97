#include "Fence.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/landlock.h>
#include <seccomp.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

// Debian 12's headers stop at ABI 2; newer kernels know truncation as a right of its own.
#ifndef LANDLOCK_ACCESS_FS_TRUNCATE
#define LANDLOCK_ACCESS_FS_TRUNCATE (1ULL << 14)
#endif

namespace vorlith::metafile {

namespace {

// Every file-system right the kernel's ABI knows: what is handled and not granted is refused.
__u64 HandledRights(int abi) {
    __u64 rights = LANDLOCK_ACCESS_FS_EXECUTE | LANDLOCK_ACCESS_FS_WRITE_FILE | LANDLOCK_ACCESS_FS_READ_FILE |
                   LANDLOCK_ACCESS_FS_READ_DIR | LANDLOCK_ACCESS_FS_REMOVE_DIR |
                   LANDLOCK_ACCESS_FS_REMOVE_FILE | LANDLOCK_ACCESS_FS_MAKE_CHAR | LANDLOCK_ACCESS_FS_MAKE_DIR |
                   LANDLOCK_ACCESS_FS_MAKE_REG | LANDLOCK_ACCESS_FS_MAKE_SOCK | LANDLOCK_ACCESS_FS_MAKE_FIFO |
                   LANDLOCK_ACCESS_FS_MAKE_BLOCK | LANDLOCK_ACCESS_FS_MAKE_SYM;
    if (abi >= 2)
        rights |= LANDLOCK_ACCESS_FS_REFER;
    if (abi >= 3)
        rights |= LANDLOCK_ACCESS_FS_TRUNCATE;
    return rights;
}

bool RestrictReads(int abi, const std::vector<std::string>& readable, std::string& problem) {
    landlock_ruleset_attr attributes{};
    attributes.handled_access_fs = HandledRights(abi);
    const int ruleset =
        static_cast<int>(::syscall(SYS_landlock_create_ruleset, &attributes, sizeof attributes, 0));
    if (ruleset < 0) {
        problem = std::string("Landlock: ") + std::strerror(errno);
        return false;
    }
    for (const std::string& folder : readable) {
        landlock_path_beneath_attr rule{};
        rule.parent_fd = ::open(folder.c_str(), O_PATH | O_CLOEXEC);
        if (rule.parent_fd < 0)
            continue; // not on this system
        struct stat info {};
        const bool isFolder = ::fstat(rule.parent_fd, &info) == 0 && S_ISDIR(info.st_mode);
        rule.allowed_access = LANDLOCK_ACCESS_FS_READ_FILE | LANDLOCK_ACCESS_FS_EXECUTE |
                              (isFolder ? LANDLOCK_ACCESS_FS_READ_DIR : 0);
        ::syscall(SYS_landlock_add_rule, ruleset, LANDLOCK_RULE_PATH_BENEATH, &rule, 0);
        ::close(rule.parent_fd);
    }
    const bool restricted = ::syscall(SYS_landlock_restrict_self, ruleset, 0) == 0;
    if (!restricted)
        problem = std::string("Landlock: ") + std::strerror(errno);
    ::close(ruleset);
    return restricted;
}

bool FilterSystemCalls(std::string& problem) {
    scmp_filter_ctx filter = seccomp_init(SCMP_ACT_ALLOW);
    if (filter == nullptr) {
        problem = "seccomp: cannot start a filter";
        return false;
    }
    const auto refuse = SCMP_ACT_ERRNO(EPERM);
    int failed = 0;
    for (const int call : {SCMP_SYS(socket), SCMP_SYS(socketpair), SCMP_SYS(connect), SCMP_SYS(bind),
                           SCMP_SYS(execve), SCMP_SYS(execveat), SCMP_SYS(unlink), SCMP_SYS(unlinkat),
                           SCMP_SYS(rmdir), SCMP_SYS(rename), SCMP_SYS(renameat), SCMP_SYS(renameat2),
                           SCMP_SYS(creat), SCMP_SYS(truncate), SCMP_SYS(link), SCMP_SYS(linkat),
                           SCMP_SYS(symlink), SCMP_SYS(symlinkat), SCMP_SYS(mkdir), SCMP_SYS(mkdirat),
                           SCMP_SYS(ptrace), SCMP_SYS(openat2)})
        failed |= seccomp_rule_add(filter, refuse, call, 0);
    // Opening for writing, creating or truncating: the flags are open's second argument and
    // openat's third.
    for (const unsigned flag : {unsigned(O_WRONLY), unsigned(O_RDWR), unsigned(O_CREAT), unsigned(O_TRUNC)}) {
        failed |= seccomp_rule_add(filter, refuse, SCMP_SYS(open), 1, SCMP_A1(SCMP_CMP_MASKED_EQ, flag, flag));
        failed |=
            seccomp_rule_add(filter, refuse, SCMP_SYS(openat), 1, SCMP_A2(SCMP_CMP_MASKED_EQ, flag, flag));
    }
    if (failed == 0)
        failed = seccomp_load(filter);
    seccomp_release(filter);
    if (failed != 0)
        problem = std::string("seccomp: ") + std::strerror(-failed);
    return failed == 0;
}

void AddIfSet(std::vector<std::string>& folders, const char* variable, const char* below) {
    if (const char* value = std::getenv(variable); value != nullptr && value[0] == '/')
        folders.push_back(std::string(value) + below);
}

} // namespace

int LandlockAbi() {
    const long abi = ::syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
    return abi < 0 ? 0 : static_cast<int>(abi);
}

std::vector<std::string> FontFolders() {
    std::vector<std::string> folders = {"/usr/share/fonts",           "/usr/local/share/fonts",
                                        "/usr/share/fontconfig",      "/etc/fonts",
                                        "/var/cache/fontconfig",      "/var/lib/ghostscript/fonts",
                                        "/usr/share/ghostscript/fonts"};
    AddIfSet(folders, "HOME", "/.fonts");
    AddIfSet(folders, "HOME", "/.local/share/fonts");
    AddIfSet(folders, "HOME", "/.cache/fontconfig");
    AddIfSet(folders, "XDG_DATA_HOME", "/fonts");
    AddIfSet(folders, "XDG_CACHE_HOME", "/fontconfig");
    return folders;
}

FenceReport FenceIn(const std::vector<std::string>& readable) {
    FenceReport report;
    // Neither the filter nor Landlock may be undone by a program this one could start.
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) {
        report.Problem = std::string("no_new_privs: ") + std::strerror(errno);
        return report;
    }
    report.LandlockAbi = LandlockAbi();
    if (report.LandlockAbi > 0)
        report.Landlock = RestrictReads(report.LandlockAbi, readable, report.Problem);
    else
        report.Problem = "Landlock: the kernel offers none";
    std::string filterProblem;
    report.Seccomp = FilterSystemCalls(filterProblem);
    if (!filterProblem.empty())
        report.Problem += (report.Problem.empty() ? "" : "; ") + filterProblem;
    return report;
}

} // namespace vorlith::metafile
