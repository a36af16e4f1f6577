#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace corvix {

// The terminal core's one diagnostic seam. Every line has a level and a category; it goes to
// standard output unless a host (the Qt view installs one that writes to logging categories) or
// a test installs its own sink. Each call is one line; the sink adds no newline of its own.
namespace log {

// debug: traces a user asked for; info: input the core does not handle; warning: the core's own
// state or the system went wrong and it carried on; fatal: the program stops after the line.
enum class Level : uint8_t { debug, info, warning, fatal };
// Where the line comes from; a host maps each to a category of its own ("corvix.engine").
enum class Category : uint8_t { screen, parser, engine, process };
inline constexpr Category kCategories[] = {Category::screen, Category::parser, Category::engine, Category::process};
// "screen", "parser", "engine", "process".
std::string_view categoryName(Category category);

// A sink may be called from any thread (the process reader logs from its own); calls do not
// overlap. It must not log itself.
using Sink = std::function<void(Level level, Category category, std::string_view line)>;

// Writes one diagnostic line. Standard output is written in blocks during a burst of lines, so
// a flood of diagnostics does not cost a system call per line; an isolated line goes out at
// once, and whatever is pending is written at exit or by `flush`.
void write(Category category, Level level, std::string_view line);

// Writes pending standard-output lines now.
void flush();

// Installs a sink; an empty function restores standard output. Returns the previous sink.
Sink setSink(Sink sink);
// Installs `sink` unless one is installed already (a host's or a test's own stays); true when
// it did.
bool setSinkIfNone(Sink sink);

// Writes the line at the fatal level, flushes standard output and stops the program: for
// caller errors that would otherwise corrupt memory (a broken precondition is a bug in the
// caller, never bad input). A sink must write fatal lines whatever its filters say.
[[noreturn]] void fatal(std::string_view line, Category category = Category::screen);

// Stops the program with the message when a caller's precondition does not hold.
inline void check(bool condition, std::string_view message)
{
    if (!condition) [[unlikely]] {
        fatal(message);
    }
}

// Captures every line written while it lives, with its level and category (for tests).
class Capture {
public:
    struct Entry {
        Level level;
        Category category;
        std::string line;
    };

    Capture();
    ~Capture();
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;

    const std::vector<std::string>& lines() const { return lines_; }
    const std::vector<Entry>& entries() const { return entries_; }
    void clear()
    {
        lines_.clear();
        entries_.clear();
    }

private:
    std::vector<std::string> lines_;
    std::vector<Entry> entries_;
    Sink previous_;
};

} // namespace log
} // namespace corvix
