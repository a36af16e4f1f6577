#include "app/Services/ShellPathQuoter.hpp"

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

} // namespace brisvane::ShellPathQuoter
