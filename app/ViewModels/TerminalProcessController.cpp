#include "app/ViewModels/TerminalProcessController.hpp"

#include "app/Services/tiles/TerminalEnvironmentSanitizer.hpp"

#include <QCoreApplication>
#include <QFile>

#include <cstring>
#include <string>
#include <vector>

namespace brisvane {

namespace {

QString startErrorDetail(const QString& shell, const corvix::LocalProcess::StartError& error)
{
    // Only after a failed start: its child has not been seen to end yet.
    if (error.step == corvix::LocalProcess::StartError::Step::alreadyRunning) {
        const QString reason = QCoreApplication::translate("TerminalProcessController", "前のシェルがまだ終了していません");
        return shell + QStringLiteral(": ") + reason;
    }
    return shell + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error.errorNumber));
}

} // namespace

TerminalProcessController::TerminalProcessController(const QUuid& tileId, QString startDirectory)
    : tileId_(tileId)
    , startDirectory_(std::move(startDirectory))
    , session_(std::make_shared<corvix::LocalProcessSession>())
{
    session_->processDelegate = this;
}

TerminalProcessController::~TerminalProcessController()
{
    session_->processDelegate = nullptr;
}

std::optional<int32_t> TerminalProcessController::runningShellPid()
{
    corvix::LocalProcess& process = session_->process();
    if (!process.running()) return std::nullopt;
    return process.shellPid();
}

Result<void, TerminalLaunchError> TerminalProcessController::start(const QString& shell,
                                                                     const QMap<QString, QString>& environment,
                                                                     const std::optional<QString>& currentDirectory)
{
    if (launchedAt_) return {};
    const QString directory = currentDirectory.value_or(startDirectory_);
    // The product's rule for removable volumes, kept as it is though this platform mounts
    // nothing there.
    if (directory.startsWith(QLatin1String("/Volumes/"))) {
        return TerminalLaunchError{TerminalLaunchError::Kind::directoryRefused, {}};
    }

    std::vector<std::string> environmentStrings;
    for (const QString& entry : TerminalEnvironmentSanitizer::buildEnvironmentArray(environment)) {
        environmentStrings.push_back(entry.toLocal8Bit().toStdString());
    }
    // Straight to the process: the view's start drops the outcome.
    const auto error = session_->process().startProcess(QFile::encodeName(shell).toStdString(), {"-l"},
                                                             environmentStrings, std::nullopt,
                                                             QFile::encodeName(directory).toStdString());
    if (error) return TerminalLaunchError{TerminalLaunchError::Kind::shellNotStarted, startErrorDetail(shell, *error)};
    launchedAt_ = QDateTime::currentDateTimeUtc();
    // The flag describes this shell, not a child of an earlier failed start.
    hasShellExited_ = false;
    return {};
}

void TerminalProcessController::terminateShell()
{
    session_->process().terminate();
    hasShellExited_ = true;
}

void TerminalProcessController::processTerminated(corvix::LocalProcessSession&, std::optional<int32_t>)
{
    hasShellExited_ = true;
}

} // namespace brisvane
