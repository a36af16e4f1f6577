#include "terminal/engine/LocalProcess.hpp"
#include "terminal/engine/SerialQueue.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

using namespace corvix;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

constexpr auto kPatience = 30s;

std::vector<uint8_t> bytesOf(std::string_view text)
{
    return {text.begin(), text.end()};
}

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit = kPatience)
{
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool procEntryExists(int pid)
{
    return fs::exists("/proc/" + std::to_string(pid));
}

// A host of one LocalProcess that lives on a SerialQueue and records what it is told. Every
// operation on the process runs on the queue, as it would on a host's own thread.
class Host final : public LocalProcessDelegate {
public:
    explicit Host(SerialQueue& queue)
        : queue_(queue)
    {
        process = std::make_unique<LocalProcess>(this, [&queue](std::function<void()> task) { queue.post(std::move(task)); });
    }
    template <class F>
    auto onQueue(F&& fn)
    {
        std::packaged_task<decltype(fn())()> task(std::forward<F>(fn));
        auto result = task.get_future();
        queue_.post([&task] { task(); });
        return result.get();
    }

    ~Host() override
    {
        onQueue([&] { process.reset(); });
    }

    void start(const std::string& executable, const std::vector<std::string>& args,
               const std::optional<std::vector<std::string>>& environment = std::nullopt,
               const std::optional<std::string>& execName = std::nullopt,
               const std::optional<std::string>& directory = std::nullopt)
    {
        onQueue([&] { process->startProcess(executable, args, environment, execName, directory); });
    }
    void send(std::string_view text)
    {
        onQueue([&] { process->send(bytesOf(text)); });
    }

    bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = kPatience)
    {
        std::unique_lock lock(mutex);
        return changed_.wait_for(lock, limit, condition);
    }
    bool waitForExit() { return waitFor([&] { return terminations > 0; }); }
    bool waitForOutput(std::string_view text)
    {
        return waitFor([&] { return output.find(text) != std::string::npos; });
    }

    void processTerminated(LocalProcess& source, std::optional<int32_t> exitCode) override
    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(&source, process.get());
        status = exitCode;
        terminations++;
        outputAtExit = output.size();
        changed_.notify_all();
    }
    void dataReceived(std::span<const uint8_t> slice) override
    {
        EXPECT_TRUE(queue_.isCurrent());
        if (onData) onData(slice);
        std::lock_guard lock(mutex);
        output.append(slice.begin(), slice.end());
        chunks++;
        largestChunk = std::max(largestChunk, slice.size());
        smallestChunk = std::min(smallestChunk, slice.size());
        if (terminations > 0) dataAfterExit = true;
        changed_.notify_all();
    }
    size_t takeData(std::span<const uint8_t> slice) override
    {
        size_t taken = std::min(slice.size(), takeAtMost);
        {
            std::lock_guard lock(mutex);
            if (nothingEveryOtherTime && takes % 2 == 0) taken = 0;
            takes++;
        }
        if (taken > 0) dataReceived(slice.first(taken));
        return taken;
    }
    winsize getWindowSize() override { return size; }

    std::unique_ptr<LocalProcess> process;
    // What takeData takes of each chunk; the rest is to come again.
    size_t takeAtMost = SIZE_MAX;
    bool nothingEveryOtherTime = false;
    size_t takes = 0;
    std::function<void(std::span<const uint8_t>)> onData; // runs on the queue, before recording
    winsize size{25, 80, 0, 0};

    std::mutex mutex;
    std::string output;
    size_t chunks = 0;
    size_t largestChunk = 0;
    size_t smallestChunk = SIZE_MAX;
    std::optional<int32_t> status;
    int terminations = 0;
    size_t outputAtExit = 0;
    bool dataAfterExit = false;

private:
    SerialQueue& queue_;
    std::condition_variable changed_;
};

} // namespace

class LocalProcessTest : public ::testing::Test {
protected:
    SerialQueue queue;
};

