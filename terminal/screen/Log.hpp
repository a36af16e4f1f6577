#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace corvix {

// The terminal module's one diagnostic sink. Lines go to standard output unless a test (or a
// host) installs its own sink. Each call is one line; the sink adds no newline of its own.
namespace log {

using Sink = std::function<void(std::string_view line)>;

// Writes one diagnostic line. Standard output is written in blocks during a burst of lines, so
// a flood of diagnostics does not cost a system call per line; an isolated line goes out at
// once, and whatever is pending is written at exit or by `flush`.
void write(std::string_view line);

// Writes pending standard-output lines now.
void flush();

// Installs a sink; an empty function restores standard output. Returns the previous sink.
// Not thread-safe: install before terminals run (tests and start-up only).
Sink setSink(Sink sink);

// Writes the line, flushes standard output and stops the program: for caller errors that would
// otherwise corrupt memory (a broken precondition is a bug in the caller, never bad input).
[[noreturn]] void fatal(std::string_view line);

// Stops the program with the message when a caller's precondition does not hold.
inline void check(bool condition, std::string_view message)
{
    if (!condition) [[unlikely]] {
        fatal(message);
    }
}

// Captures every line written while it lives (for tests).
class Capture {
public:
    Capture();
    ~Capture();
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;

    const std::vector<std::string>& lines() const { return lines_; }
    void clear() { lines_.clear(); }

private:
    std::vector<std::string> lines_;
    Sink previous_;
};

} // namespace log
} // namespace corvix
