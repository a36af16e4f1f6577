#include "terminal/engine/LocalProcess.hpp"

#include "terminal/engine/ChildEnvironment.hpp"
#include "terminal/screen/Log.hpp"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace corvix {

namespace {
using Clock = std::chrono::steady_clock;
// Children whose output waits for the host (a drain is scheduled): they share the time slice.
std::atomic<int> busyChannels{0};
}

// What the host thread and one child's I/O thread share. It lives as long as either still
// needs it, so a task posted to the host after the LocalProcess is gone only finds `owner`
// cleared.
struct LocalProcess::Channel : std::enable_shared_from_this<Channel> {
    // Fixed at start.
    pid_t pid = 0;
    int pidfd = -1; // -1 when the kernel has none: the I/O thread then polls waitpid
    int wakeFd = -1;
    Post post;

    // The I/O thread closes it once the host has detached; otherwise the last owner does.
    int master = -1;

    std::atomic<bool> debugIO{false};
    std::atomic<int64_t> total{0};
    int64_t totalRead = 0; // I/O thread only

    // Host thread only; cleared when the host detaches or the LocalProcess is destroyed.
    LocalProcess* owner = nullptr;

    // Held while posting, so that a detached host's executor is never called again.
    std::mutex postMutex;
    bool detached = false;

    mutable std::mutex lock;
    // Guarded by `lock`.
    std::vector<std::vector<uint8_t>> pendingChunks;
    size_t pendingChunkIndex = 0;
    bool pendingScheduled = false;
    int64_t pendingBytes = 0;
    bool readSuspended = false;
    FlowStats stats;
    std::vector<uint8_t> outgoing; // sent by the host, not yet taken by the writer
    int64_t unsentBytes = 0;       // sent by the host, not yet written to the child
    bool deliveryPaused = false;   // the drain waits for the child to take what was sent
    bool stop = false;
    bool reaped = false;
    bool endOfFile = false;
    bool exitReady = false;
    bool exitReported = false;
    int32_t exitStatus = 0;
    std::optional<std::string> loggingDir;
    int64_t logFileCounter = 0;

    ~Channel()
    {
        if (pendingScheduled) busyChannels.fetch_sub(1);
        if (master >= 0) close(master);
        if (pidfd >= 0) close(pidfd);
        if (wakeFd >= 0) close(wakeFd);
    }

    void wake() const
    {
        uint64_t one = 1;
        (void)!::write(wakeFd, &one, sizeof one);
    }

    void scheduleDrain()
    {
        std::lock_guard guard(postMutex);
        if (detached) return;
        post([self = shared_from_this()] { LocalProcess::drain(self); });
    }
};

LocalProcess::LocalProcess(LocalProcessDelegate* delegate, Post post)
    : delegate_(delegate)
    , post_(std::move(post))
{
}

LocalProcess::~LocalProcess()
{
    detach(false);
}

std::optional<LocalProcess::StartError> LocalProcess::startProcess(
    const std::string& executable, const std::vector<std::string>& args,
    const std::optional<std::vector<std::string>>& environment, const std::optional<std::string>& execName,
    const std::optional<std::string>& currentDirectory)
{
    if (running_) return StartError{StartError::Step::alreadyRunning};

    winsize size{};
    if (delegate_) size = delegate_->getWindowSize();

    std::vector<std::string> argv;
    argv.reserve(args.size() + 1);
    argv.push_back(execName.value_or(executable));
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> env = environment ? *environment : childEnvironmentVariables("xterm-256color", true);

    int wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd < 0) return StartError{StartError::Step::setUp, errno};
    auto forked = PseudoTerminalHelpers::forkAndExec(executable, argv, env, currentDirectory, size);
    if (!forked) {
        const int error = errno;
        close(wakeFd);
        return StartError{StartError::Step::setUp, error};
    }

    // A previous child (its output ended) keeps being reaped, but reports nothing more.
    detach(false);

    auto channel = std::make_shared<Channel>();
    channel->pid = forked->pid;
    channel->master = forked->masterFd;
    channel->wakeFd = wakeFd;
    channel->pidfd = static_cast<int>(syscall(SYS_pidfd_open, forked->pid, 0));
    channel->post = post_;
    channel->owner = this;
    channel->debugIO = debugIO_;
    channel->loggingDir = loggingDir_;
    fcntl(forked->masterFd, F_SETFL, fcntl(forked->masterFd, F_GETFL) | O_NONBLOCK);

    try {
        std::thread(ioLoop, channel).detach();
    } catch (const std::system_error& error) {
        // Without its thread nobody would read or reap the child: end it here instead.
        kill(forked->pid, SIGKILL);
        waitpid(forked->pid, nullptr, 0);
        log::write(log::Category::process, log::Level::warning, "LocalProcess: could not start the child's I/O thread");
        return StartError{StartError::Step::ioThread, error.code().value()};
    }
    channel_ = std::move(channel);
    running_ = true;
    childfd_ = forked->masterFd;
    shellPid_ = forked->pid;
    // The failed child stays in place so that its exit (status 127) is reported as before.
    if (forked->execError != 0) return StartError{StartError::Step::exec, forked->execError};
    return std::nullopt;
}

