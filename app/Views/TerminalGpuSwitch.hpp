#pragma once

#include <QString>

#include <set>
#include <string>

namespace corvix {
class TerminalView;
}

namespace brisvane {

// Whether the tiles' terminals draw through OpenGL. There is no setting for it: BRISVANE_GPU=1 in
// the environment at start asks for it, and without it every terminal draws on the CPU.
class TerminalGpuSwitch {
public:
    explicit TerminalGpuSwitch(bool requested) : requested_(requested) {}
    // Exactly "1" asks for GL drawing.
    static bool requestedBy(const QString& value) { return value == QStringLiteral("1"); }
    static TerminalGpuSwitch fromEnvironment();

    bool requested() const { return requested_; }
    // Turns GL drawing on for `view` when it was asked for. A view that cannot have it stays on
    // the CPU; each distinct reason is logged once, not once per terminal.
    void apply(corvix::TerminalView& view);

private:
    bool requested_;
    std::set<std::string> reported_;
};

} // namespace brisvane
