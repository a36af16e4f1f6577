#pragma once

#include "terminal/engine/PseudoTerminalHelpers.hpp"

#include <atomic>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <sys/ioctl.h>

namespace corvix {

class LocalProcess;

// The host of a LocalProcess. Every call arrives on the host's thread (the one its post function
// runs tasks on).
class LocalProcessDelegate {
public:
    virtual ~LocalProcessDelegate() = default;

    // The child has exited; `exitCode` is the raw wait status (0 when nothing could be reaped).
    // Comes after every chunk of output has been delivered.
    virtual void processTerminated(LocalProcess& source, std::optional<int32_t> exitCode) = 0;
    // One chunk of output, never empty, at most kReadSize bytes, in the order read.
    virtual void dataReceived(std::span<const uint8_t> slice) = 0;
    // The same for a host that may take only the start of the chunk: returns the bytes taken.
    // The rest is handed over again, first, in the next delivery slice.
    virtual size_t takeData(std::span<const uint8_t> slice)
    {
        dataReceived(slice);
        return slice.size();
    }
    // The window size given to a new pseudo-terminal.
    virtual winsize getWindowSize() = 0;
};

// Runs one child program on a new pseudo-terminal and moves bytes between it and a host.
//
// Threads: the object belongs to the host's thread; every member function is called there and
// every delegate call is made there, through `post`. Each child has one I/O thread that reads
// the master side, writes what the host sends (in order, across partial writes) and reaps the
// child. Output reaches the host in slices of at most kPendingTimeSliceNs per posted task,
// shared out among the children with output waiting (each still hands over at least a chunk);
// reading pauses at kPendingHighWaterBytes queued and resumes at kPendingLowWaterBytes or below.
// Nothing is dropped. Bytes sent to the child wait in a queue while it does not read; at
// kUnsentHighWaterBytes reading pauses too (replies to a child that never reads its input stop
// piling up) and resumes at kUnsentLowWaterBytes or below. Sends are never refused, so keys
// typed still reach the child; output already read waits undelivered meanwhile. Once the child
// has exited (reaped, or end of file on the master) what it was sent is dropped, whatever the
// pauses, so that its last output and its exit still come. The exit is reported once the output has reached end of file and every
// chunk before it was delivered; when the child's own children keep the terminal open, it is
// reported kExitGraceSeconds after the child was reaped, and later output still arrives.
//
// `post` must queue its task for later; it must not run it inline.
class LocalProcess {
public:
    using Post = std::function<void(std::function<void()>)>;

    static constexpr size_t kReadSize = 131072;
    static constexpr size_t kPendingChunkFlushThreshold = 32;
    static constexpr uint64_t kPendingTimeSliceNs = 4'000'000;
    static constexpr int64_t kPendingHighWaterBytes = 4'194'304;
    static constexpr int64_t kPendingLowWaterBytes = 1'048'576;
    static constexpr int64_t kUnsentHighWaterBytes = 1'048'576;
    static constexpr int64_t kUnsentLowWaterBytes = 262'144;
    // How long the exit report waits for end of file after the child was reaped, for a child
    // whose own children keep the pseudo-terminal open.
    static constexpr double kExitGraceSeconds = 0.5;

    // How back-pressure behaved so far (for the host's diagnostics and for tests).
    struct FlowStats {
        uint64_t pauses = 0;
        uint64_t resumes = 0;
        int64_t lowestPendingAtPause = std::numeric_limits<int64_t>::max();
        int64_t highestPendingAtResume = 0;
        // Pauses for bytes the child did not take, and the most such bytes queued at once.
        uint64_t unsentPauses = 0;
        int64_t highestUnsent = 0;
        // Times output already read was held back behind bytes the child did not take.
        uint64_t deliveryPauses = 0;
    };

    // `delegate` may be null; it must outlive this object or be cleared with setDelegate.
    LocalProcess(LocalProcessDelegate* delegate, Post post);
    // Stops reading and closes the master side; the child is not signalled, but it is still
    // reaped when it ends.
    ~LocalProcess();
    LocalProcess(const LocalProcess&) = delete;
    LocalProcess& operator=(const LocalProcess&) = delete;

    void setDelegate(LocalProcessDelegate* delegate) { delegate_ = delegate; }

    // Why a start did not run the program, with the failing call's errno (0 when none applies).
    struct StartError {
        enum class Step {
            alreadyRunning, // a child runs; nothing was started
            setUp,          // the pseudo-terminal, the fork or a descriptor could not be made
            exec,           // the program could not be executed
            ioThread,       // the child's I/O thread could not be started; the child was ended
        };
        Step step;
        int errorNumber = 0;

        friend bool operator==(const StartError&, const StartError&) = default;
    };

    // Starts the child unless one is running. `args` excludes the first argument, which is
    // `execName` or else `executable`. Without an environment the child gets
    // childEnvironmentVariables("xterm-256color", true). Returns nothing when the program runs.
    // On `exec` the child exists but has ended with status 127: its exit is reported like any
    // other's. On every other failure no new child runs.
    std::optional<StartError> startProcess(const std::string& executable, const std::vector<std::string>& args = {},
                                           const std::optional<std::vector<std::string>>& environment = std::nullopt,
                                           const std::optional<std::string>& execName = std::nullopt,
                                           const std::optional<std::string>& currentDirectory = std::nullopt);

    // Writes the bytes to the child while it runs; ignored otherwise.
    void send(std::span<const uint8_t> data);

    // Sends SIGTERM to the child (unless it was already reaped) and detaches from it: no further
    // delivery and no exit report. The child is still reaped when it ends.
    void terminate();

    // A directory makes every chunk read also be written to a file "log-N" in it; none stops it.
    void setHostLogging(std::optional<std::string> directory);

    bool running() const { return running_; }
    int32_t childfd() const { return childfd_; }
    int32_t shellPid() const { return shellPid_; }
    int64_t sendCount() const { return sendCount_; }
    // Bytes written to the child so far (the current child only).
    int64_t total() const;
    FlowStats flowStats() const;

    // Traces sends and reads as diagnostic lines.
    void setDebugIO(bool on);
    bool debugIO() const { return debugIO_; }

private:
    struct Channel;

    static void ioLoop(std::shared_ptr<Channel> channel);
    static void drain(const std::shared_ptr<Channel>& channel);
    void detach(bool signalChild);

    LocalProcessDelegate* delegate_;
    Post post_;
    std::shared_ptr<Channel> channel_;
    std::optional<std::string> loggingDir_;
    int32_t childfd_ = -1;
    int32_t shellPid_ = 0;
    int64_t sendCount_ = 0;
    bool running_ = false;
    bool debugIO_ = false;
};

} // namespace corvix
