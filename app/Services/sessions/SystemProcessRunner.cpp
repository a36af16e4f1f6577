#include "app/Services/sessions/SystemProcessRunner.hpp"

#include "app/Services/platform/StrictUtf8.hpp"

#include <QDeadlineTimer>
#include <QProcess>

#include <algorithm>
#include <cmath>

namespace brisvane {

SystemProcessRunner::SystemProcessRunner(double timeout)
    // A day at most keeps the milliseconds in an int; NaN and negatives mean no wait.
    : timeoutMilliseconds_(std::isnan(timeout) ? 0 : static_cast<int>(std::clamp(timeout, 0.0, 86400.0) * 1000.0))
{
}

std::optional<QString> SystemProcessRunner::run(const QString& executable, const QStringList& arguments) const
{
    QProcess process;
    process.setProgram(executable);
    process.setArguments(arguments);
    process.setInputChannelMode(QProcess::ForwardedInputChannel);
    process.setStandardErrorFile(QProcess::nullDevice());
    const QDeadlineTimer deadline(timeoutMilliseconds_);
    process.start(QIODevice::ReadOnly);
    // waitForFinished keeps reading standard output while it waits.
    if (!process.waitForStarted(deadline.remainingTime()) || !process.waitForFinished(deadline.remainingTime())) {
        process.kill();
        process.waitForFinished(-1);
        return std::nullopt;
    }
    return StrictUtf8::decode(process.readAllStandardOutput());
}

} // namespace brisvane
