#pragma once

#include "app/Models/Result.hpp"
#include "app/Models/TerminalLaunchError.hpp"
#include "terminal/session/LocalProcessSession.hpp"

#include <QDateTime>
#include <QMap>
#include <QString>
#include <QUuid>

#include <cstdint>
#include <memory>
#include <optional>

namespace brisvane {

// The owner of one tile's terminal session and of the login shell in it. The tile's view makes a
// widget for the session, and may drop it and make another: the terminal and the shell go on. The
// session refers to the controller only as its process delegate, cleared before the controller
// goes. GUI thread only.
class TerminalProcessController final : public corvix::LocalProcessSessionDelegate {
public:
    // `startDirectory` is the folder a shell starts in when the start names none.
    TerminalProcessController(const QUuid& tileId, QString startDirectory);
    ~TerminalProcessController() override;
    TerminalProcessController(const TerminalProcessController&) = delete;
    TerminalProcessController& operator=(const TerminalProcessController&) = delete;

    const QUuid& tileId() const { return tileId_; }
    corvix::LocalProcessSession& session() { return *session_; }
    // Shared with the widget that shows it, which may outlive the controller for a moment.
    const std::shared_ptr<corvix::LocalProcessSession>& sharedSession() const { return session_; }
    // When the shell was started; empty until a start succeeds.
    const std::optional<QDateTime>& launchedAt() const { return launchedAt_; }
    bool hasShellExited() const { return hasShellExited_; }
    // The shell's pid while it runs; what reconciliation may look for sessions under.
    std::optional<int32_t> runningShellPid();

    // Starts `shell` once, as a login shell ("-l") in `currentDirectory` (else the start folder),
    // with the environment cleaned of the agent's variables and "TERM" set. A folder under
    // "/Volumes/" is refused. A shell that cannot be executed is reported; it has ended by
    // then and its exit marks this controller exited like any other. A failed start leaves
    // `launchedAt` empty, so the caller may start again; once started, nothing starts again.
    // A successful start clears `hasShellExited`.
    Result<void, TerminalLaunchError> start(const QString& shell, const QMap<QString, QString>& environment,
                                            const std::optional<QString>& currentDirectory);
    // Ends the shell (SIGTERM unless it was already reaped) and marks the controller exited.
    void terminateShell();

    // corvix::LocalProcessSessionDelegate: arrives on the GUI thread, after the shell's last output.
    void processTerminated(corvix::LocalProcessSession& source, std::optional<int32_t> exitCode) override;

private:
    QUuid tileId_;
    QString startDirectory_;
    std::shared_ptr<corvix::LocalProcessSession> session_;
    std::optional<QDateTime> launchedAt_;
    bool hasShellExited_ = false;
};

} // namespace brisvane
