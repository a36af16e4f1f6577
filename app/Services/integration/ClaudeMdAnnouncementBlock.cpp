#include "app/Services/integration/ClaudeMdAnnouncementBlock.hpp"

#include <QStringList>

#include <algorithm>

namespace brisvane::ClaudeMdAnnouncementBlock {

namespace {

QString joinedBlock(const QStringList& body)
{
    return (QStringList{startMarker()} + body + QStringList{endMarker()}).join(u'\n');
}

// Nothing but spaces and tabs (the separators of Unicode's Zs class count as spaces).
bool isBlank(const QString& line)
{
    return std::all_of(line.begin(), line.end(),
                       [](QChar c) { return c == u'\t' || c.category() == QChar::Separator_Space; });
}

QString collapseSurroundingBlankLines(const QString& text)
{
    QStringList kept;
    bool previousBlank = false;
    for (const QString& line : text.split(u'\n')) {
        const bool blank = isBlank(line);
        if (blank && previousBlank) continue;
        kept.append(line);
        previousBlank = blank;
    }
    while (!kept.isEmpty() && isBlank(kept.first())) kept.removeFirst();
    while (!kept.isEmpty() && isBlank(kept.last())) kept.removeLast();
    if (kept.isEmpty()) return {};
    return kept.join(u'\n') + u'\n';
}

} // namespace

QString startMarker()
{
    return QStringLiteral("<!-- Brisvane:voice-summary:start -->");
}

QString endMarker()
{
    return QStringLiteral("<!-- Brisvane:voice-summary:end -->");
}

QString textJapanese()
{
    static const QString block = joinedBlock({
        QStringLiteral("## Brisvaneへの音声要約"),
        QString(),
        QStringLiteral("まとまった作業が完了して回答を返すときは、最後に次の形式で1行だけ要約を書いてください。"),
        QString(),
        QStringLiteral("【音声】<何をしたか、次に何をすればよいかを60字程度で>"),
        QString(),
        QStringLiteral("- この行はBrisvaneというアプリが音声で読み上げるために使います（無くても動作します。読み上げの精度が上がる任意の強化です）。"),
        QStringLiteral("- 短いやり取り・確認待ちの最中には書かないでください。"),
        QStringLiteral("- 内容に秘密情報（トークン・パスワードなど）は含めないでください。"),
    });
    return block;
}

QString textEnglish()
{
    static const QString block = joinedBlock({
        QStringLiteral("## Voice summary for Brisvane"),
        QString(),
        QStringLiteral("When you finish a meaningful piece of work and return your answer, end it with one line in this format:"),
        QString(),
        QStringLiteral("【音声】<what you did and what to do next, in about 60 characters>"),
        QString(),
        QStringLiteral("- This line is used by an app called Brisvane to read a summary aloud (this is optional — everything "
                       "still works without it; it just makes the reading more accurate)."),
        QStringLiteral("- Don't write it for short exchanges or while waiting for confirmation."),
        QStringLiteral("- Don't include secrets (tokens, passwords, etc.) in it."),
    });
    return block;
}

QString text(bool isJapaneseLocale)
{
    return isJapaneseLocale ? textJapanese() : textEnglish();
}

QString removingBlock(const QString& text)
{
    const QString start = startMarker();
    const QString end = endMarker();
    for (qsizetype endIndex = text.indexOf(end); endIndex >= 0; endIndex = text.indexOf(end, endIndex + end.size())) {
        // The nearest start marker that ends before this end marker begins.
        const qsizetype startIndex = endIndex >= start.size() ? text.lastIndexOf(start, endIndex - start.size()) : -1;
        if (startIndex < 0) continue;
        QString rest = text;
        rest.remove(startIndex, endIndex + end.size() - startIndex);
        return collapseSurroundingBlankLines(rest);
    }
    return text;
}

QString inserting(const QString& text, bool isJapaneseLocale)
{
    const QString rest = removingBlock(text).trimmed();
    const QString block = ClaudeMdAnnouncementBlock::text(isJapaneseLocale);
    return (rest.isEmpty() ? block : rest + QStringLiteral("\n\n") + block) + u'\n';
}

} // namespace brisvane::ClaudeMdAnnouncementBlock
