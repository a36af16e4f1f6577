#include "terminal/screen/Log.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <utility>

namespace corvix::log {

namespace {
Sink& currentSink()
{
    static Sink sink;
    return sink;
}
} // namespace

// Standard output, batched: a line after a quiet spell goes out at once, but a burst (a program
// flooding unknown sequences) is written in blocks, so it does not cost a system call per line.
// Any thread may write (the process reader logs from its own thread).
class StdoutWriter {
public:
    static StdoutWriter& instance()
    {
        static StdoutWriter* writer = [] {
            auto* w = new StdoutWriter; // never destroyed: lines may come during exit
            std::atexit([] { StdoutWriter::instance().flush(); });
            return w;
        }();
        return *writer;
    }

    void write(std::string_view line)
    {
        std::lock_guard lock(mutex_);
        pending_.append(line);
        pending_.push_back('\n');
        auto now = std::chrono::steady_clock::now();
        if (pending_.size() >= kBlockSize || now - lastFlush_ >= kQuietSpell) flushLocked(now);
    }

    void flush()
    {
        std::lock_guard lock(mutex_);
        flushLocked(std::chrono::steady_clock::now());
    }

private:
    static constexpr size_t kBlockSize = 16 * 1024;
    static constexpr auto kQuietSpell = std::chrono::milliseconds(100);

    void flushLocked(std::chrono::steady_clock::time_point now)
    {
        if (!pending_.empty()) {
            std::fwrite(pending_.data(), 1, pending_.size(), stdout);
            std::fflush(stdout);
            pending_.clear();
        }
        lastFlush_ = now;
    }

    std::mutex mutex_;
    std::string pending_;
    std::chrono::steady_clock::time_point lastFlush_{};
};

void write(std::string_view line)
{
    Sink& sink = currentSink();
    if (sink) {
        sink(line);
        return;
    }
    StdoutWriter::instance().write(line);
}

void flush()
{
    StdoutWriter::instance().flush();
}

void fatal(std::string_view line)
{
    write(line);
    flush();
    std::abort();
}

Sink setSink(Sink sink)
{
    return std::exchange(currentSink(), std::move(sink));
}

Capture::Capture()
    : previous_(setSink([this](std::string_view line) { lines_.emplace_back(line); }))
{
}

Capture::~Capture()
{
    setSink(std::move(previous_));
}

} // namespace corvix::log
