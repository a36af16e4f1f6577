#include "app/Services/tiles/TerminalEnvironmentSanitizer.hpp"

#include <QProcessEnvironment>

namespace brisvane::TerminalEnvironmentSanitizer {

QMap<QString, QString> sanitize(const QMap<QString, QString>& environment)
{
    QMap<QString, QString> kept;
    for (auto entry = environment.begin(); entry != environment.end(); ++entry) {
        const QString& key = entry.key();
        if (key == u"CLAUDECODE" || key == u"AI_AGENT" || key.startsWith(u"CLAUDE_")) continue;
        kept.insert(key, entry.value());
    }
    return kept;
}

QStringList buildEnvironmentArray(const QMap<QString, QString>& environment)
{
    QMap<QString, QString> sanitized = sanitize(environment);
    sanitized.insert(QStringLiteral("TERM"), QStringLiteral("xterm-256color"));
    QStringList strings;
    strings.reserve(sanitized.size());
    for (auto entry = sanitized.begin(); entry != sanitized.end(); ++entry) {
        strings.append(entry.key() + u'=' + entry.value());
    }
    return strings;
}

QMap<QString, QString> processEnvironment()
{
    const QProcessEnvironment system = QProcessEnvironment::systemEnvironment();
    QMap<QString, QString> environment;
    for (const QString& key : system.keys()) environment.insert(key, system.value(key));
    return environment;
}

} // namespace brisvane::TerminalEnvironmentSanitizer
