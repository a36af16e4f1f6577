#include "app/Services/sessions/ShellCwdReader.hpp"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QStringView>

#include <climits>

#include <unistd.h>

namespace brisvane::ShellCwdReader {

std::optional<QString> currentWorkingDirectory(int32_t pid)
{
    if (pid <= 0) return std::nullopt;
    const QByteArray link = "/proc/" + QByteArray::number(pid) + "/cwd";
    char target[PATH_MAX];
    const ssize_t length = readlink(link.constData(), target, sizeof target);
    // A full buffer may be a cut path.
    if (length <= 0 || static_cast<size_t>(length) >= sizeof target) return std::nullopt;
    const QByteArrayView path(target, length);
    // A folder removed while the process stays in it; a real name cannot be told apart, and
    // opening paths under a folder that is gone finds nothing anyway.
    if (path.endsWith(" (deleted)")) return std::nullopt;
    return QFile::decodeName(path.toByteArray());
}

std::optional<QString> parse(const QString& lsofOutput)
{
    for (const QStringView line : QStringView(lsofOutput).split(u'\n', Qt::SkipEmptyParts)) {
        if (!line.startsWith(u'n')) continue;
        if (line.size() == 1) return std::nullopt;
        return line.mid(1).toString();
    }
    return std::nullopt;
}

} // namespace brisvane::ShellCwdReader
