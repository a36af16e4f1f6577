#pragma once

#include "terminal/engine/LocalProcess.hpp"
#include "terminal/session/TerminalSession.hpp"

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace corvix {

class LocalProcessSession;

// The owner of a local-process session. The session holds it without owning it; the owner clears
// it (or destroys the session) before it goes away.
class LocalProcessSessionDelegate {
public:
    virtual ~LocalProcessSessionDelegate() = default;
    // The child ended; `exitCode` is its raw wait status. Arrives after the child's last output.
    virtual void processTerminated(LocalProcessSession& source, std::optional<int32_t> exitCode) = 0;
};

// A session that runs a child program on a pseudo-terminal: the child's output is fed to the
// terminal (through the attached widget when there is one, so that it redraws), the terminal's
// replies and the user's input are written to the child, and the child keeps running and being
// read while no widget is attached.
class LocalProcessSession final : public TerminalSession, public LocalProcessDelegate {
    Q_OBJECT
public:
    explicit LocalProcessSession(const TerminalOptions& options = TerminalOptions::defaults(),
                                 QObject* parent = nullptr);
    ~LocalProcessSession() override;

    LocalProcess& process() { return *process_; }
    LocalProcessSessionDelegate* processDelegate = nullptr;

    // Bytes for the child, as they are.
    void send(std::span<const uint8_t> data);
    void send(std::string_view text);
    // Tells the child the terminal's current size.
    void updateWindowSize();

    // The terminal's replies go to the child.
    using TerminalSession::send;
    void send(Terminal& source, std::span<const uint8_t> data) override;

    // ---- LocalProcessDelegate ---------------------------------------------------------------
    void processTerminated(LocalProcess& source, std::optional<int32_t> exitCode) override;
    // Through the attached widget (whose redraw and scroll rules apply), else straight in.
    void dataReceived(std::span<const uint8_t> slice) override;
    size_t takeData(std::span<const uint8_t> slice) override;
    // The terminal's size in cells; in pixels only while a widget gives the cell size.
    winsize getWindowSize() override;

private:
    std::unique_ptr<LocalProcess> process_;
};

} // namespace corvix
