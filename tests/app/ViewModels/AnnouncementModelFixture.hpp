#pragma once

// A dashboard model whose announcement side is wired to stand-ins: a clock the test sets, a
// recording speaker per voice, an engine probe answered by hand and a launcher that counts.

#include "app/ViewModels/DashboardViewModel.hpp"

#include "app/Models/UuidText.hpp"
#include "app/Services/platform/InMemoryPreferences.hpp"
#include "app/Services/platform/LocalFileSystemReader.hpp"
#include "app/Services/platform/LocalPathExistenceChecker.hpp"
#include "tests/app/AnnouncementPrinters.hpp"
#include "tests/app/Services/ScopedHomeEnvironment.hpp"
#include "tests/app/Services/SpeakerFakes.hpp"
#include "tests/app/ViewModels/DashboardModelHarness.hpp"

#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

namespace brisvane {

// Reaches the model's private announcement state, which its refresh fills in the application.
struct DashboardViewModelTestSeam {
    static void attach(DashboardViewModel& model, const QUuid& tile, int32_t pid)
    {
        model.terminals_.attachedPid_.insert(tile, pid);
    }
    static void setConclusion(DashboardViewModel& model, int32_t pid, const QString& text)
    {
        model.latestConclusions_.insert(pid, AnnouncementConclusion{pid, text, QDateTime::currentDateTimeUtc()});
    }
    static void setTileReading(DashboardViewModel& model, const QUuid& tile, bool enabled)
    {
        model.terminals_.conclusionReadingEnabled_.insert(tile, enabled);
    }
    static void scheduleReevaluation(DashboardViewModel& model, std::optional<double> delay)
    {
        model.announcements_->scheduleReevaluationIfNeeded(delay);
    }
    static const QTimer& reevaluationTimer(const DashboardViewModel& model)
    {
        return *model.announcements_->reevaluationTimer_;
    }
    static const QTimer& enginePollTimer(const DashboardViewModel& model) { return *model.speechEngine_->pollTimer_; }
    static std::optional<QDateTime> lastLaunchAttempt(const DashboardViewModel& model)
    {
        return model.speechEngine_->lastLaunchAttempt_;
    }
};

namespace test {

// Holds each probe's answer until the test gives it.
class ManualEngineProbe final : public VoicevoxEngineProbing {
public:
    void isEngineAvailable(std::function<void(bool)> answer) override { pending.push_back(std::move(answer)); }
    // Answers every probe asked so far.
    void answer(bool available)
    {
        std::vector<std::function<void(bool)>> answers = std::move(pending);
        pending.clear();
        for (auto& reply : answers) reply(available);
    }

    std::vector<std::function<void(bool)>> pending;
};

struct AnnouncementModelFixture : ::testing::Test {
    // Whatever the model's defaults look up, they find a temporary home.
    QTemporaryDir homeDirectory;
    ScopedHomeEnvironment homeEnvironment{homeDirectory.path()};
    std::shared_ptr<InMemoryPreferences> prefs = std::make_shared<InMemoryPreferences>();
    // Room for every notice a test raises.
    std::shared_ptr<AppNotificationCenter> center =
        std::make_shared<AppNotificationCenter>([] { return QDateTime::currentDateTimeUtc(); },
                                                AppNotificationCenter::kAutoDismissInterval, 10);
    QDateTime now = QDateTime(QDate(2026, 12, 10), QTime(9, 0), Qt::UTC);
    std::shared_ptr<RecordingSpeaker> systemVoice = std::make_shared<RecordingSpeaker>();
    std::shared_ptr<RecordingSpeaker> zundamon = std::make_shared<RecordingSpeaker>();
    std::shared_ptr<RecordingSpeaker> tohokuZunko = std::make_shared<RecordingSpeaker>();
    std::shared_ptr<ManualEngineProbe> probe = std::make_shared<ManualEngineProbe>();
    std::shared_ptr<CountingLauncher> launcher = std::make_shared<CountingLauncher>();
    std::unique_ptr<DashboardViewModel> model;

    void make(bool isJapaneseLocale = true, std::optional<HookInstaller> hookInstaller = std::nullopt)
    {
        model.reset();
        DashboardViewModel::Parameters p = modelParameters(QStringLiteral("/nonexistent/.claude"), prefs, center);
        p.clock = [this] { return now; };
        p.isJapaneseLocale = isJapaneseLocale;
        if (hookInstaller) p.hookInstaller = std::make_shared<HookInstaller>(std::move(*hookInstaller));
        p.announcementSpeaker = systemVoice;
        p.zundamonSpeaker = zundamon;
        p.tohokuZunkoSpeaker = tohokuZunko;
        p.kuronoTakehiroSpeaker = std::make_shared<RecordingSpeaker>();
        p.aoyamaRyuuseiSpeaker = std::make_shared<RecordingSpeaker>();
        p.kotoneNiaSpeaker = std::make_shared<RecordingSpeaker>();
        p.voicevoxEngineProbe = probe;
        p.voicevoxAppLauncher = launcher;
        model = std::make_unique<DashboardViewModel>(std::move(p));
    }

    void SetUp() override { make(); }

    static QUuid tileId(int n)
    {
        return QUuid(QStringLiteral("{00000000-0000-0000-0000-%1}").arg(n, 12, 10, QLatin1Char('0')));
    }
    static QString key(const QUuid& tile) { return QStringLiteral("t:") + UuidText::format(tile); }

    // An attached tile in the given state; its agent's pid is 1000 + n.
    static TerminalTile attachedTile(int n, const QString& project, SessionState state)
    {
        TerminalTile tile;
        tile.id = tileId(n);
        tile.lifecycle = TerminalTileLifecycle::attached(1000 + n);
        tile.projectName = ProjectDisplayName{project, std::nullopt, false};
        tile.sessionState = std::move(state);
        return tile;
    }

    void advance(double seconds) { now = now.addMSecs(qint64(seconds * 1000)); }

};

} // namespace test
} // namespace brisvane
