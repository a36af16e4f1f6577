#pragma once

#include "app/Models/AnnouncementVoice.hpp"

#include <QUrl>
#include <QWidget>

#include <memory>

namespace brisvane {

class DashboardViewModel;
class FileOpening;

// The onboarding's speech-engine step (Japanese locale only): the system voice works as it is,
// VOICEVOX is an optional free engine with other voices, a link to get it, and a button that
// opens the settings on the announcement tab while the sheet stays open.
class OnboardingVoicevoxInfoStep final : public QWidget {
    Q_OBJECT
public:
    // The engine's web site, opened in the default browser.
    static const QUrl kVoicevoxDownloadUrl;

    OnboardingVoicevoxInfoStep(DashboardViewModel& model, std::shared_ptr<const FileOpening> fileOpener,
                               QWidget* parent = nullptr);

    // The offered voices' names without the system voice, joined with "・".
    static QString voicevoxVoiceNamesText(const QList<AnnouncementVoice>& offeredVoices);
};

} // namespace brisvane
