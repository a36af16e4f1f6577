#include "app/Services/voice/AnnouncementMessageFormatter.hpp"

namespace brisvane::AnnouncementMessageFormatter {

Announcement styled(const Announcement& announcement, AnnouncementVoice voice)
{
    if (voice != AnnouncementVoice::zundamon) return announcement;
    // The character's own speech: never translated.
    const QString ending = announcement.kind == AnnouncementKind::waitingForApproval
        ? QStringLiteral("が確認待ちなのだ")
        : QStringLiteral("のタスクが完了したのだ");
    return {announcement.kind, announcement.projectName, announcement.projectName + ending};
}

QString replaceAll(const QString& text, const QString& search, const QString& replacement)
{
    // QString::replace would put the replacement between every two characters.
    if (search.isEmpty()) return text;
    QString result = text;
    return result.replace(search, replacement, Qt::CaseSensitive);
}

} // namespace brisvane::AnnouncementMessageFormatter
