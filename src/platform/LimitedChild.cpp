#include "platform/LimitedChild.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace vorlith {

namespace {

using Clock = std::chrono::steady_clock;

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { Close(); }
    int Get() const { return fd_; }
    bool IsOpen() const { return fd_ >= 0; }
    void Close() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

// Kills and reaps the child on every way out that has not reaped it yet.
class ChildGuard {
public:
    explicit ChildGuard(pid_t pid) : pid_(pid) {}
    ChildGuard(const ChildGuard&) = delete;
    ChildGuard& operator=(const ChildGuard&) = delete;
    ~ChildGuard() {
        if (pid_ > 0)
            KillAndReap();
    }
    // The wait status, or -1 when the child was reaped by someone else.
    int KillAndReap() {
        ::kill(pid_, SIGKILL);
        return Reap(0);
    }
    // Reaps an ended child; with WNOHANG returns -2 while it still runs.
    int Reap(int options) {
        int status = 0;
        for (;;) {
            const pid_t result = ::waitpid(pid_, &status, options);
            if (result == pid_) {
                pid_ = -1;
                return status;
            }
            if (result == 0)
                return -2;
            if (errno == EINTR)
                continue;
            pid_ = -1; // ECHILD: someone else reaped it
            return -1;
        }
    }
    bool Running() const { return pid_ > 0; }

private:
    pid_t pid_;
};

constexpr bool UnderAddressSanitizer =
#if defined(__SANITIZE_ADDRESS__)
    true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    true;
#else
    false;
#endif
#else
    false;
#endif

void SetLimit(int resource, rlim_t soft, rlim_t hard) {
    const rlimit limit{soft, hard};
    ::setrlimit(resource, &limit);
}

// Between fork and exec only async-signal-safe calls are allowed.
[[noreturn]] void StartChild(const char* program, char* const* argv, int input, int output, int discard,
                             const ChildLimits& limits) {
    if (::dup2(input, STDIN_FILENO) < 0 || ::dup2(output, STDOUT_FILENO) < 0 ||
        ::dup2(discard, STDERR_FILENO) < 0)
        ::_exit(127);
    ::close_range(3, ~0U, 0);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    if (limits.MemoryBytes != 0 && !UnderAddressSanitizer)
        SetLimit(RLIMIT_AS, limits.MemoryBytes, limits.MemoryBytes);
    if (limits.CpuSeconds > 0) // SIGXCPU at the soft limit, SIGKILL one second later
        SetLimit(RLIMIT_CPU, static_cast<rlim_t>(limits.CpuSeconds),
                 static_cast<rlim_t>(limits.CpuSeconds) + 1);
    // No files written and no core dumps; a write to a file fails instead of killing the child.
    SetLimit(RLIMIT_FSIZE, 0, 0);
    SetLimit(RLIMIT_CORE, 0, 0);
    ::signal(SIGXFSZ, SIG_IGN);
    ::execve(program, argv, environ);
    ::_exit(127);
}

ChildOutcome NotStarted(const std::string& why) {
    ChildOutcome outcome;
    outcome.How = ChildOutcome::Ending::NotStarted;
    outcome.Output = why;
    return outcome;
}

void Ended(ChildOutcome& outcome, int status) {
    if (status >= 0 && WIFSIGNALED(status)) {
        outcome.How = ChildOutcome::Ending::Signalled;
        outcome.Status = WTERMSIG(status);
    } else {
        outcome.How = ChildOutcome::Ending::Exited;
        outcome.Status = status >= 0 ? WEXITSTATUS(status) : 0;
    }
}

} // namespace

bool ChildMemoryLimitIsSkipped() {
    return UnderAddressSanitizer;
}

