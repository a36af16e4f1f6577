#include "terminal/screen/Log.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <utility>

namespace corvix::log {

namespace {
// The installed sink and the lock that keeps its calls from overlapping with each other and
// with its replacement.
struct SinkSlot {
    std::mutex mutex;
    Sink sink;
};

SinkSlot& sinkSlot()
{
    static SinkSlot* slot = new SinkSlot; // never destroyed: lines may come during exit
    return *slot;
}
} // namespace

std::string_view categoryName(Category category)
{
    switch (category) {
    case Category::screen: return "screen";
    case Category::parser: return "parser";
    case Category::engine: return "engine";
    case Category::process: return "process";
    }
    return "core";
}

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

void write(Category category, Level level, std::string_view line)
{
    {
        SinkSlot& slot = sinkSlot();
        std::lock_guard lock(slot.mutex);
        if (slot.sink) {
            slot.sink(level, category, line);
            return;
        }
    }
    StdoutWriter::instance().write(line);
}

void flush()
{
    StdoutWriter::instance().flush();
}

void fatal(std::string_view line, Category category)
{
    write(category, Level::fatal, line);
    flush();
    std::abort();
}

Sink setSink(Sink sink)
{
    SinkSlot& slot = sinkSlot();
    std::lock_guard lock(slot.mutex);
    return std::exchange(slot.sink, std::move(sink));
}

bool setSinkIfNone(Sink sink)
{
    SinkSlot& slot = sinkSlot();
    std::lock_guard lock(slot.mutex);
    if (slot.sink) return false;
    slot.sink = std::move(sink);
    return true;
}

Capture::Capture()
    : previous_(setSink([this](Level level, Category category, std::string_view line) {
          lines_.emplace_back(line);
          entries_.push_back({level, category, std::string(line)});
      }))
{
}

Capture::~Capture()
{
    setSink(std::move(previous_));
}

} // namespace corvix::log
