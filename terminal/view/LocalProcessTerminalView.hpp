#pragma once

#include "terminal/engine/LocalProcess.hpp"
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

// A terminal view that runs a child program on a pseudo-terminal: the child's output is fed to
// the terminal, keys and replies are written to the child, and size changes reach it as a
// window-size change. The view is its own host.
class LocalProcessTerminalView : public TerminalView, public TerminalViewDelegate, public LocalProcessDelegate {
    Q_OBJECT
public:
    explicit LocalProcessTerminalView(const QRect& frame, QWidget* parent = nullptr);
    ~LocalProcessTerminalView() override;

    LocalProcess& process() { return *process_; }
    LocalProcessTerminalViewDelegate* processDelegate = nullptr;

    // Starts the child unless one runs. The argument vector is `execName` (else `executable`)
    // followed by `args`; no environment means the engine's default one.
    void startProcess(const std::string& executable, const std::vector<std::string>& args,
                      const std::optional<std::vector<std::string>>& environment,
                      const std::optional<std::string>& execName, const std::optional<std::string>& currentDirectory);
    // SIGTERM to the child; no termination report follows for it.
    void terminate();
    void setHostLogging(std::optional<std::string> directory);

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

    // ---- LocalProcessDelegate ---------------------------------------------------------------
    void processTerminated(LocalProcess& source, std::optional<int32_t> exitCode) override;
    void dataReceived(std::span<const uint8_t> slice) override;
    // Through dataReceived, stopping before an inline image past the slice's budget (feedSlice).
    size_t takeData(std::span<const uint8_t> slice) override;
    winsize getWindowSize() override;

private:
    std::unique_ptr<LocalProcess> process_;
};

} // namespace corvix
