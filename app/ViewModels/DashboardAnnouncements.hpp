#pragma once

#include "app/Models/ReadingDictionary.hpp"
#include "app/Models/TerminalTile.hpp"
#include "app/Services/voice/AnnouncementEngine.hpp"
#include "app/Services/voice/AnnouncementSpeaking.hpp"

#include <QDateTime>
#include <QMap>
#include <QObject>
#include <QUuid>

#include <functional>
#include <optional>

class QTimer;

namespace brisvane {

class DashboardPreferences;
class DashboardSpeechEngine;

// What the tiles' sessions call to be said: the engine's decisions, which spoken summaries are
// read, the voice's styling and the readings of project names, and the re-evaluation the engine
// asks for. Speaks through the speech engine's speaker of the current voice. GUI thread only.
class DashboardAnnouncements final : public QObject {
    Q_OBJECT

public:
    // What the plan reads of the tiles, which the model keeps.
    struct TileLookups {
        // The tile's own reading switch, if it has one.
        std::function<std::optional<bool>(const QUuid&)> readingEnabled;
        // The text of the fresh spoken summary of the tile's agent, if there is one.
        std::function<std::optional<QString>(const QUuid&)> conclusionText;
    };

    // The engine starts with the stored completion threshold.
    DashboardAnnouncements(const DashboardPreferences& preferences, const DashboardSpeechEngine& speech,
                           bool isJapaneseLocale, TileLookups tiles);

    // The sessions to judge, keyed "t:" + tile UUID: only agents in the application's own tiles.
    static QMap<QString, AnnouncementSessionInfo> snapshot(const QList<TerminalTile>& tiles);

    AnnouncementEngine& engine() { return engine_; }
    const AnnouncementEngine& engine() const { return engine_; }

    // Decides and speaks what the snapshot calls for. The engine sees every snapshot, even with
    // announcements off, so that its streaks stay current; the re-evaluation it asks for replaces
    // the pending one.
    void evaluate(const QMap<QString, AnnouncementSessionInfo>& snapshot, const QDateTime& now);
    // Speaks a completion of the row's project with the row's reading, announcements on or off.
    void speakReadingPreview(const ReadingEntry& entry) const;
    void playTestAnnouncement() const;
    // Ends the pending re-evaluation.
    void stop();

signals:
    // The moment the engine named has passed: evaluate again.
    void reevaluationDue();

private:
    friend struct DashboardViewModelTestSeam;
    // Styled for the current voice, and said with the project's reading when `dictionary` has one.
    Announcement spokenAnnouncement(const Announcement& announcement, const ReadingDictionary& dictionary,
                                    bool isJapaneseLocale) const;
    void speak(const Announcement& announcement) const;
    void scheduleReevaluationIfNeeded(std::optional<double> delay);

    const DashboardPreferences& preferences_;
    const DashboardSpeechEngine& speech_;
    bool isJapaneseLocale_;
    TileLookups tiles_;
    AnnouncementEngine engine_;
    // Single-shot: at most one re-evaluation is pending.
    QTimer* reevaluationTimer_ = nullptr;
};

} // namespace brisvane
