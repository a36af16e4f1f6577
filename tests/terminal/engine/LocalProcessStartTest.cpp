#include "terminal/engine/LocalProcess.hpp"
#include "terminal/engine/SerialQueue.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>
#include <string>
#include <thread>

#include <cerrno>
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace corvix;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

using Step = LocalProcess::StartError::Step;

// One LocalProcess on a SerialQueue (its host thread), recording its exit report.
class Host final : public LocalProcessDelegate {
public:
    Host()
    {
        process = std::make_unique<LocalProcess>(this,
                                                 [this](std::function<void()> task) { queue.post(std::move(task)); });
    }
    template <class F>
    auto onQueue(F&& fn)
    {
        std::packaged_task<decltype(fn())()> task(std::forward<F>(fn));
        auto result = task.get_future();
        queue.post([&task] { task(); });
        return result.get();
    }

    ~Host() override
    {
        onQueue([&] { process.reset(); });
    }
    std::optional<LocalProcess::StartError> start(const std::string& executable,
                                                  const std::vector<std::string>& args = {})
    {
        return onQueue([&] { return process->startProcess(executable, args); });
    }
    bool waitForExit()
    {
        std::unique_lock lock(mutex);
        return exited.wait_for(lock, 30s, [&] { return status.has_value(); });
    }

    void processTerminated(LocalProcess&, std::optional<int32_t> exitCode) override
    {
        std::lock_guard lock(mutex);
        status = exitCode.value_or(-1);
        exited.notify_all();
    }
    void dataReceived(std::span<const uint8_t> data) override
    {
        std::lock_guard lock(mutex);
        output.append(data.begin(), data.end());
        exited.notify_all();
    }
    bool waitForOutput(const std::string& text)
    {
        std::unique_lock lock(mutex);
        return exited.wait_for(lock, 30s, [&] { return output.find(text) != std::string::npos; });
    }
    winsize getWindowSize() override { return {24, 80, 0, 0}; }

    SerialQueue queue;
    std::unique_ptr<LocalProcess> process;
    std::mutex mutex;
    std::condition_variable exited;
    std::optional<int32_t> status;
    std::string output;
};

size_t openDescriptorCount()
{
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

class LocalProcessStartTest : public testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::path(testing::TempDir()) / ("local-process-start-" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    fs::path writeFile(const std::string& name, const std::string& content, fs::perms permissions)
    {
        const fs::path path = dir / name;
        std::ofstream(path) << content;
        fs::permissions(path, permissions);
        return path;
    }

    fs::path dir;
};

} // namespace

TEST_F(LocalProcessStartTest, ReportsWhyTheProgramCouldNotBeExecutedAndStillReportsTheExit)
{
    const fs::perms readable = fs::perms::owner_read | fs::perms::owner_write;
    const fs::perms executable = readable | fs::perms::owner_exec;
    struct Case {
        const char* name;
        std::string program;
        std::optional<int> execError;
        int32_t status;
    };
    const Case cases[] = {
        {"a shell", "/bin/sh", std::nullopt, 0},
        {"a missing program", (dir / "missing").string(), ENOENT, 127 << 8},
        {"a folder", dir.string(), EACCES, 127 << 8},
        {"a file without the execute bit", writeFile("plain", "#!/bin/sh\n", readable).string(), EACCES, 127 << 8},
        // execve itself does not fall back to a shell for a file it cannot run.
        {"an executable text without an interpreter line", writeFile("text", "exit 0\n", executable).string(), ENOEXEC,
         127 << 8},
    };
    // Root too needs some execute bit, so these hold for any user.
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Host host;
        const auto error = host.start(c.program, {"-c", "exit 0"});
        if (c.execError) {
            EXPECT_EQ(error, (LocalProcess::StartError{Step::exec, *c.execError}));
        } else {
            EXPECT_EQ(error, std::nullopt);
        }
        ASSERT_TRUE(host.waitForExit());
        EXPECT_EQ(host.status, c.status);
        EXPECT_FALSE(host.onQueue([&] { return host.process->running(); }));
    }
}

TEST_F(LocalProcessStartTest, AStartWhileAChildRunsStartsNothingAndSaysSo)
{
    Host host;
    ASSERT_EQ(host.start("/bin/sh", {"-c", "read x"}), std::nullopt);
    const int pid = host.onQueue([&] { return host.process->shellPid(); });

    EXPECT_EQ(host.start("/bin/sh", {"-c", "exit 1"}), (LocalProcess::StartError{Step::alreadyRunning, 0}));
    EXPECT_EQ(host.onQueue([&] { return host.process->shellPid(); }), pid);

    host.onQueue([&] { host.process->send(std::vector<uint8_t>{'\n'}); });
    ASSERT_TRUE(host.waitForExit());
    EXPECT_EQ(host.status, 0);
}

TEST_F(LocalProcessStartTest, StartsLeaveNoDescriptorOpenInTheHost)
{
    const size_t before = openDescriptorCount();
    for (const std::string& program : {std::string("/bin/true"), (dir / "missing").string()}) {
        Host host;
        host.start(program);
        ASSERT_TRUE(host.waitForExit());
    }
    // The I/O thread closes a child's last descriptors as it ends, a moment after the exit (an
    // earlier test's may still be closing theirs, hence "at most").
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (openDescriptorCount() > before && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(2ms);
    }
    EXPECT_LE(openDescriptorCount(), before);
}

TEST_F(LocalProcessStartTest, TheChildLeadsASessionOnItsTerminalSoCtrlCInterruptsIt)
{
    Host host;
    // /dev/tty opens only for a process that has a controlling terminal.
    ASSERT_EQ(host.start("/bin/sh", {"-c", "[ -t 0 ] && [ -t 1 ] && [ -t 2 ] && exec 3</dev/tty && echo ready && sleep 30"}),
              std::nullopt);
    ASSERT_TRUE(host.waitForOutput("ready"));
    // The terminal turns ^C into SIGINT for its foreground process group: the child's own.
    // Sent again until it ends: one that lands while the shell is between commands can be
    // caught by the shell and go unanswered.
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    bool ended = false;
    while (!ended && std::chrono::steady_clock::now() < deadline) {
        host.onQueue([&] { host.process->send(std::vector<uint8_t>{0x03}); });
        std::unique_lock lock(host.mutex);
        ended = host.exited.wait_for(lock, 200ms, [&] { return host.status.has_value(); });
    }
    ASSERT_TRUE(ended);
    ASSERT_TRUE(WIFSIGNALED(*host.status)) << *host.status;
    EXPECT_EQ(WTERMSIG(*host.status), SIGINT);
}
