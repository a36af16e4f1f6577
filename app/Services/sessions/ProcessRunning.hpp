#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace brisvane {

// Runs an outside program to its end and returns what it printed.
class ProcessRunning {
public:
    virtual ~ProcessRunning() = default;

    // Standard output as text, whatever the exit status; nothing when the program cannot be
    // started, does not finish in time, or prints something that is not UTF-8. Blocks the
    // calling thread: callers run it on a worker.
    virtual std::optional<QString> run(const QString& executable, const QStringList& arguments) const = 0;
};

} // namespace brisvane
