#include "app/ViewModels/DashboardRefresh.hpp"

#include "app/Services/integration/ClaudeHomeAccessChecker.hpp"
#include "app/Services/tiles/TerminalSessionRegistry.hpp"
#include "app/Services/usage/PlanUsageStore.hpp"
#include "app/Services/usage/UsageSummaryBuilder.hpp"
#include "app/Services/voice/ConclusionStore.hpp"

#include <QFutureWatcher>
#include <QLoggingCategory>
#include <QtConcurrent/QtConcurrentRun>

#include <type_traits>

Q_DECLARE_LOGGING_CATEGORY(lcDashboardViewModel)

namespace brisvane {

namespace {

// Runs `read` on the pool and hands its value to `store` on the context's thread. The watcher
// belongs to the context, so nothing is delivered once the context is gone.
template <typename Read, typename Store>
void readOnPool(QThreadPool& pool, QObject* context, Read read, Store store)
{
    using Value = std::invoke_result_t<Read>;
    auto* watcher = new QFutureWatcher<Value>(context);
    QObject::connect(watcher, &QFutureWatcherBase::finished, context, [watcher, store = std::move(store)] {
        store(watcher->result());
        watcher->deleteLater();
    });
    watcher->setFuture(QtConcurrent::run(&pool, std::move(read)));
}

} // namespace

DashboardRefresh::DashboardRefresh(Sources sources, QObject* context, std::function<void(const RefreshPass&)> apply)
    : sources_(std::move(sources)), context_(context), apply_(std::move(apply))
{
    // One thread per read: they mostly wait on files and the process table.
    pool_.setMaxThreadCount(RefreshPass::kReads);
}

DashboardRefresh::~DashboardRefresh()
{
    newest_->store(0);
}

void DashboardRefresh::start(const QDateTime& now, const QMap<QString, SessionTile>& knownTiles,
                             const QMap<QUuid, int32_t>& shellPids)
{
    const Sources& s = sources_;
    auto pass = std::make_shared<RefreshPass>();
    pass->number = ++count_;
    inFlight_++;
    pass->now = now;

    const SessionGridBuildParameters gridParameters{s.sessionsDirectory, s.claudeHome, s.fileSystem, knownTiles, now};
    newest_->store(pass->number);
    const auto overtaken = [newest = newest_, number = pass->number] { return newest->load() != number; };
    const UsageSummaryBuildParameters usageParameters{
        s.statsCachePath, s.projectsDirectory, s.fileSystem, now, s.calendar, transcripts_,
        UsageSelfAggregator::PassLimits{UsageSelfAggregator::kPassBytes, overtaken}};
    const PlanUsageStoreParameters planParameters{s.planUsagePath, s.fileSystem, now};
    const ConclusionStoreParameters conclusionParameters{s.conclusionDirectory, s.fileSystem, now};

    // The pass is applied on the GUI thread once its last read is in; no read waits for another.
    const auto arrived = [this, pass] { this->arrived(*pass); };
    readOnPool(pool_, context_, [gridParameters] { return SessionGridBuilder::build(gridParameters); },
               [pass, arrived](SessionGridBuildResult value) {
                   pass->grid = std::move(value);
                   arrived();
               });
    readOnPool(
        pool_, context_,
        [usageParameters] {
            UsageSummary summary = UsageSummaryBuilder::build(usageParameters);
            return std::pair(std::move(summary), usageParameters.transcripts->hasUnreadBytes());
        },
        [pass, arrived](std::pair<UsageSummary, bool> value) {
            pass->usage = std::move(value.first);
            pass->transcriptsUnread = value.second;
            arrived();
        });
    readOnPool(pool_, context_, [planParameters] { return PlanUsageStore::load(planParameters); },
               [pass, arrived](std::optional<PlanUsageSummary> value) {
                   pass->planUsage = std::move(value);
                   arrived();
               });
    readOnPool(pool_, context_, [conclusionParameters] { return ConclusionStore::load(conclusionParameters); },
               [pass, arrived](QMap<int32_t, AnnouncementConclusion> value) {
                   pass->conclusions = std::move(value);
                   arrived();
               });
    readOnPool(
        pool_, context_,
        [directory = s.sessionsDirectory, fileSystem = s.fileSystem] {
            return TerminalSessionRegistry::readSessionFiles(directory, *fileSystem);
        },
        [pass, arrived](QList<SessionFileRecord> value) {
            pass->records = std::move(value);
            arrived();
        });
    readOnPool(pool_, context_, [provider = s.processTreeProvider] { return provider(); },
               [pass, arrived](ProcessTreeFetchResult value) {
                   pass->processTree = std::move(value);
                   arrived();
               });
    // One shell after another: these are few, and each read is quick.
    readOnPool(
        pool_, context_,
        [provider = s.shellCwdProvider, shellPids] {
            QMap<QUuid, QString> cwds;
            for (auto entry = shellPids.begin(); entry != shellPids.end(); ++entry) {
                if (std::optional<QString> cwd = provider(entry.value())) cwds.insert(entry.key(), *cwd);
            }
            return cwds;
        },
        [pass, arrived](QMap<QUuid, QString> value) {
            pass->shellCwds = std::move(value);
            arrived();
        });
    readOnPool(
        pool_, context_,
        [claudeHome = s.claudeHome, fileSystem = s.fileSystem] {
            return ClaudeHomeAccessChecker::currentStatus(claudeHome, *fileSystem);
        },
        [pass, arrived](ClaudeHomeAccessStatus value) {
            pass->access = value;
            arrived();
        });
}

void DashboardRefresh::arrived(RefreshPass& pass)
{
    if (--pass.outstanding != 0) return;
    inFlight_--;
    // A pass overtaken by a newer one would roll the tiles, attachments and announcement states
    // back to what it read earlier.
    if (pass.number < lastApplied_) {
        qCInfo(lcDashboardViewModel, "古い更新結果を破棄: pass=%d 適用済み=%d", pass.number, lastApplied_);
        return;
    }
    lastApplied_ = pass.number;
    apply_(pass);
}

} // namespace brisvane