void LocalProcess::send(std::span<const uint8_t> data)
{
    if (!running_ || !channel_) return;
    int64_t number = sendCount_++;
    if (debugIO_) {
        std::string trace = "[SEND-" + std::to_string(number) + "] Queuing data to client: [";
        for (size_t i = 0; i < data.size(); ++i) trace += (i ? ", " : "") + std::to_string(data[i]);
        log::write(log::Category::process, log::Level::debug, trace + "] ");
    }
    {
        std::lock_guard guard(channel_->lock);
        channel_->outgoing.insert(channel_->outgoing.end(), data.begin(), data.end());
        channel_->unsentBytes += static_cast<int64_t>(data.size());
        channel_->stats.highestUnsent = std::max(channel_->stats.highestUnsent, channel_->unsentBytes);
    }
    channel_->wake();
}

void LocalProcess::terminate()
{
    detach(true);
    childfd_ = -1;
    running_ = false;
}

void LocalProcess::detach(bool signalChild)
{
    if (!channel_) return;
    std::shared_ptr<Channel> c = std::move(channel_);
    c->owner = nullptr;
    {
        std::lock_guard guard(c->lock);
        // Only while unreaped: a reaped pid may already belong to someone else.
        if (signalChild && !c->reaped) kill(c->pid, SIGTERM);
        c->stop = true;
    }
    {
        std::lock_guard guard(c->postMutex);
        c->detached = true;
    }
    c->wake();
}

void LocalProcess::setHostLogging(std::optional<std::string> directory)
{
    loggingDir_ = directory;
    if (channel_) {
        std::lock_guard guard(channel_->lock);
        channel_->loggingDir = std::move(directory);
    }
}

void LocalProcess::setDebugIO(bool on)
{
    debugIO_ = on;
    if (channel_) channel_->debugIO = on;
}

int64_t LocalProcess::total() const
{
    return channel_ ? channel_->total.load() : 0;
}

LocalProcess::FlowStats LocalProcess::flowStats() const
{
    if (!channel_) return {};
    std::lock_guard guard(channel_->lock);
    return channel_->stats;
}

