#pragma once

#include "app/Services/sessions/ProcessRunning.hpp"

namespace brisvane {

// `ProcessRunning` through QProcess. Standard error goes to the null device, so a program that
// writes much there cannot stall on a full pipe; a program that has not finished within the
// time-out is killed and yields nothing, so no tool can hold up a refresh.
class SystemProcessRunner final : public ProcessRunning {
public:
    static constexpr double kDefaultTimeout = 5.0;

    // The time-out in seconds.
    explicit SystemProcessRunner(double timeout = kDefaultTimeout);

    std::optional<QString> run(const QString& executable, const QStringList& arguments) const override;

private:
    int timeoutMilliseconds_;
};

} // namespace brisvane
