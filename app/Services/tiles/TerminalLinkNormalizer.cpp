#include "app/Services/tiles/TerminalLinkNormalizer.hpp"

#include "app/Services/platform/StrictUtf8.hpp"
#include "app/Services/tiles/FilePathResolver.hpp"

#include <QUrl>

namespace brisvane::TerminalLinkNormalizer {

namespace {

bool isAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Every "%" must start two hex digits, and the bytes must make UTF-8; otherwise nothing.
std::optional<QString> removingPercentEncoding(const QString& text)
{
    QByteArray bytes;
    const QByteArray utf8 = text.toUtf8();
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        if (utf8[i] != '%') {
            bytes.append(utf8[i]);
            continue;
        }
        if (i + 2 >= utf8.size()) return std::nullopt;
        const int high = hexValue(utf8[i + 1]);
        const int low = hexValue(utf8[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes.append(static_cast<char>(high * 16 + low));
        i += 2;
    }
    return StrictUtf8::decode(bytes);
}

} // namespace

const QSet<QString>& externalSchemes()
{
    static const QSet<QString> schemes{QStringLiteral("http"), QStringLiteral("https"), QStringLiteral("mailto")};
    return schemes;
}

std::optional<QString> scheme(const QString& link)
{
    const qsizetype colon = link.indexOf(u':');
    if (colon <= 0) return std::nullopt;
    const QString candidate = link.left(colon);
    if (!isAsciiLetter(candidate.front())) return std::nullopt;
    for (const QChar c : candidate) {
        if (!isAsciiLetter(c) && !isAsciiDigit(c) && c != u'+' && c != u'-' && c != u'.') return std::nullopt;
    }
    return candidate;
}

std::optional<QString> filePath(const QString& fileURLString)
{
    if (!fileURLString.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) return std::nullopt;
    QString rest = fileURLString.mid(5);
    if (rest.startsWith(QLatin1String("//"))) {
        rest = rest.mid(2);
        if (rest.isEmpty()) return std::nullopt;
        // Past the host part.
        const qsizetype slash = rest.indexOf(u'/');
        if (slash < 0) return std::nullopt;
        rest = rest.mid(slash);
    }
    if (rest.isEmpty()) return std::nullopt;
    return removingPercentEncoding(rest).value_or(rest);
}

TerminalLinkAction action(const QString& link, const std::optional<QString>& cwd, const QString& homeDirectory,
                          const PathExistenceChecking& existenceChecker)
{
    if (link.isEmpty()) return TerminalLinkAction::ignore();
    const std::optional<QString> linkScheme = scheme(link);
    if (!linkScheme) {
        if (auto path = FilePathResolver::resolve(link, cwd, homeDirectory, existenceChecker)) {
            return TerminalLinkAction::openLocalPath(*path);
        }
        return TerminalLinkAction::ignore();
    }
    const QString lowered = linkScheme->toLower();
    if (externalSchemes().contains(lowered)) {
        const QUrl url(link, QUrl::StrictMode);
        if (url.isValid()) return TerminalLinkAction::openExternalURL(url);
        return TerminalLinkAction::ignore();
    }
    if (lowered == u"file") {
        if (const std::optional<QString> path = filePath(link)) {
            if (auto resolved = FilePathResolver::resolve(*path, cwd, homeDirectory, existenceChecker)) {
                return TerminalLinkAction::openLocalPath(*resolved);
            }
        }
    }
    return TerminalLinkAction::ignore();
}

} // namespace brisvane::TerminalLinkNormalizer
