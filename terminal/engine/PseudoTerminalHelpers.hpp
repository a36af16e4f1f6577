#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <sys/ioctl.h>

namespace corvix {

// Thin wrappers over the platform's pseudo-terminal calls.
class PseudoTerminalHelpers {
public:
    struct ForkResult {
        int32_t pid;
        int32_t masterFd;
        // The exec's errno when the program could not be executed (the child then ends with
        // status 127); 0 when the program runs.
        int32_t execError = 0;
    };
    struct Available {
        int32_t status;
        int32_t size;
    };

    // Starts `path` on a new pseudo-terminal of the given size. `args` is the whole argument
    // vector (first element included), `env` the whole environment. The child changes to
    // `currentDirectory` when one is given (a failure is ignored), keeps only descriptors 0-2,
    // and ends with status 127 when the program cannot be executed. Returns once the child has
    // executed the program or failed to. The master descriptor is close-on-exec. Nothing (with
    // errno set) when the pseudo-terminal or the fork fails.
    static std::optional<ForkResult> forkAndExec(const std::string& path, const std::vector<std::string>& args,
                                                 const std::vector<std::string>& env,
                                                 const std::optional<std::string>& currentDirectory,
                                                 winsize& desiredWindowSize);

    // Applies a window size to a pseudo-terminal (TIOCSWINSZ); returns the call's result.
    static int32_t setWinSize(int32_t masterPtyDescriptor, winsize& windowSize);

    // Bytes ready to read (FIONREAD): the call's result and the count.
    static Available availableBytes(int32_t fd);
};

} // namespace corvix