// Runs on the host thread: hands queued chunks to the delegate for at most one time slice, then
// yields; reports the end of output and the exit once everything before them was delivered.
void LocalProcess::drain(const std::shared_ptr<Channel>& c)
{
    const auto start = Clock::now();
    // Every busy child's drain runs once per turn of the host's loop: together they take one
    // slice, so the host's timers and painting come round as often with nine busy children as
    // with one.
    const uint64_t slice = kPendingTimeSliceNs / uint64_t(std::max(1, busyChannels.load()));
    for (;;) {
        LocalProcess* self = c->owner;
        if (!self) return;

        std::vector<uint8_t> chunk;
        bool drained = false;
        bool resume = false;
        bool outputEnded = false;
        std::optional<int32_t> exitStatus;
        {
            std::lock_guard guard(c->lock);
            if (c->unsentBytes >= kUnsentHighWaterBytes && !c->reaped && c->pendingChunkIndex < c->pendingChunks.size()) {
                // Output already read would only add replies: it waits too. The drain stays
                // scheduled; the I/O thread posts it again once the child has taken enough.
                if (!std::exchange(c->deliveryPaused, true)) c->stats.deliveryPauses++;
                return;
            }
            if (c->pendingChunkIndex >= c->pendingChunks.size()) {
                drained = true;
                c->pendingChunks.clear();
                c->pendingChunkIndex = 0;
                c->pendingBytes = 0;
                c->pendingScheduled = false;
                busyChannels.fetch_sub(1);
                outputEnded = c->endOfFile;
                if (c->exitReady && !c->exitReported) {
                    c->exitReported = true;
                    exitStatus = c->exitStatus;
                }
            } else {
                chunk = std::move(c->pendingChunks[c->pendingChunkIndex++]);
                if (c->pendingChunkIndex >= kPendingChunkFlushThreshold) {
                    c->pendingChunks.erase(c->pendingChunks.begin(),
                                           c->pendingChunks.begin() + static_cast<ptrdiff_t>(c->pendingChunkIndex));
                    c->pendingChunkIndex = 0;
                }
                c->pendingBytes -= static_cast<int64_t>(chunk.size());
                if (c->readSuspended && c->pendingBytes <= kPendingLowWaterBytes) {
                    c->readSuspended = false;
                    c->stats.resumes++;
                    c->stats.highestPendingAtResume = std::max(c->stats.highestPendingAtResume, c->pendingBytes);
                    resume = true;
                }
            }
        }

        if (drained) {
            if (outputEnded) {
                self->running_ = false;
                self->childfd_ = -1;
            }
            if (exitStatus) {
                self->running_ = false;
                if (self->delegate_) self->delegate_->processTerminated(*self, exitStatus);
            }
            return;
        }
        if (resume) c->wake();
        const size_t taken = self->delegate_ ? std::min(self->delegate_->takeData(chunk), chunk.size()) : chunk.size();
        if (taken < chunk.size()) {
            // The host stopped part way: the rest goes first, in the next slice.
            {
                std::lock_guard guard(c->lock);
                chunk.erase(chunk.begin(), chunk.begin() + static_cast<ptrdiff_t>(taken));
                c->pendingBytes += static_cast<int64_t>(chunk.size());
                if (c->pendingChunkIndex > 0) {
                    c->pendingChunks[--c->pendingChunkIndex] = std::move(chunk);
                } else {
                    c->pendingChunks.insert(c->pendingChunks.begin(), std::move(chunk));
                }
            }
            c->scheduleDrain(); // still marked scheduled
            return;
        }
        if (static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count()) >=
            slice) {
            c->scheduleDrain(); // still marked scheduled
            return;
        }
    }
}

namespace {

// Reads what is there, up to one chunk. Returns whether the slave side is gone: a Linux pty
// master reports that as EIO, which is end of file here.
bool readBatch(int fd, std::vector<uint8_t>& buffer, size_t& length)
{
    length = 0;
    while (length < buffer.size()) {
        ssize_t r = ::read(fd, buffer.data() + length, buffer.size() - length);
        if (r > 0) {
            length += static_cast<size_t>(r);
        } else if (r < 0 && errno == EINTR) {
            continue;
        } else if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return false;
        } else {
            return true;
        }
    }
    return false;
}

void writeToHostLog(const std::string& directory, int64_t& counter, std::span<const uint8_t> bytes)
{
    std::string path = directory + "/log-" + std::to_string(counter);
    FILE* file = std::fopen(path.c_str(), "wb");
    bool ok = file && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    int error = errno;
    if (file && std::fclose(file) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok) {
        counter++;
    } else {
        log::write(log::Category::process, log::Level::warning,
                   "Got error while logging data dump to " + path + ": " + std::strerror(error));
    }
}

} // namespace

