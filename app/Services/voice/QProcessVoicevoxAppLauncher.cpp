#include "app/Services/voice/QProcessVoicevoxAppLauncher.hpp"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>

namespace brisvane {

namespace {

bool isExecutableFile(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

} // namespace

QProcessVoicevoxAppLauncher::QProcessVoicevoxAppLauncher(QString searchPath, QString homeDirectory)
    : searchPath_(std::move(searchPath))
    , homeDirectory_(std::move(homeDirectory))
{
}

QProcessVoicevoxAppLauncher::QProcessVoicevoxAppLauncher()
    : QProcessVoicevoxAppLauncher(qEnvironmentVariable("PATH"), QDir::homePath())
{
}

std::optional<QString> QProcessVoicevoxAppLauncher::executablePath() const
{
    QStringList candidates;
    for (const QString& directory : searchPath_.split(u':', Qt::SkipEmptyParts)) {
        if (QDir::isAbsolutePath(directory)) candidates << directory + QStringLiteral("/voicevox");
    }
    if (QDir::isAbsolutePath(homeDirectory_)) {
        candidates << homeDirectory_ + QStringLiteral("/Applications/VOICEVOX.AppImage")
                   << homeDirectory_ + QStringLiteral("/.local/bin/VOICEVOX.AppImage");
    }
    for (const QString& candidate : candidates)
        if (isExecutableFile(candidate)) return candidate;
    return std::nullopt;
}

bool QProcessVoicevoxAppLauncher::isInstalled() const
{
    return executablePath().has_value();
}

bool QProcessVoicevoxAppLauncher::launch()
{
    const std::optional<QString> program = executablePath();
    if (!program) return false;
    QProcess process;
    process.setProgram(*program);
    process.setArguments({});
    process.setWorkingDirectory(homeDirectory_);
    // A long-lived program of its own: nothing of ours to read from, nothing to write into.
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    return process.startDetached();
}

} // namespace brisvane
