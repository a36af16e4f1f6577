#pragma once

#include "app/Models/AnnouncementVoice.hpp"

#include <QStringList>
#include <QWidget>

namespace brisvane {

class DashboardViewModel;

// The settings window's about tab: name, version and build, the way back to the onboarding, the
// credits of the VOICEVOX voices offered, and the terminal module's licence notice.
class AboutSettingsTab final : public QWidget {
    Q_OBJECT
public:
    // What the build says about itself; an empty value is unknown.
    struct BuildInfo {
        QString version;
        QString buildNumber;
        // The values the build system generated for this binary.
        static BuildInfo current();
    };

    // The speech engine's web address, named in the credits.
    static const QString kVoicevoxWebAddress;

    AboutSettingsTab(DashboardViewModel& model, const BuildInfo& buildInfo, QWidget* parent = nullptr);

    // "バージョン 1.2（build 34）", with "不明" for each value the build did not give.
    static QString versionLine(const BuildInfo& buildInfo);
    // One credit line per offered VOICEVOX voice, in the given order; the system voice has none.
    static QStringList voicevoxCredits(const QList<AnnouncementVoice>& offeredVoices);
};

} // namespace brisvane
