#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <optional>

#include <gtest/gtest.h>

namespace brisvane::test {

struct ScriptRun {
    int exitCode = -1; // -1: crashed or never finished
    QByteArray output;
    QByteArray errors;
};

// Runs /bin/sh with the arguments and `input` on its standard input, as the agent runs its
// commands: HOME and the XDG folders point into `home`; PATH is replaced when given.
inline ScriptRun runShell(const QStringList& arguments, const QByteArray& input, const QString& home,
                          const std::optional<QString>& path = std::nullopt)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    if (path) environment.insert(QStringLiteral("PATH"), *path);
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral("/bin/sh"), arguments);
    EXPECT_TRUE(process.waitForStarted(10000));
    process.write(input);
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(20000));
    const bool finished = process.state() == QProcess::NotRunning && process.exitStatus() == QProcess::NormalExit;
    return {finished ? process.exitCode() : -1, process.readAllStandardOutput(), process.readAllStandardError()};
}

} // namespace brisvane::test
