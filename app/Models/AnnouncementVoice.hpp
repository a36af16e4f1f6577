#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace brisvane {

// The voice that speaks announcements: the system's synthesiser or one of the VOICEVOX
// characters. Stored by its raw value.
enum class AnnouncementVoice {
    system,
    zundamon,
    tohokuZunko,
    kuronoTakehiro,
    aoyamaRyuusei,
    kotoneNia,
};

// Every voice, in declaration order.
const QList<AnnouncementVoice>& allAnnouncementVoices();
// "system", "zundamon", ...: the case's name.
QString rawValue(AnnouncementVoice voice);
// The voice whose raw value is exactly the text (letter case counts).
std::optional<AnnouncementVoice> announcementVoiceFromRawValue(const QString& text);
// The name the pickers show; only the system voice's is localised.
QString displayName(AnnouncementVoice voice);
// The voices offered to the user: the three last characters only in internal builds, and no
// character outside a Japanese locale.
QList<AnnouncementVoice> selectableAnnouncementVoices(bool isInternalBuild, bool isJapaneseLocale);

} // namespace brisvane
