#include "terminal/screen/Log.hpp"

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace corvix::log {

namespace {
Sink& currentSink()
{
    static Sink sink;
    return sink;
}
} // namespace

void write(std::string_view line)
{
    Sink& sink = currentSink();
    if (sink) {
        sink(line);
        return;
    }
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
}

void fatal(std::string_view line)
{
    write(line);
    std::fflush(stdout);
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
