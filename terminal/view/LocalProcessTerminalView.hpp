#pragma once

#include "terminal/engine/LocalProcess.hpp"
#include "terminal/session/LocalProcessSession.hpp"
#include "terminal/view/TerminalView.hpp"
#include "terminal/view/TerminalViewDelegate.hpp"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace corvix {

class LocalProcessTerminalView;

// The owner of a local-process view. The view holds it without owning it; the owner clears it
// (or destroys the view) before it goes away.
class LocalProcessTerminalViewDelegate {
public:
    virtual ~LocalProcessTerminalViewDelegate() = default;
    virtual void sizeChanged(LocalProcessTerminalView& source, int newCols, int newRows) = 0;
    virtual void setTerminalTitle(LocalProcessTerminalView& source, const QString& title) = 0;
    virtual void hostCurrentDirectoryUpdate(TerminalView& source, const std::optional<QString>& directory) = 0;
    // The child ended; `exitCode` is its raw wait status.
    virtual void processTerminated(TerminalView& source, std::optional<int32_t> exitCode) = 0;
};

// A terminal view over a local-process session: the child's output is fed to the terminal, keys
// and replies are written to the child, and size changes reach it as a window-size change. The
// view is its own host and forwards to the session; made without a session it makes one of its
// own and reports its child's end to `processDelegate`.
class LocalProcessTerminalView : public TerminalView, public TerminalViewDelegate, public LocalProcessSessionDelegate {
    Q_OBJECT
public:
    explicit LocalProcessTerminalView(const QRect& frame, QWidget* parent = nullptr);
    // Attached to the session of an owner, who hears of the child's end from the session.
    LocalProcessTerminalView(std::shared_ptr<LocalProcessSession> session, const QRect& frame,
                             std::optional<QFont> font = std::nullopt, QWidget* parent = nullptr);
    ~LocalProcessTerminalView() override;

    // Always a local-process session: both constructors make sure of it.
    LocalProcessSession& session() { return static_cast<LocalProcessSession&>(TerminalView::session()); }
    LocalProcess& process() { return session().process(); }
    LocalProcessTerminalViewDelegate* processDelegate = nullptr;

    // Starts the child unless one runs. The argument vector is `execName` (else `executable`)
    // followed by `args`; no environment means the engine's default one.
    void startProcess(const std::string& executable, const std::vector<std::string>& args,
                      const std::optional<std::vector<std::string>>& environment,
                      const std::optional<std::string>& execName, const std::optional<std::string>& currentDirectory);
    // SIGTERM to the child; no termination report follows for it.
    void terminate();
    void setHostLogging(std::optional<std::string> directory);
    winsize getWindowSize() { return session().getWindowSize(); }

    // The user's input and the terminal's own sends.
    using TerminalView::send;

    // ---- TerminalViewDelegate ---------------------------------------------------------------
    void sizeChanged(TerminalView& source, int newCols, int newRows) override;
    void setTerminalTitle(TerminalView& source, const QString& title) override;
    void hostCurrentDirectoryUpdate(TerminalView& source, const std::optional<QString>& directory) override;
    void send(TerminalView& source, std::span<const uint8_t> data) override;
    void scrolled(TerminalView& source, double position) override {}
    void rangeChanged(TerminalView& source, int startY, int endY) override {}
    void clipboardCopy(TerminalView& source, std::span<const uint8_t> content) override;
    std::optional<std::vector<uint8_t>> clipboardRead(TerminalView& source) override;

    // ---- The session's output and its child's end ------------------------------------------------
    // The child's output; feeds it.
    void dataReceived(std::span<const uint8_t> slice) override;
    void processTerminated(LocalProcessSession& source, std::optional<int32_t> exitCode) override;
};

} // namespace corvix
