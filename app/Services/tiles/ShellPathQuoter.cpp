#include "app/Services/tiles/ShellPathQuoter.hpp"

namespace brisvane::ShellPathQuoter {

QString quote(const QString& path)
{
    QString quoted = path;
    quoted.replace(u'\'', QStringLiteral("'\\''"));
    return u'\'' + quoted + u'\'';
}

QString quoteAll(const QStringList& paths)
{
    QStringList quoted;
    quoted.reserve(paths.size());
    for (const QString& path : paths) quoted.append(quote(path));
    return quoted.join(u' ');
}

std::optional<QString> insertionText(const QStringList& paths)
{
    for (const QString& path : paths) {
        for (const QChar c : path) {
            const char16_t unit = c.unicode();
            if (unit < 0x20 || (unit >= 0x7F && unit <= 0x9F)) return std::nullopt;
        }
    }
    return quoteAll(paths);
}

} // namespace brisvane::ShellPathQuoter
