#pragma once

#include "app/Models/AnnouncementConclusion.hpp"
#include "app/Models/Calendar.hpp"
#include "app/Models/ClaudeHomeAccessStatus.hpp"
#include "app/Models/PlanUsageSummary.hpp"
#include "app/Models/ProcessTreeSnapshot.hpp"
#include "app/Models/SessionFileRecord.hpp"
#include "app/Models/SessionTile.hpp"
#include "app/Models/UsageSummary.hpp"
#include "app/Services/platform/FileSystemReading.hpp"
#include "app/Services/sessions/SessionGridBuilder.hpp"
#include "app/Services/usage/UsageSelfAggregator.hpp"

#include <QDateTime>
#include <QMap>
#include <QThreadPool>
#include <QUuid>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class QObject;

namespace brisvane {

// The results of one refresh pass, gathered on the GUI thread as its reads come in.
struct RefreshPass {
    static constexpr int kReads = 8;

    int number = 0;
    // One instant for every read of the pass and for its reconciliation.
    QDateTime now;
    SessionGridBuildResult grid;
    UsageSummary usage = UsageSummary::unavailable();
    // The transcripts hold more than this pass read.
    bool transcriptsUnread = false;
    std::optional<PlanUsageSummary> planUsage;
    QMap<int32_t, AnnouncementConclusion> conclusions;
    QList<SessionFileRecord> records;
    ProcessTreeFetchResult processTree;
    QMap<QUuid, QString> shellCwds;
    ClaudeHomeAccessStatus access = ClaudeHomeAccessStatus::unknown;
    int outstanding = kReads;
};

// The dashboard's refresh passes: reads the outside state on its own workers, numbers the passes,
// stops overtaken passes' long reads, and hands each pass to `apply` on the GUI thread once every
// read is in, unless a newer pass was applied first.
class DashboardRefresh {
public:
    // Where the reads look; copied once the model has filled in its defaults.
    struct Sources {
        QString sessionsDirectory;
        QString claudeHome;
        std::shared_ptr<const FileSystemReading> fileSystem;
        QString projectsDirectory;
        QString statsCachePath;
        QString planUsagePath;
        QString conclusionDirectory;
        Calendar calendar = Calendar::current();
        // Called on the workers.
        std::function<ProcessTreeFetchResult()> processTreeProvider;
        std::function<std::optional<QString>(int32_t)> shellCwdProvider;
    };

    // `context` receives the results: nothing is delivered once it is gone.
    DashboardRefresh(Sources sources, QObject* context, std::function<void(const RefreshPass&)> apply);
    // Waits for the reads still running, after telling them to stop: the transcripts' stops
    // within a chunk.
    ~DashboardRefresh();
    DashboardRefresh(const DashboardRefresh&) = delete;
    DashboardRefresh& operator=(const DashboardRefresh&) = delete;

    // Starts the next pass at `now` over the tiles known so far and the running shells' pids;
    // returns at once.
    void start(const QDateTime& now, const QMap<QString, SessionTile>& knownTiles, const QMap<QUuid, int32_t>& shellPids);

    // The passes started so far; each pass is numbered by this count.
    int count() const { return count_; }
    // The number of the last pass applied; 0 before any.
    int lastApplied() const { return lastApplied_; }
    // Passes whose reads are not all in yet.
    int inFlight() const { return inFlight_; }

private:
    void arrived(RefreshPass& pass);

    Sources sources_;
    QObject* context_;
    std::function<void(const RefreshPass&)> apply_;
    int count_ = 0;
    int lastApplied_ = 0;
    int inFlight_ = 0;
    // The number of the newest pass, for its workers: older passes stop their long reads, and
    // all do when it is 0 (the model is going away).
    std::shared_ptr<std::atomic<int>> newest_ = std::make_shared<std::atomic<int>>(0);
    // The transcripts as read so far, read on by each pass.
    std::shared_ptr<UsageSelfAggregator::TranscriptStore> transcripts_ =
        std::make_shared<UsageSelfAggregator::TranscriptStore>();
    // The reads' own threads; declared last so that it is destroyed (and waits) first. The reads
    // use copies only, never the model.
    QThreadPool pool_;
};

} // namespace brisvane
