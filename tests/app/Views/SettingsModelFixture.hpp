#pragma once

// A dashboard model for the settings and onboarding views: preferences in memory that count
// their writes, the harness's watcher that never fires, a speech engine probe and launcher whose answers the
// test sets, and a speaker that records what it is asked to say.

#include "app/Services/platform/LocalFileSystemReader.hpp"
#include "app/Services/platform/LocalPathExistenceChecker.hpp"
#include "app/Services/sessions/SessionChangeWatching.hpp"
#include "app/Services/voice/VoicevoxAppLaunching.hpp"
#include "app/Services/voice/VoicevoxEngineProbing.hpp"
#include "app/ViewModels/DashboardViewModel.hpp"
#include "tests/app/Services/SpeakerFakes.hpp"
#include "tests/app/ViewModels/DashboardModelHarness.hpp"

#include <QHash>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace brisvane::test {

class CountingPreferences final : public Preferences {
public:
    bool contains(const QString& key) const override { return values_.contains(key); }
    QVariant value(const QString& key) const override { return values_.value(key); }
    void setValue(const QString& key, const QVariant& value) override
    {
        values_.insert(key, value);
        writes[key]++;
    }
    void remove(const QString& key) override { values_.remove(key); }

    QHash<QString, int> writes;

private:
    QHash<QString, QVariant> values_;
};

// Answers from the event loop, as the real probe does.
class ScriptedProbe final : public VoicevoxEngineProbing {
public:
    void isEngineAvailable(std::function<void(bool)> answer) override
    {
        probes++;
        QTimer::singleShot(0, &context_, [this, answer = std::move(answer)] { answer(answers); });
    }
    bool answers = false;
    int probes = 0;

private:
    QObject context_;
};

struct SettingsModelFixture : ::testing::Test {
    std::shared_ptr<CountingPreferences> prefs = std::make_shared<CountingPreferences>();
    std::shared_ptr<ScriptedProbe> probe = std::make_shared<ScriptedProbe>();
    std::shared_ptr<CountingLauncher> launcher = std::make_shared<CountingLauncher>();
    std::shared_ptr<RecordingSpeaker> speaker = std::make_shared<RecordingSpeaker>();
    std::unique_ptr<DashboardViewModel> model;

    // VOICEVOX voices are offered only in a Japanese locale.
    void make(bool isJapaneseLocale = true)
    {
        model.reset();
        DashboardViewModel::Parameters p = modelParameters(
            qEnvironmentVariable("HOME") + "/.claude", prefs, std::make_shared<AppNotificationCenter>([] { return QDateTime::currentDateTimeUtc(); }));
        p.isJapaneseLocale = isJapaneseLocale;
        p.announcementSpeaker = speaker;
        for (auto* voice : {&p.zundamonSpeaker, &p.tohokuZunkoSpeaker, &p.kuronoTakehiroSpeaker,
                            &p.aoyamaRyuuseiSpeaker, &p.kotoneNiaSpeaker})
            *voice = speaker;
        p.voicevoxEngineProbe = probe;
        p.voicevoxAppLauncher = launcher;
        model = std::make_unique<DashboardViewModel>(std::move(p));
    }

    void SetUp() override { make(); }
};

} // namespace brisvane::test
