#include "terminal/engine/PseudoTerminalHelpers.hpp"

#include <cerrno>
#include <climits>

#include <csignal>

#include <fcntl.h>
#include <pty.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace corvix {

namespace {

// Null-terminated pointer array over strings that outlive it.
std::vector<char*> cStringArray(const std::vector<std::string>& strings)
{
    std::vector<char*> result;
    result.reserve(strings.size() + 1);
    for (const std::string& s : strings) result.push_back(const_cast<char*>(s.c_str()));
    result.push_back(nullptr);
    return result;
}

} // namespace

std::optional<PseudoTerminalHelpers::ForkResult> PseudoTerminalHelpers::forkAndExec(
    const std::string& path, const std::vector<std::string>& args, const std::vector<std::string>& env,
    const std::optional<std::string>& currentDirectory, winsize& desiredWindowSize)
{
    // Everything the child touches is made before the fork: after it, only async-signal-safe
    // calls are allowed in a threaded process.
    std::vector<char*> argv = cStringArray(args);
    std::vector<char*> envp = cStringArray(env);
    const char* directory = currentDirectory ? currentDirectory->c_str() : nullptr;

    // A failed exec is reported through this pipe; a successful one closes the child's end
    // (close-on-exec), so the parent reads end of file.
    int errorPipe[2];
    if (pipe2(errorPipe, O_CLOEXEC) != 0) return std::nullopt;
    const int errorFd = errorPipe[1];

    int master = -1;
    pid_t pid = forkpty(&master, nullptr, nullptr, &desiredWindowSize);
    if (pid < 0) {
        const int error = errno;
        close(errorPipe[0]);
        close(errorPipe[1]);
        errno = error;
        return std::nullopt;
    }
    if (pid == 0) {
        if (directory) (void)chdir(directory);
        // The child must not hold other children's masters (or anything else of ours) except
        // its end of the error pipe.
        const bool closed = (errorFd <= 3 || close_range(3, static_cast<unsigned>(errorFd) - 1, 0) == 0) &&
                            close_range(static_cast<unsigned>(errorFd < 3 ? 3 : errorFd + 1), UINT_MAX, 0) == 0;
        if (!closed) {
            for (int fd = 3; fd < 65536; ++fd) {
                if (fd != errorFd) close(fd);
            }
        }
        // A shell must start with default signal handling: an ignored SIGPIPE or a blocked
        // signal inherited from the application would change how every pipeline behaves.
        struct sigaction defaultAction {};
        defaultAction.sa_handler = SIG_DFL;
        for (int sig = 1; sig < NSIG; ++sig) {
            if (sigaction(sig, &defaultAction, nullptr) == 0) continue;
            // The C library refuses the real-time signals it keeps for itself, yet an ignored one
            // is still inherited (make ignores them): reset it through the kernel. SIG_DFL with
            // no flags and an empty mask is all zeros in every layout; the kernel's set is 64 bits.
            const unsigned long zeros[4] = {};
            (void)syscall(SYS_rt_sigaction, sig, zeros, nullptr, 8);
        }
        sigset_t none;
        sigemptyset(&none);
        (void)sigprocmask(SIG_SETMASK, &none, nullptr);
        execve(path.c_str(), argv.data(), envp.data());
        const int error = errno;
        (void)!write(errorFd, &error, sizeof error);
        _exit(127);
    }
    // forkpty gives no way to ask for close-on-exec; set it before anything else can exec.
    fcntl(master, F_SETFD, fcntl(master, F_GETFD) | FD_CLOEXEC);
    close(errorPipe[1]);
    int execError = 0;
    ssize_t count;
    do {
        count = read(errorPipe[0], &execError, sizeof execError);
    } while (count < 0 && errno == EINTR);
    if (count != static_cast<ssize_t>(sizeof execError)) execError = 0;
    close(errorPipe[0]);
    return ForkResult{pid, master, execError};
}

int32_t PseudoTerminalHelpers::setWinSize(int32_t masterPtyDescriptor, winsize& windowSize)
{
    return ioctl(masterPtyDescriptor, TIOCSWINSZ, &windowSize);
}

PseudoTerminalHelpers::Available PseudoTerminalHelpers::availableBytes(int32_t fd)
{
    int size = 0;
    int status = ioctl(fd, FIONREAD, &size);
    return {status, size};
}

} // namespace corvix
