#include "terminal/engine/PseudoTerminalHelpers.hpp"

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

    int master = -1;
    pid_t pid = forkpty(&master, nullptr, nullptr, &desiredWindowSize);
    if (pid < 0) return std::nullopt;
    if (pid == 0) {
        if (directory) (void)chdir(directory);
        // The child must not hold other children's masters (or anything else of ours).
        if (close_range(3, UINT_MAX, 0) != 0) {
            for (int fd = 3; fd < 65536; ++fd) close(fd);
        }
        // A shell must start with default signal handling: an ignored SIGPIPE or a blocked
        // signal inherited from the application would change how every pipeline behaves.
        struct sigaction defaultAction {};
        defaultAction.sa_handler = SIG_DFL;
        for (int sig = 1; sig < NSIG; ++sig) (void)sigaction(sig, &defaultAction, nullptr);
        // sigaction refuses the signals the C library keeps for itself (32 and 33), and an ignored
        // one survives exec (make, for one, runs its recipes with them ignored): ask the kernel.
        struct KernelSigaction {
            void (*handler)(int);
            unsigned long flags;
            void (*restorer)();
            unsigned long mask;
        } kernelDefault{SIG_DFL, 0, nullptr, 0};
        for (int sig = 32; sig < SIGRTMIN; ++sig)
            (void)syscall(SYS_rt_sigaction, sig, &kernelDefault, nullptr, sizeof kernelDefault.mask);
        sigset_t none;
        sigemptyset(&none);
        (void)sigprocmask(SIG_SETMASK, &none, nullptr);
        execve(path.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    // forkpty gives no way to ask for close-on-exec; set it before anything else can exec.
    fcntl(master, F_SETFD, fcntl(master, F_GETFD) | FD_CLOEXEC);
    return ForkResult{pid, master};
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
