#pragma once

// Readable failure messages for the announcement and notification types.

#include "app/Models/Announcement.hpp"
#include "app/Models/AnnouncementConclusion.hpp"
#include "app/Models/AnnouncementThresholdPreset.hpp"
#include "app/Models/AnnouncementVoice.hpp"
#include "app/Models/AppNotification.hpp"
#include "app/Models/ReadingDictionary.hpp"
#include "app/Services/voice/AnnouncementEngine.hpp"
#include "app/Services/voice/ConclusionAnnouncementPlanner.hpp"
#include "tests/app/Printers.hpp"

#include <QUuid>

#include <ostream>

inline void PrintTo(const QUuid& id, std::ostream* out)
{
    *out << id.toString(QUuid::WithoutBraces).toUpper().toStdString();
}

namespace brisvane {

inline void PrintTo(AnnouncementVoice voice, std::ostream* out)
{
    *out << rawValue(voice).toStdString();
}

inline void PrintTo(AnnouncementThresholdPreset preset, std::ostream* out)
{
    *out << "preset(" << seconds(preset) << " s)";
}

inline void PrintTo(const Announcement& announcement, std::ostream* out)
{
    *out << (announcement.kind == AnnouncementKind::completed ? "completed" : "waiting") << " ["
         << announcement.projectName.toStdString() << "] \"" << announcement.message.toStdString() << "\"";
}

inline void PrintTo(const AnnouncementResult& result, std::ostream* out)
{
    *out << "{" << result.id.toStdString() << ": ";
    PrintTo(result.announcement, out);
    if (result.busyDuration) *out << ", busy " << *result.busyDuration << " s";
    *out << "}";
}

inline void PrintTo(const AnnouncementEngine::ProcessingOutcome& outcome, std::ostream* out)
{
    *out << "results:";
    for (const AnnouncementResult& result : outcome.results) {
        *out << " ";
        PrintTo(result, out);
    }
    *out << ", delay ";
    if (outcome.reevaluationDelay) {
        *out << *outcome.reevaluationDelay;
    } else {
        *out << "none";
    }
}

inline void PrintTo(const ConclusionAnnouncementPlanner::Plan& plan, std::ostream* out)
{
    *out << "individual:";
    for (const Announcement& announcement : plan.individual) {
        *out << " ";
        PrintTo(announcement, out);
    }
    *out << ", winner: ";
    if (plan.winner) {
        PrintTo(*plan.winner, out);
    } else {
        *out << "none";
    }
    if (plan.winnerConclusionText) *out << " + \"" << plan.winnerConclusionText->toStdString() << "\"";
    *out << ", remaining " << plan.remainingCompletedCount;
}

inline void PrintTo(const AnnouncementConclusion& conclusion, std::ostream* out)
{
    *out << "{" << conclusion.pid << ", \"" << conclusion.text.toStdString() << "\", "
         << conclusion.capturedAt.toString(Qt::ISODateWithMs).toStdString() << "}";
}

inline void PrintTo(const ReadingEntry& entry, std::ostream* out)
{
    *out << "{";
    ::PrintTo(entry.id, out);
    *out << ", " << entry.projectName.toStdString() << " -> " << entry.reading.toStdString() << "}";
}

inline void PrintTo(const ReadingDictionary& dictionary, std::ostream* out)
{
    *out << "[";
    for (const ReadingEntry& entry : dictionary.entries) PrintTo(entry, out);
    *out << "]";
}

inline void PrintTo(const AppNotification& notification, std::ostream* out)
{
    static const char* const kSeverities[] = {"error", "warning", "info"};
    *out << "{" << kSeverities[static_cast<int>(notification.severity)] << " " << notification.dedupeKey.toStdString()
         << " \"" << notification.title.toStdString() << "\" x" << notification.occurrenceCount << " at "
         << notification.occurredAt.toString(Qt::ISODateWithMs).toStdString() << "}";
}

} // namespace brisvane