ChildOutcome RunLimitedChild(const std::string& program, const std::vector<std::string>& arguments,
                             std::string_view input, const ChildLimits& limits) {
    if (::access(program.c_str(), X_OK) != 0)
        return NotStarted(program + ": " + std::strerror(errno));

    // Everything the child needs is prepared before the fork.
    std::vector<std::string> words{program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    // Input goes through a socket so that a child that stops reading gives EPIPE, not SIGPIPE.
    int inputPair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, inputPair) != 0)
        return NotStarted(std::string("socketpair: ") + std::strerror(errno));
    Descriptor inputOurs(inputPair[0]), inputTheirs(inputPair[1]);
    int outputPipe[2];
    if (::pipe2(outputPipe, O_CLOEXEC) != 0)
        return NotStarted(std::string("pipe: ") + std::strerror(errno));
    Descriptor outputOurs(outputPipe[0]), outputTheirs(outputPipe[1]);
    Descriptor discard(::open("/dev/null", O_WRONLY | O_CLOEXEC));
    if (!discard.IsOpen())
        return NotStarted(std::string("/dev/null: ") + std::strerror(errno));

    const Clock::time_point deadline = Clock::now() + limits.Deadline;
    const pid_t pid = ::fork();
    if (pid < 0)
        return NotStarted(std::string("fork: ") + std::strerror(errno));
    if (pid == 0)
        StartChild(argv[0], argv.data(), inputTheirs.Get(), outputTheirs.Get(), discard.Get(), limits);

    ChildGuard child(pid);
    inputTheirs.Close();
    outputTheirs.Close();
    discard.Close();
    // Tells when the child ends; without it (old kernels) its end is polled.
    Descriptor ended(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
    ::fcntl(inputOurs.Get(), F_SETFL, O_NONBLOCK);
    ::fcntl(outputOurs.Get(), F_SETFL, O_NONBLOCK);

    ChildOutcome outcome;
    std::size_t written = 0;
    if (input.empty())
        inputOurs.Close();
    int status = -2;
    char chunk[65536];
    while (outputOurs.IsOpen() || status == -2) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            child.KillAndReap();
            outcome.How = ChildOutcome::Ending::TimedOut;
            return outcome;
        }
        pollfd watched[3];
        nfds_t count = 0;
        if (inputOurs.IsOpen())
            watched[count++] = {inputOurs.Get(), POLLOUT, 0};
        if (outputOurs.IsOpen())
            watched[count++] = {outputOurs.Get(), POLLIN, 0};
        if (ended.IsOpen() && status == -2)
            watched[count++] = {ended.Get(), POLLIN, 0};
        const bool pollEnd = status == -2 && !ended.IsOpen();
        const int wait = static_cast<int>(pollEnd ? std::min<long long>(left.count(), 5) : left.count());
        if (count == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(wait));
        else if (::poll(watched, count, wait) < 0 && errno != EINTR)
            break;

        for (nfds_t i = 0; i < count; ++i) {
            if (watched[i].revents == 0)
                continue;
            if (watched[i].fd == inputOurs.Get()) {
                const ssize_t sent = ::send(inputOurs.Get(), input.data() + written, input.size() - written,
                                            MSG_NOSIGNAL | MSG_DONTWAIT);
                if (sent > 0)
                    written += static_cast<std::size_t>(sent);
                // A child that stops reading gets no more; what it answers tells the rest.
                if (written == input.size() || (sent < 0 && errno != EAGAIN && errno != EINTR))
                    inputOurs.Close();
            } else if (watched[i].fd == outputOurs.Get()) {
                const ssize_t got = ::read(outputOurs.Get(), chunk, sizeof chunk);
                if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) {
                    outputOurs.Close();
                } else if (got > 0) {
                    if (outcome.Output.size() + static_cast<std::size_t>(got) > limits.MaxOutputBytes) {
                        child.KillAndReap();
                        outcome.How = ChildOutcome::Ending::OutputTooLarge;
                        outcome.Output.clear();
                        return outcome;
                    }
                    outcome.Output.append(chunk, static_cast<std::size_t>(got));
                }
            }
        }
        if (status == -2)
            status = child.Reap(WNOHANG);
    }
    if (status == -2)
        status = child.KillAndReap();
    Ended(outcome, status);
    return outcome;
}

} // namespace vorlith
