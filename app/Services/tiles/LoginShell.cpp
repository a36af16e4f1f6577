#include "app/Services/tiles/LoginShell.hpp"

#include <QFile>

#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace brisvane::LoginShell {

namespace {

std::optional<QString> passwordDatabaseShell()
{
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    passwd entry {};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found || !found->pw_shell) {
        return std::nullopt;
    }
    return QFile::decodeName(found->pw_shell);
}

} // namespace

QString choose(const std::optional<QString>& passwordEntry, const std::optional<QString>& environmentShell)
{
    for (const auto& candidate : {passwordEntry, environmentShell}) {
        if (candidate && !candidate->trimmed().isEmpty()) return *candidate;
    }
    return QStringLiteral("/bin/sh");
}

QString path()
{
    std::optional<QString> environment;
    if (qEnvironmentVariableIsSet("SHELL")) environment = qEnvironmentVariable("SHELL");
    return choose(passwordDatabaseShell(), environment);
}

} // namespace brisvane::LoginShell
