#pragma once

#include "terminal/engine/Executor.hpp"

namespace corvix {

class Terminal;

// Synchronized output (DECSET 2026): while it is on, the view holds its drawing. It ends by the
// mode's reset, a resize, a full reset, or by itself a second after the last begin, so a child
// that stops mid-frame cannot freeze the screen.
class SynchronizedOutput {
public:
    explicit SynchronizedOutput(Terminal& terminal) : terminal_(terminal) {}
    ~SynchronizedOutput();
    SynchronizedOutput(const SynchronizedOutput&) = delete;
    SynchronizedOutput& operator=(const SynchronizedOutput&) = delete;

    bool active() const { return active_; }
    // Starts it (or restarts its timeout); the delegate hears only of a change.
    void begin();
    // Ends it and redraws the screen; nothing when it is off.
    void end();

private:
    void scheduleTimeout();
    void cancelTimeout();

    static constexpr double kTimeoutSeconds = 1.0;

    Terminal& terminal_;
    bool active_ = false;
    Executor::TaskId timeoutItem_ = 0;
};

} // namespace corvix