TEST_F(LocalProcessTest, ReportsTheRawWaitStatusOnlyAfterAllOutputWasDelivered)
{
    struct Case {
        const char* name;
        std::string executable;
        std::vector<std::string> args;
        std::string expectedOutput;
        int32_t expectedStatus;
    };
    const Case cases[] = {
        {"exit 3 after colours and a directory", "/bin/sh",
         {"-c", R"(printf "\033[31mred\033[0m\033]7;file://h/tmp\007"; exit 3)"},
         "\x1b[31mred\x1b[0m\x1b]7;file://h/tmp\x07", 768},
        {"a lot of output, then exit 1", "/bin/sh", {"-c", R"(/usr/bin/head -c 300000 /dev/zero | /usr/bin/tr '\0' y; exit 1)"},
         std::string(300000, 'y'), 256},
        {"missing program", "/nonexistent/program", {}, "", 32512},
        {"killed by a signal", "/bin/sh", {"-c", "kill -9 $$"}, "", SIGKILL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Host host(queue);
        host.start(c.executable, c.args);
        int pid = host.onQueue([&] { return host.process->shellPid(); });
        ASSERT_GT(pid, 0);
        ASSERT_TRUE(host.waitForExit());
        std::lock_guard lock(host.mutex);
        EXPECT_EQ(host.status, c.expectedStatus);
        EXPECT_EQ(host.outputAtExit, c.expectedOutput.size());
        EXPECT_TRUE(host.output == c.expectedOutput) << host.output.substr(0, 200);
        EXPECT_FALSE(procEntryExists(pid)) << "reaped before the report";
        EXPECT_EQ(host.onQueue([&] { return host.process->running(); }), false);
    }
}

TEST_F(LocalProcessTest, PassesArgumentsEnvironmentAndDirectory)
{
    const char* script = R"(printf "%s|%s|%s|%s|%s|%s\n" "$0" "$PWD" "${TERM-unset}" "${COLORTERM-unset}" "${LANG-unset}" "${FOO-unset}")";
    {
        Host host(queue);
        host.start("/bin/sh", {"-c", script}, std::nullopt, "custom-name", "/tmp");
        ASSERT_TRUE(host.waitForExit());
        std::lock_guard lock(host.mutex);
        EXPECT_EQ(host.output, "custom-name|/tmp|xterm-256color|truecolor|en_US.UTF-8|unset\r\n");
    }
    {
        Host host(queue);
        host.start("/bin/sh", {"-c", script}, std::vector<std::string>{"FOO=a=b"}, std::nullopt,
                   "/nonexistent-directory");
        ASSERT_TRUE(host.waitForExit());
        std::lock_guard lock(host.mutex);
        EXPECT_EQ(host.output, "/bin/sh|" + fs::current_path().string() + "|unset|unset|unset|a=b\r\n");
    }
}

TEST_F(LocalProcessTest, ChildStartsWithDefaultSignalHandling)
{
    // The application may ignore SIGPIPE or block signals; its shells must not inherit that.
    struct sigaction ignore {}, previousAction {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &previousAction);
    sigset_t blocked, previousMask;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &blocked, &previousMask);

    Host host(queue);
    host.start("/bin/sh", {"-c", "grep -E '^Sig(Ign|Blk)' /proc/self/status"});
    bool exited = host.waitForExit();
    sigaction(SIGPIPE, &previousAction, nullptr);
    pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    ASSERT_TRUE(exited);
    std::lock_guard lock(host.mutex);
    // The masks are hexadecimal, bit n-1 for signal n. Only our own signals are checked: the
    // process that started the tests may leave others (glibc's reserved ones) as it likes.
    auto mask = [&](const std::string& name) -> unsigned long long {
        size_t at = host.output.find(name + ":\t");
        if (at == std::string::npos) return ~0ull;
        return std::stoull(host.output.substr(at + name.size() + 2, 16), nullptr, 16);
    };
    EXPECT_EQ(mask("SigIgn") & (1ull << (SIGPIPE - 1)), 0u) << host.output;
    EXPECT_EQ(mask("SigBlk") & (1ull << (SIGUSR1 - 1)), 0u) << host.output;
}

TEST_F(LocalProcessTest, ChildSeesTheWindowSizeAtStartAndAfterTheHostAppliesANewOne)
{
    Host host(queue);
    host.start("/bin/sh", {"-c", "/bin/stty size; read x; /bin/stty size"});
    ASSERT_TRUE(host.waitForOutput("25 80\r\n"));
    host.onQueue([&] {
        winsize size{30, 100, 0, 0};
        EXPECT_EQ(PseudoTerminalHelpers::setWinSize(host.process->childfd(), size), 0);
        host.process->send(bytesOf("\n"));
    });
    ASSERT_TRUE(host.waitForExit());
    {
        std::lock_guard lock(host.mutex);
        EXPECT_EQ(host.output, "25 80\r\n\r\n30 100\r\n");
    }

    // Without a delegate the terminal starts at 0 x 0.
    fs::path file = fs::path(testing::TempDir()) / ("local-process-size-" + std::to_string(getpid()));
    fs::remove(file);
    host.onQueue([&] {
        LocalProcess orphan(nullptr, [this](std::function<void()> task) { queue.post(std::move(task)); });
        orphan.startProcess("/bin/sh", {"-c", "/bin/stty size > '" + file.string() + ".tmp'; /bin/mv '" +
                                                  file.string() + ".tmp' '" + file.string() + "'"});
        EXPECT_TRUE(eventually([&] { return fs::exists(file); }));
    });
    EXPECT_EQ(readFile(file), "0 0\n");
    fs::remove(file);
}

TEST_F(LocalProcessTest, ChildReceivesTheReplyToItsStatusRequest)
{
    Host host(queue);
    bool replied = false;
    std::string seen;
    host.onData = [&](std::span<const uint8_t> slice) {
        seen.append(slice.begin(), slice.end());
        if (!replied && seen.find("abc\x1b[6n") != std::string::npos) {
            replied = true;
            host.process->send(bytesOf("\x1b[1;4R"));
        }
    };
    host.start("/bin/sh", {"-c", R"(/bin/stty -icanon -echo min 1; printf "abc\033[6n"; )"
                                 R"(r=$(/bin/dd bs=1 count=6 2>/dev/null); printf "%s" "$r" | /usr/bin/od -c)"});
    ASSERT_TRUE(host.waitForExit());
    std::lock_guard lock(host.mutex);
    EXPECT_EQ(host.status, 0);
    EXPECT_EQ(host.output, "abc\x1b[6n0000000 033   [   1   ;   4   R\r\n0000006\r\n");
}

TEST_F(LocalProcessTest, FloodArrivesCompleteAndInOrderWithReadingPausedAndResumed)
{
    constexpr size_t kTotal = 10485760;
    Host host(queue);
    bool first = true;
    bool pausedWhileBlocked = false;
    host.onData = [&](std::span<const uint8_t>) {
        if (!first) return;
        first = false;
        // Hold the host's thread until the reader has queued enough to pause.
        pausedWhileBlocked = eventually([&] { return host.process->flowStats().pauses > 0; });
    };
    host.start("/bin/sh", {"-c", R"(/usr/bin/head -c 10485760 /dev/zero | /usr/bin/tr '\0' x)"});
    ASSERT_TRUE(host.waitFor([&] { return host.terminations > 0; }, 120s));

    LocalProcess::FlowStats stats = host.onQueue([&] { return host.process->flowStats(); });
    std::lock_guard lock(host.mutex);
    EXPECT_TRUE(pausedWhileBlocked);
    EXPECT_EQ(host.status, 0);
    EXPECT_EQ(host.output.size(), kTotal);
    EXPECT_EQ(host.outputAtExit, kTotal);
    EXPECT_EQ(host.output.find_first_not_of('x'), std::string::npos);
    EXPECT_GE(host.smallestChunk, 1u);
    EXPECT_LE(host.largestChunk, LocalProcess::kReadSize);
    EXPECT_GE(stats.pauses, 1u);
    EXPECT_GE(stats.resumes, 1u);
    EXPECT_GE(stats.lowestPendingAtPause, LocalProcess::kPendingHighWaterBytes);
    EXPECT_LE(stats.highestPendingAtResume, LocalProcess::kPendingLowWaterBytes);
    EXPECT_FALSE(host.dataAfterExit);
}

TEST_F(LocalProcessTest, ExitWaitsForOutputLeftUnreadWhileReadingWasPaused)
{
    // The child fills the queue to the pause point, then writes a tail and exits while reading
    // is paused: the tail is still in the terminal when the child is reaped.
    Host host(queue);
    bool handled = false;
    bool reapedWhilePaused = false;
    host.onData = [&](std::span<const uint8_t> slice) {
        if (handled) return;
        handled = true;
        host.process->send(bytesOf("\n"));
        bool paused = eventually([&] { return host.process->flowStats().pauses > 0; });
        host.process->send(bytesOf("\n"));
        int pid = host.process->shellPid();
        reapedWhilePaused = paused && eventually([&] { return !procEntryExists(pid); });
    };
    host.start("/bin/sh", {"-c", R"(/bin/stty -echo; printf start; read x; )"
                                 R"(/usr/bin/head -c 4194304 /dev/zero | /usr/bin/tr '\0' p; read y; printf tail; exit 7)"});
    ASSERT_TRUE(host.waitFor([&] { return host.terminations > 0; }, 120s));
    std::lock_guard lock(host.mutex);
    EXPECT_TRUE(reapedWhilePaused);
    EXPECT_EQ(host.status, 7 << 8);
    EXPECT_EQ(host.output.size(), 5 + 4194304 + 4u);
    EXPECT_EQ(host.outputAtExit, host.output.size());
    EXPECT_EQ(host.output.substr(host.output.size() - 4), "tail");
}

TEST_F(LocalProcessTest, ExitIsReportedWhenTheChildDiesWithInputQueuedAndReadingPaused)
{
    // The child's output is read and queued while the host is busy; the host then sends more
    // than the high-water mark, which nobody reads: reading pauses, and the queued output waits
    // behind the unsent bytes. A grandchild keeps the terminal open, so writes never fail. The
    // child then writes a tail and ends: its input is dropped, its output arrives whole, then
    // its exit.
    struct Case {
        const char* name;
        const char* ending;
        int32_t expectedStatus;
    };
    const Case cases[] = {
        {"exits", "exit 6", 6 << 8},
        {"killed", "kill -9 $$", SIGKILL},
    };
    constexpr size_t kMiddle = 300000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path dir = fs::temp_directory_path() / ("brisvane-dies-" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        const fs::path written = dir / "written";
        const fs::path go = dir / "go";
        Host host(queue);
        bool queuedBehindUnsent = false;
        host.onData = [&](std::span<const uint8_t>) {
            if (queuedBehindUnsent) return;
            queuedBehindUnsent = true;
            // All the child wrote is read (queued behind this chunk) before the host sends.
            const int master = host.process->childfd();
            if (!eventually([&] {
                    return fs::exists(written) && PseudoTerminalHelpers::availableBytes(master).size == 0;
                }))
                return;
            host.process->send(std::vector<uint8_t>(2 * LocalProcess::kUnsentHighWaterBytes, 'k'));
            eventually([&] { return host.process->flowStats().unsentPauses > 0; });
        };
        const std::string script = "trap '' HUP; /bin/stty raw -echo; /bin/sleep 30 & echo $! > '" + (dir / "grandchild").string() +
                                   "'; printf start; /usr/bin/head -c " + std::to_string(kMiddle) +
                                   " /dev/zero | /usr/bin/tr '\\0' m; : > '" + written.string() + "'; while [ ! -e '" +
                                   go.string() + "' ]; do /bin/sleep 0.01; done; printf tail; " + c.ending;
        host.start("/bin/sh", {"-c", script});
        ASSERT_TRUE(eventually([&] { return host.onQueue([&] { return host.process->flowStats().deliveryPauses; }) > 0; }));
        std::ofstream(go).put('1');
        EXPECT_TRUE(host.waitFor([&] { return host.terminations > 0; }, 20s)) << "exit never reported";
        kill(std::atoi(readFile(dir / "grandchild").c_str()), SIGKILL);
        fs::remove_all(dir);
        std::lock_guard lock(host.mutex);
        EXPECT_EQ(host.status, c.expectedStatus);
        EXPECT_EQ(host.output, "start" + std::string(kMiddle, 'm') + "tail");
        EXPECT_EQ(host.outputAtExit, host.output.size());
    }
}

TEST_F(LocalProcessTest, WhatTheHostDidNotTakeComesAgainFirst)
{
    // A host that takes only the start of each chunk (a view stopping before an image it will
    // decode in the next slice), or nothing: the rest comes again, before anything newer, every
    // byte once, and the exit after it.
    const struct {
        const char* name;
        size_t takeAtMost;
        bool nothingEveryOtherTime;
        int lines;
    } cases[] = {
        {"a thousand bytes a time", 1000, false, 20000},
        {"nothing, then a hundred bytes, by turns", 100, true, 2000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Host host(queue);
        host.takeAtMost = c.takeAtMost;
        host.nothingEveryOtherTime = c.nothingEveryOtherTime;
        host.start("/bin/sh", {"-c", "/usr/bin/seq 1 " + std::to_string(c.lines) + "; exit 2"});
        ASSERT_TRUE(host.waitForExit());
        std::string expected;
        for (int i = 1; i <= c.lines; i++) expected += std::to_string(i) + "\r\n";
        std::lock_guard lock(host.mutex);
        EXPECT_EQ(host.status, 2 << 8);
        EXPECT_TRUE(host.output == expected) << host.output.size() << " of " << expected.size();
        EXPECT_EQ(host.outputAtExit, expected.size());
        EXPECT_GT(host.takes, expected.size() / c.takeAtMost);
    }
}

TEST_F(LocalProcessTest, WritesArriveInOrderAcrossPartialWrites)
{
    constexpr size_t kSize = 200000;
    fs::path file = fs::path(testing::TempDir()) / ("local-process-writes-" + std::to_string(getpid()));
    fs::remove(file);
    std::string data(kSize, ' ');
    for (size_t i = 0; i < kSize; ++i) data[i] = static_cast<char>('a' + (i * 7 + i / 13) % 26);

    Host host(queue);
    host.start("/bin/sh", {"-c", "/bin/stty raw -echo; printf ready; /usr/bin/head -c " + std::to_string(kSize) +
                                     " > '" + file.string() + "'; printf done"});
    ASSERT_TRUE(host.waitForOutput("ready"));
    host.onQueue([&] {
        // Many sends of uneven sizes, far more than the terminal's input buffer holds.
        for (size_t at = 0, step = 1; at < kSize; at += step, step = step * 3 % 5000 + 1)
            host.process->send(std::span(reinterpret_cast<const uint8_t*>(data.data()) + at, std::min(step, kSize - at)));
    });
    ASSERT_TRUE(host.waitForExit());
    EXPECT_EQ(host.onQueue([&] { return host.process->total(); }), static_cast<int64_t>(kSize));
    std::string written = readFile(file);
    EXPECT_EQ(written.size(), kSize);
    EXPECT_TRUE(written == data);
    fs::remove(file);

    // After the end, sends are ignored.
    int64_t before = host.onQueue([&] { return host.process->sendCount(); });
    host.send("late");
    EXPECT_EQ(host.onQueue([&] { return host.process->sendCount(); }), before);
}

TEST_F(LocalProcessTest, StartIsIgnoredWhileRunningAndWorksAgainAfterTheExit)
{
    Host host(queue);
    host.start("/bin/sh", {"-c", "read x; exit 5"});
    int firstPid = host.onQueue([&] { return host.process->shellPid(); });
    host.start("/bin/sh", {"-c", "exit 1"});
    EXPECT_EQ(host.onQueue([&] { return host.process->shellPid(); }), firstPid);
    host.send("go\n");
    ASSERT_TRUE(host.waitForExit());
    EXPECT_EQ(host.status, 5 << 8);

    host.start("/bin/sh", {"-c", "exit 2"});
    EXPECT_NE(host.onQueue([&] { return host.process->shellPid(); }), firstPid);
    ASSERT_TRUE(host.waitFor([&] { return host.terminations == 2; }));
    EXPECT_EQ(host.status, 2 << 8);
}

TEST_F(LocalProcessTest, ExitIsReportedWhenAGrandchildKeepsTheTerminalOpen)
{
    Host host(queue);
    host.start("/bin/sh", {"-c", "trap '' HUP; /bin/sleep 60 & echo $!; exit 4"});
    ASSERT_TRUE(host.waitForExit());
    std::string output;
    {
        std::lock_guard lock(host.mutex);
        EXPECT_EQ(host.status, 4 << 8);
        output = host.output;
    }
    int grandchild = std::atoi(output.c_str());
    ASSERT_GT(grandchild, 0);
    kill(grandchild, SIGKILL);
}

TEST_F(LocalProcessTest, TerminateReportsNothingLeavesNoZombieAndChildrenInheritNoMasters)
{
    auto waitUntilExecuted = [](int pid) {
        return eventually([&] { return readFile("/proc/" + std::to_string(pid) + "/comm") == "sleep\n"; });
    };
    Host first(queue);
    first.start("/bin/sleep", {"100"});
    auto [firstPid, firstMaster] = first.onQueue([&] { return std::pair(first.process->shellPid(), first.process->childfd()); });
    ASSERT_TRUE(waitUntilExecuted(firstPid));
    EXPECT_TRUE(fcntl(firstMaster, F_GETFD) & FD_CLOEXEC);

    Host second(queue);
    second.start("/bin/sleep", {"100"});
    int secondPid = second.onQueue([&] { return second.process->shellPid(); });
    ASSERT_TRUE(waitUntilExecuted(secondPid));
    // The program's loader may hold a file open for a moment; an inherited descriptor stays.
    std::string fds;
    auto onlyTheTerminal = [&] {
        fds.clear();
        std::error_code error;
        for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(secondPid) + "/fd", error))
            fds += entry.path().filename().string() + "->" + fs::read_symlink(entry.path(), error).string() + " ";
        std::string pts = "/dev/pts/";
        return std::count(fds.begin(), fds.end(), '>') == 3 && fds.find("0->" + pts) == 0 &&
               fds.find(" 1->" + pts) != std::string::npos && fds.find(" 2->" + pts) != std::string::npos;
    };
    EXPECT_TRUE(eventually(onlyTheTerminal)) << fds;

    for (Host* host : {&first, &second}) {
        int pid = host->onQueue([&] {
            host->process->terminate();
            EXPECT_FALSE(host->process->running());
            EXPECT_EQ(host->process->childfd(), -1);
            int64_t sends = host->process->sendCount();
            host->process->send(bytesOf("ignored"));
            EXPECT_EQ(host->process->sendCount(), sends);
            host->process->terminate(); // a second call does nothing
            return host->process->shellPid();
        });
        EXPECT_TRUE(eventually([&] { return !procEntryExists(pid); })) << "child " << pid << " not reaped";
    }
    EXPECT_TRUE(eventually([&] { return fcntl(firstMaster, F_GETFD) == -1; })) << "master left open";
    first.onQueue([] {}); // anything posted before now has run
    EXPECT_EQ(first.terminations, 0);
    EXPECT_EQ(second.terminations, 0);
}

TEST_F(LocalProcessTest, HostLoggingWritesEveryChunkToItsOwnFile)
{
    fs::path dir = fs::path(testing::TempDir()) / ("local-process-log-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    Host host(queue);
    host.onQueue([&] { host.process->setHostLogging(dir.string()); });
    host.start("/bin/sh", {"-c", "printf one; read x; printf two"});
    ASSERT_TRUE(host.waitForOutput("one"));
    host.send("\n");
    ASSERT_TRUE(host.waitForExit());
    std::string logged;
    for (int i = 0; fs::exists(dir / ("log-" + std::to_string(i))); ++i) logged += readFile(dir / ("log-" + std::to_string(i)));
    {
        std::lock_guard lock(host.mutex);
        EXPECT_EQ(logged, host.output);
    }
    fs::remove_all(dir);
}
