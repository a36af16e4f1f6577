#pragma once

#include "app/Models/Announcement.hpp"
#include "app/Models/AnnouncementVoice.hpp"

#include <QString>

namespace brisvane::AnnouncementMessageFormatter {

// The announcement as the voice says it. Zundamon rephrases it from the project name in her own
// Japanese manner, whatever the locale; every other voice says it unchanged.
Announcement styled(const Announcement& announcement, AnnouncementVoice voice);

// Every occurrence of `search` in `text` replaced by `replacement`, literally and case-sensitively,
// left to right without overlaps. An empty `search` leaves the text as it is.
QString replaceAll(const QString& text, const QString& search, const QString& replacement);

} // namespace brisvane::AnnouncementMessageFormatter