// The child's I/O thread: reads the master side into the pending queue, writes what the host
// sent, and reaps the child. It ends once the child is reaped and either the output ended or
// the host detached.
void LocalProcess::ioLoop(std::shared_ptr<Channel> c)
{
    const auto grace = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(kExitGraceSeconds));
    std::vector<uint8_t> buffer(kReadSize);
    std::vector<uint8_t> writing;
    size_t written = 0;
    bool endOfFile = false;
    bool reaped = false;
    bool exitQueued = false;
    bool wasSuspended = false;
    bool unsentPaused = false; // the child has not taken what was sent: reading waits
    int32_t status = 0;
    Clock::time_point exitDeadline;

    for (;;) {
        bool stopped;
        bool suspended;
        bool resumeDelivery = false;
        {
            std::lock_guard guard(c->lock);
            stopped = c->stop;
            suspended = c->readSuspended;
            if (stopped || endOfFile || reaped) {
                // Nobody reads them any more: writes after the end are dropped quietly. Dropping
                // them also ends both pauses they caused (reading, and delivery of output already
                // read), so the rest of the output and then the exit still reach the host.
                c->outgoing.clear();
                c->unsentBytes = 0;
                writing.clear();
                written = 0;
            }
            if (c->deliveryPaused && c->unsentBytes <= kUnsentLowWaterBytes) {
                c->deliveryPaused = false;
                resumeDelivery = true;
            }
            writing.insert(writing.end(), c->outgoing.begin(), c->outgoing.end());
            c->outgoing.clear();
            if (!unsentPaused && c->unsentBytes >= kUnsentHighWaterBytes) {
                unsentPaused = true;
                c->stats.unsentPauses++;
            } else if (unsentPaused && c->unsentBytes <= kUnsentLowWaterBytes) {
                unsentPaused = false;
            }
        }
        if (resumeDelivery) c->scheduleDrain();
        const bool reading = !suspended && !unsentPaused;
        if (stopped && c->master >= 0) {
            close(c->master); // hangs up the child's terminal
            c->master = -1;
        }

        auto now = Clock::now();
        if (reaped && !exitQueued && !stopped) {
            // Time spent paused for the host does not count against the grace period.
            if (wasSuspended && !suspended) exitDeadline = std::max(exitDeadline, now + grace);
            if (endOfFile || (!suspended && now >= exitDeadline)) {
                bool schedule;
                {
                    std::lock_guard guard(c->lock);
                    c->exitReady = true;
                    c->exitStatus = status;
                    schedule = !std::exchange(c->pendingScheduled, true);
                    if (schedule) busyChannels.fetch_add(1);
                }
                if (schedule) c->scheduleDrain();
                exitQueued = true;
            }
        }
        wasSuspended = suspended;
        if (reaped && (endOfFile || stopped)) break;

        pollfd fds[3];
        nfds_t count = 0;
        int masterIndex = -1;
        int pidIndex = -1;
        fds[count++] = {c->wakeFd, POLLIN, 0};
        if (c->master >= 0 && !endOfFile) {
            short events = static_cast<short>((reading ? POLLIN : 0) | (writing.empty() ? 0 : POLLOUT));
            // A hung-up master reports POLLHUP whatever is asked, so leave it out while idle.
            if (events) {
                masterIndex = static_cast<int>(count);
                fds[count++] = {c->master, events, 0};
            }
        }
        if (!reaped && c->pidfd >= 0) {
            pidIndex = static_cast<int>(count);
            fds[count++] = {c->pidfd, POLLIN, 0};
        }
        int timeout = -1;
        if (!reaped && c->pidfd < 0) timeout = 50;
        if (reaped && !exitQueued && !stopped && !suspended && !endOfFile) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(exitDeadline - now).count();
            timeout = static_cast<int>(std::max<int64_t>(left, 0)) + 1;
        }

        int ready = poll(fds, count, timeout);
        if (ready < 0) {
            if (errno == EINTR) continue;
            log::write(log::Category::process, log::Level::warning,
                       std::string("LocalProcess: poll failed: ") + std::strerror(errno));
            break;
        }

        if (fds[0].revents & POLLIN) {
            uint64_t value;
            (void)!::read(c->wakeFd, &value, sizeof value);
        }

        if (masterIndex >= 0) {
            short revents = fds[masterIndex].revents;
            if (reading && (revents & (POLLIN | POLLHUP | POLLERR))) {
                size_t length = 0;
                bool ended = readBatch(c->master, buffer, length);
                std::optional<std::string> loggingDir;
                if (length > 0) {
                    std::span<const uint8_t> bytes(buffer.data(), length);
                    if (c->debugIO) {
                        c->totalRead += static_cast<int64_t>(length);
                        log::write(log::Category::process, log::Level::debug, "[READ] count=" + std::to_string(length) +
                                   " received from host total=" + std::to_string(c->totalRead));
                    }
                    {
                        std::lock_guard guard(c->lock);
                        loggingDir = c->loggingDir;
                    }
                    if (loggingDir) writeToHostLog(*loggingDir, c->logFileCounter, bytes);
                }
                bool schedule = false;
                {
                    std::lock_guard guard(c->lock);
                    if (length > 0) {
                        c->pendingChunks.emplace_back(buffer.begin(), buffer.begin() + static_cast<ptrdiff_t>(length));
                        c->pendingBytes += static_cast<int64_t>(length);
                        if (c->pendingBytes >= kPendingHighWaterBytes && !c->readSuspended) {
                            c->readSuspended = true;
                            c->stats.pauses++;
                            c->stats.lowestPendingAtPause = std::min(c->stats.lowestPendingAtPause, c->pendingBytes);
                        }
                    }
                    if (ended) c->endOfFile = true;
                    if (length > 0 || ended) schedule = !std::exchange(c->pendingScheduled, true);
                    if (schedule) busyChannels.fetch_add(1);
                }
                if (schedule) c->scheduleDrain();
                if (ended) endOfFile = true;
            }
            if (!writing.empty() && (revents & (POLLOUT | POLLHUP | POLLERR))) {
                const size_t before = written;
                while (written < writing.size()) {
                    ssize_t w = ::write(c->master, writing.data() + written, writing.size() - written);
                    if (w > 0) {
                        written += static_cast<size_t>(w);
                        c->total += w;
                        if (c->debugIO)
                            log::write(log::Category::process, log::Level::debug,
                                       "[SEND] completed bytes=" + std::to_string(c->total.load()));
                    } else if (w < 0 && errno == EINTR) {
                        continue;
                    } else if (w < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                        break;
                    } else {
                        // EIO: the child's side is closed; the bytes have nowhere to go.
                        if (errno != EIO)
                            log::write(log::Category::process, log::Level::warning,
                                       "Error writing data to the child, errno=" + std::to_string(errno));
                        written = writing.size();
                    }
                }
                bool resume = false;
                {
                    std::lock_guard guard(c->lock);
                    c->unsentBytes -= static_cast<int64_t>(written - before);
                    resume = c->deliveryPaused && c->unsentBytes <= kUnsentLowWaterBytes;
                    if (resume) c->deliveryPaused = false;
                }
                if (resume) c->scheduleDrain();
                if (written == writing.size()) {
                    writing.clear();
                    written = 0;
                } else if (written >= writing.size() / 2) {
                    // A child that reads slowly: drop what it took so the queue stays its size.
                    writing.erase(writing.begin(), writing.begin() + static_cast<ptrdiff_t>(written));
                    written = 0;
                }
            }
        }

        bool childChanged = pidIndex >= 0 ? (fds[pidIndex].revents & POLLIN) != 0 : !reaped;
        if (childChanged) {
            std::lock_guard guard(c->lock);
            int raw = 0;
            pid_t result = waitpid(c->pid, &raw, WNOHANG);
            // ECHILD: someone else reaped it; report 0 as nothing was reaped here.
            if (result == c->pid || (result < 0 && errno == ECHILD)) {
                c->reaped = true;
                reaped = true;
                status = result == c->pid ? raw : 0;
                exitDeadline = Clock::now() + grace;
            }
        }
    }
}

} // namespace corvix
