#include "terminal/engine/PseudoTerminalHelpers.hpp"

#include <cerrno>
#include <climits>

#include <csignal>

#include <fcntl.h>
#include <pty.h>
#include <sched.h>
#include <sys/ioctl.h>
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

constexpr size_t kChildStackBytes = 64 * 1024;

struct ChildSetup {
    const char* path;
    char* const* argv;
    char* const* envp;
    const char* directory;
    int slave;
    int errorFd;
};

// The child, until it executes the program: system calls only (it runs in the parent's memory
// while the parent waits). The errno it sets is the parent thread's, which the parent rewrites.
// Not instrumented by the address sanitizer: its frames are on a stack the sanitizer never sees
// unwound, since the child leaves through exec or _exit.
__attribute__((no_sanitize_address)) int execChild(void* argument)
{
    const ChildSetup& setup = *static_cast<const ChildSetup*>(argument);
    // A session of its own whose controlling terminal is the slave, on 0, 1 and 2.
    if (setsid() < 0 || ioctl(setup.slave, TIOCSCTTY, 0) < 0) _exit(1);
    for (int fd = 0; fd <= 2; ++fd) {
        // dup2 onto itself would keep the close-on-exec flag set for the parent.
        if (fd == setup.slave ? fcntl(fd, F_SETFD, 0) < 0 : dup2(setup.slave, fd) < 0) _exit(1);
    }
    if (setup.directory) (void)chdir(setup.directory);
    // The child must not hold other children's masters (or anything else of ours) except
    // its end of the error pipe.
    const int errorFd = setup.errorFd;
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
    execve(setup.path, setup.argv, setup.envp);
    const int error = errno;
    (void)!write(errorFd, &error, sizeof error);
    _exit(127);
}

} // namespace

std::optional<PseudoTerminalHelpers::ForkResult> PseudoTerminalHelpers::forkAndExec(
    const std::string& path, const std::vector<std::string>& args, const std::vector<std::string>& env,
    const std::optional<std::string>& currentDirectory, winsize& desiredWindowSize)
{
    // Everything the child touches is made before it starts: it shares our memory until it
    // executes the program, so it makes system calls only.
    std::vector<char*> argv = cStringArray(args);
    std::vector<char*> envp = cStringArray(env);

    int master = -1;
    int slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, &desiredWindowSize) != 0) return std::nullopt;
    // openpty gives no way to ask for close-on-exec; set it before anything else can exec.
    fcntl(master, F_SETFD, fcntl(master, F_GETFD) | FD_CLOEXEC);
    fcntl(slave, F_SETFD, fcntl(slave, F_GETFD) | FD_CLOEXEC);

    // A failed exec is reported through this pipe; a successful one closes the child's end
    // (close-on-exec), so the parent reads end of file.
    int errorPipe[2];
    if (pipe2(errorPipe, O_CLOEXEC) != 0) {
        const int error = errno;
        close(master);
        close(slave);
        errno = error;
        return std::nullopt;
    }

    ChildSetup setup{path.c_str(), argv.data(), envp.data(), currentDirectory ? currentDirectory->c_str() : nullptr,
                     slave, errorPipe[1]};
    std::vector<char> stack(kChildStackBytes);
    char* stackTop = stack.data() + stack.size();
    stackTop -= reinterpret_cast<uintptr_t>(stackTop) % 64;

    // No handler of ours may run in the child while it shares our memory: signals stay blocked
    // until it has put every disposition back to the default.
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    // Like vfork, but on a stack of its own: no copy of this process's page tables, which made
    // starting a shell slower the more memory the application held.
    const pid_t pid = clone(execChild, stackTop, CLONE_VM | CLONE_VFORK | SIGCHLD, &setup);
    const int cloneError = errno;
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);

    close(slave);
    close(errorPipe[1]);
    if (pid < 0) {
        close(errorPipe[0]);
        close(master);
        errno = cloneError;
        return std::nullopt;
    }
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
