#include "app/Models/AnnouncementVoice.hpp"

#include <QCoreApplication>

namespace brisvane {

const QList<AnnouncementVoice>& allAnnouncementVoices()
{
    static const QList<AnnouncementVoice> all{
        AnnouncementVoice::system,         AnnouncementVoice::zundamon,      AnnouncementVoice::tohokuZunko,
        AnnouncementVoice::kuronoTakehiro, AnnouncementVoice::aoyamaRyuusei, AnnouncementVoice::kotoneNia,
    };
    return all;
}

QString rawValue(AnnouncementVoice voice)
{
    switch (voice) {
    case AnnouncementVoice::zundamon:
        return QStringLiteral("zundamon");
    case AnnouncementVoice::tohokuZunko:
        return QStringLiteral("tohokuZunko");
    case AnnouncementVoice::kuronoTakehiro:
        return QStringLiteral("kuronoTakehiro");
    case AnnouncementVoice::aoyamaRyuusei:
        return QStringLiteral("aoyamaRyuusei");
    case AnnouncementVoice::kotoneNia:
        return QStringLiteral("kotoneNia");
    case AnnouncementVoice::system:
        break;
    }
    return QStringLiteral("system");
}

std::optional<AnnouncementVoice> announcementVoiceFromRawValue(const QString& text)
{
    for (AnnouncementVoice voice : allAnnouncementVoices())
        if (rawValue(voice) == text) return voice;
    return std::nullopt;
}

QString displayName(AnnouncementVoice voice)
{
    // The character names are names: no translation.
    switch (voice) {
    case AnnouncementVoice::zundamon:
        return QStringLiteral("ずんだもん");
    case AnnouncementVoice::tohokuZunko:
        return QStringLiteral("東北ずん子");
    case AnnouncementVoice::kuronoTakehiro:
        return QStringLiteral("玄野武宏");
    case AnnouncementVoice::aoyamaRyuusei:
        return QStringLiteral("青山龍星");
    case AnnouncementVoice::kotoneNia:
        return QStringLiteral("琴詠ニア");
    case AnnouncementVoice::system:
        break;
    }
    return QCoreApplication::translate("AnnouncementVoice", "システム標準");
}

QList<AnnouncementVoice> selectableAnnouncementVoices(bool isInternalBuild, bool isJapaneseLocale)
{
    if (!isJapaneseLocale) return {AnnouncementVoice::system};
    if (isInternalBuild) return allAnnouncementVoices();
    return {AnnouncementVoice::system, AnnouncementVoice::zundamon, AnnouncementVoice::tohokuZunko,
            AnnouncementVoice::kuronoTakehiro};
}

} // namespace brisvane
