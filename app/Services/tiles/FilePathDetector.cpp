#include "app/Services/tiles/FilePathDetector.hpp"

#include <QTextBoundaryFinder>

namespace brisvane::FilePathDetector {

namespace {

// A character is blank when its first scalar is white space (all such scalars lie in the BMP).
bool isWhitespace(const QString& character)
{
    return !character.isEmpty() && character.front().isSpace();
}

bool isQuote(const QString& character)
{
    return quoteCharacters().contains(character);
}

bool isAsciiLetterOrDigit(QChar c)
{
    return c.unicode() < 128 && c.isLetterOrNumber();
}

QString joined(const QStringList& characters, int start, int end)
{
    QString text;
    for (int i = start; i < end; ++i) text += characters[i];
    return text;
}

FilePathToken token(const QStringList& characters, int start, int end)
{
    return {joined(characters, start, end), start, end};
}

} // namespace

const QStringList& quoteCharacters()
{
    static const QStringList quotes{QStringLiteral("\""), QStringLiteral("'")};
    return quotes;
}

const QSet<QString>& knownTopLevelDomains()
{
    static const QSet<QString> domains{
        "com", "net", "org", "gov",  "edu",   "mil",  "info", "biz", "xyz", "online", "site", "tech",
        "cloud", "store", "shop", "news", "live", "top", "club", "vip", "me",  "tv",     "cc",   "us",
        "uk",  "jp",  "cn",  "de",   "fr",    "ru",   "br",   "in",  "nl",  "se",     "no",   "dk",
        "fi",  "pl",  "es",  "it",   "ca",    "au",   "nz",   "co",  "io",  "ai",     "dev",
    };
    return domains;
}

QStringList characters(const QString& line)
{
    QStringList result;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, line);
    qsizetype start = 0;
    while (finder.toNextBoundary() != -1) {
        const qsizetype end = finder.position();
        result.append(line.mid(start, end - start));
        start = end;
    }
    return result;
}

QList<FilePathToken> enumerateTokens(const QStringList& characters)
{
    QList<FilePathToken> tokens;
    const int count = static_cast<int>(characters.size());
    int i = 0;
    while (i < count) {
        const QString& character = characters[i];
        if (isWhitespace(character)) {
            ++i;
            continue;
        }
        if (isQuote(character)) {
            int close = i + 1;
            while (close < count && characters[close] != character) ++close;
            if (close == count) {
                // Unmatched: what follows is read as bare text.
                ++i;
                continue;
            }
            if (close > i + 1) {
                if (auto valid = validated(token(characters, i + 1, close))) tokens.append(*valid);
            }
            i = close + 1;
            continue;
        }
        const int start = i;
        while (i < count && !isWhitespace(characters[i]) && !isQuote(characters[i])) ++i;
        if (auto valid = validated(token(characters, start, i))) tokens.append(*valid);
    }
    return tokens;
}

QList<FilePathToken> enumerateTokens(const QString& line)
{
    return enumerateTokens(characters(line));
}

std::optional<FilePathToken> detectToken(const QStringList& characters, int column)
{
    if (column < 0 || column >= characters.size()) return std::nullopt;
    if (isWhitespace(characters[column]) || isQuote(characters[column])) return std::nullopt;
    // A quoted reading that fails validation is the answer: the bare run is not tried then.
    if (auto quoted = quotedToken(characters, column)) return validated(*quoted);
    if (auto bare = bareToken(characters, column)) return validated(*bare);
    return std::nullopt;
}

std::optional<FilePathToken> detectToken(const QString& line, int column)
{
    return detectToken(characters(line), column);
}

std::optional<FilePathToken> validated(const FilePathToken& token)
{
    const QString& text = token.text;
    if (text.isEmpty()) return std::nullopt;
    if (text.contains(u'/') || text.startsWith(u'~') || looksLikeBareFilenameWithExtension(text)) return token;
    return std::nullopt;
}

bool looksLikeURLOrDomain(const QString& text)
{
    const QStringList labels = text.split(u'.');
    if (labels.size() < 2) return false;
    for (const QString& label : labels) {
        if (label.isEmpty() || label.startsWith(u'-') || label.endsWith(u'-')) return false;
        for (const QChar c : label) {
            if (!isAsciiLetterOrDigit(c) && c != u'-') return false;
        }
    }
    return knownTopLevelDomains().contains(labels.last().toLower());
}

bool looksLikeBareFilenameWithExtension(const QString& text)
{
    const qsizetype dot = text.lastIndexOf(u'.');
    if (dot <= 0) return false;
    const QStringView extension = QStringView(text).mid(dot + 1);
    if (extension.isEmpty() || extension.size() > 6) return false;
    for (const QChar c : extension) {
        if (!isAsciiLetterOrDigit(c)) return false;
    }
    return !looksLikeURLOrDomain(text);
}

std::optional<FilePathToken> quotedToken(const QStringList& characters, int column)
{
    if (column <= 0 || column >= characters.size()) return std::nullopt;
    int open = column - 1;
    while (open >= 0 && !isQuote(characters[open])) --open;
    if (open < 0) return std::nullopt;
    int close = column + 1;
    while (close < characters.size() && characters[close] != characters[open]) ++close;
    if (close >= characters.size() || close == open + 1) return std::nullopt;
    return token(characters, open + 1, close);
}

std::optional<FilePathToken> bareToken(const QStringList& characters, int column)
{
    if (column < 0 || column >= characters.size()) return std::nullopt;
    auto stops = [&](int i) { return isWhitespace(characters[i]) || isQuote(characters[i]); };
    int start = column;
    while (start > 0 && !stops(start - 1)) --start;
    int end = column;
    while (end < characters.size() && !stops(end)) ++end;
    if (end == start) return std::nullopt;
    return token(characters, start, end);
}

} // namespace brisvane::FilePathDetector
