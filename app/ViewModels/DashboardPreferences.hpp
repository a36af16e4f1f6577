#pragma once

#include "app/Models/AnnouncementThresholdPreset.hpp"
#include "app/Models/AnnouncementVoice.hpp"
#include "app/Models/ReadingDictionary.hpp"
#include "app/Services/platform/Preferences.hpp"

#include <QUuid>

#include <memory>
#include <optional>

namespace brisvane {

// The user's announcement and display choices: loaded once, and stored by each setter whatever
// it is given. The setters say whether the value changed; the model notifies and applies effects.
class DashboardPreferences {
public:
    DashboardPreferences(std::shared_ptr<Preferences> store, bool isInternalBuild, bool isJapaneseLocale);

    bool isAnnouncementsEnabled() const { return isAnnouncementsEnabled_; }
    AnnouncementVoice announcementVoice() const { return announcementVoice_; }
    bool isVoicevoxAutoLaunchEnabled() const { return isVoicevoxAutoLaunchEnabled_; }
    const ReadingDictionary& readingDictionary() const { return readingDictionary_; }
    bool isConclusionReadingDefaultEnabled() const { return isConclusionReadingDefaultEnabled_; }
    AnnouncementThresholdPreset completionAnnouncementThreshold() const { return completionAnnouncementThreshold_; }
    AnnouncementThresholdPreset conclusionReadingBusyThreshold() const { return conclusionReadingBusyThreshold_; }
    bool isInlineCostDisplayEnabled() const { return isInlineCostDisplayEnabled_; }

    bool setAnnouncementsEnabled(bool enabled);
    bool setAnnouncementVoice(AnnouncementVoice voice);
    bool setVoicevoxAutoLaunchEnabled(bool enabled);
    bool setCompletionAnnouncementThreshold(AnnouncementThresholdPreset preset);
    bool setConclusionReadingBusyThreshold(AnnouncementThresholdPreset preset);
    bool setConclusionReadingDefaultEnabled(bool enabled);
    bool setInlineCostDisplayEnabled(bool enabled);

    // Replaces the dictionary and stores nothing; the three edits below store it.
    bool setReadingDictionary(ReadingDictionary dictionary);
    // Appends an empty row; returns its id.
    QUuid addReadingEntry();
    void removeReadingEntry(const QUuid& id);
    // Replaces the given fields as typed; an unknown id changes and stores nothing (false).
    bool updateReadingEntry(const QUuid& id, const std::optional<QString>& projectName,
                            const std::optional<QString>& reading);

private:
    void saveReadingDictionary();

    std::shared_ptr<Preferences> store_;
    bool isAnnouncementsEnabled_ = true;
    AnnouncementVoice announcementVoice_ = AnnouncementVoice::system;
    bool isVoicevoxAutoLaunchEnabled_ = true;
    ReadingDictionary readingDictionary_;
    bool isConclusionReadingDefaultEnabled_ = false;
    AnnouncementThresholdPreset completionAnnouncementThreshold_;
    AnnouncementThresholdPreset conclusionReadingBusyThreshold_;
    bool isInlineCostDisplayEnabled_ = false;
};

} // namespace brisvane
