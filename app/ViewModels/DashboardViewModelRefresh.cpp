#include "app/ViewModels/DashboardViewModel.hpp"

#include "app/Services/integration/ClaudeHomeAccessChecker.hpp"
#include "app/Services/sessions/SessionGridBuilder.hpp"
#include "app/Services/tiles/TerminalSessionRegistry.hpp"
#include "app/Services/usage/PlanUsageStore.hpp"
#include "app/Services/usage/UsageSummaryBuilder.hpp"
#include "app/Services/voice/ConclusionStore.hpp"
#include "app/ViewModels/TerminalProcessController.hpp"

#include <QCoreApplication>
#include <QFutureWatcher>
#include <QLoggingCategory>
#include <QtConcurrent/QtConcurrentRun>

#include <type_traits>

Q_DECLARE_LOGGING_CATEGORY(lcDashboardViewModel)

namespace brisvane {

// The results of one pass, gathered on the GUI thread as its reads come in.
struct DashboardViewModel::RefreshPass {
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

namespace {

// Runs `read` on the pool and hands its value to `store` on the context's thread. The watcher
// belongs to the context, so nothing is delivered once the model is gone.
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

// Replaces an observed value and notifies, only when it differs.
template <typename T>
void assignObserved(DashboardViewModel& model, T& field, T value, void (DashboardViewModel::*changed)())
{
    if (field == value) return;
    field = std::move(value);
    emit (model.*changed)();
}

} // namespace

void DashboardViewModel::refresh()
{
    const Parameters& p = parameters_;
    auto pass = std::make_shared<RefreshPass>();
    pass->number = ++refreshCount_;
    refreshesInFlight_++;
    pass->now = p.clock();
    const QDateTime now = pass->now;

    const SessionGridBuildParameters gridParameters{p.sessionsDirectory, p.claudeHome, p.fileSystem, knownTiles_, now};
    newestRefresh_->store(pass->number);
    const auto overtaken = [newest = newestRefresh_, number = pass->number] { return newest->load() != number; };
    const UsageSummaryBuildParameters usageParameters{
        *p.statsCachePath, *p.projectsDirectory, p.fileSystem, now, p.calendar, transcripts_,
        UsageSelfAggregator::PassLimits{UsageSelfAggregator::kPassBytes, overtaken}};
    const PlanUsageStoreParameters planParameters{*p.planUsagePath, p.fileSystem, now};
    const ConclusionStoreParameters conclusionParameters{*p.conclusionDirectory, p.fileSystem, now};
    QMap<QUuid, int32_t> shellPids;
    for (auto& [id, controller] : terminalControllers_) {
        if (const std::optional<int32_t> pid = controller->runningShellPid()) shellPids.insert(id, *pid);
    }

    // The pass is applied here, on the GUI thread, once its last read is in; no read waits for
    // another.
    const auto arrived = [this, pass] {
        if (--pass->outstanding != 0) return;
        refreshesInFlight_--;
        applyRefreshPass(*pass);
    };
    readOnPool(refreshPool_, this, [gridParameters] { return SessionGridBuilder::build(gridParameters); },
               [pass, arrived](SessionGridBuildResult value) {
                   pass->grid = std::move(value);
                   arrived();
               });
    readOnPool(
        refreshPool_, this,
        [usageParameters] {
            UsageSummary summary = UsageSummaryBuilder::build(usageParameters);
            return std::pair(std::move(summary), usageParameters.transcripts->hasUnreadBytes());
        },
        [pass, arrived](std::pair<UsageSummary, bool> value) {
            pass->usage = std::move(value.first);
            pass->transcriptsUnread = value.second;
            arrived();
        });
    readOnPool(refreshPool_, this, [planParameters] { return PlanUsageStore::load(planParameters); },
               [pass, arrived](std::optional<PlanUsageSummary> value) {
                   pass->planUsage = std::move(value);
                   arrived();
               });
    readOnPool(refreshPool_, this, [conclusionParameters] { return ConclusionStore::load(conclusionParameters); },
               [pass, arrived](QMap<int32_t, AnnouncementConclusion> value) {
                   pass->conclusions = std::move(value);
                   arrived();
               });
    readOnPool(
        refreshPool_, this,
        [directory = p.sessionsDirectory, fileSystem = p.fileSystem] {
            return TerminalSessionRegistry::readSessionFiles(directory, *fileSystem);
        },
        [pass, arrived](QList<SessionFileRecord> value) {
            pass->records = std::move(value);
            arrived();
        });
    readOnPool(refreshPool_, this, [provider = p.processTreeProvider] { return provider(); },
               [pass, arrived](ProcessTreeFetchResult value) {
                   pass->processTree = std::move(value);
                   arrived();
               });
    // One shell after another: these are few, and each read is quick.
    readOnPool(
        refreshPool_, this,
        [provider = p.shellCwdProvider, shellPids] {
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
        refreshPool_, this,
        [claudeHome = p.claudeHome, fileSystem = p.fileSystem] {
            return ClaudeHomeAccessChecker::currentStatus(claudeHome, *fileSystem);
        },
        [pass, arrived](ClaudeHomeAccessStatus value) {
            pass->access = value;
            arrived();
        });
}

void DashboardViewModel::applyRefreshPass(const RefreshPass& pass)
{
    // A pass overtaken by a newer one would roll the tiles, attachments and announcement states
    // back to what it read earlier.
    if (pass.number < lastAppliedRefresh_) {
        qCInfo(lcDashboardViewModel, "古い更新結果を破棄: pass=%d 適用済み=%d", pass.number, lastAppliedRefresh_);
        return;
    }
    lastAppliedRefresh_ = pass.number;
    // The rest of the transcripts comes with the next pass; a newer pass in flight reads on anyway.
    if (pass.transcriptsUnread && pass.number == refreshCount_ && isWatching()) handleWatcherNotification();

    assignObserved(*this, knownTiles_, pass.grid.tiles, &DashboardViewModel::knownTilesChanged);
    assignObserved(*this, usageSummary_, pass.usage, &DashboardViewModel::usageSummaryChanged);
    assignObserved(*this, planUsage_, pass.planUsage, &DashboardViewModel::planUsageChanged);
    latestConclusions_ = pass.conclusions;
    assignObserved(*this, liveShellCwds_, pass.shellCwds, &DashboardViewModel::liveShellCwdsChanged);

    AppNotificationCenter& center = appNotificationCenter();
    if (pass.grid.directoryListingFailed) {
        center.post(AppNotificationSeverity::error, QStringLiteral("session.scan"),
                    QCoreApplication::translate("DashboardViewModel", "セッション情報を読み取れません。状態表示が更新されない可能性があります"));
    }
    if (pass.processTree.psFailed) {
        center.post(AppNotificationSeverity::error, QStringLiteral("process.tree"),
                    QCoreApplication::translate("DashboardViewModel", "プロセス情報を取得できません。状態表示が付かない場合があります"));
    }
    assignObserved(*this, claudeHomeAccessStatus_, pass.access, &DashboardViewModel::claudeHomeAccessStatusChanged);
    // Posted on every pass while it lasts: the centre counts the repeats on one notice.
    if (pass.access == ClaudeHomeAccessStatus::permissionDenied) {
        center.post(AppNotificationSeverity::error, QStringLiteral("claude.access.denied"),
                    QCoreApplication::translate("DashboardViewModel", "「~/.claude」へのアクセスが許可されていません"),
                    QCoreApplication::translate("DashboardViewModel", "セッション一覧・状態表示・プラン使用率ゲージ・音声通知が機能しません。"
                                                                      "システム設定の「プライバシーとセキュリティ」でBrisvaneを許可すると復帰します。"));
    }

    reconcileTerminalTiles(pass.grid.tiles, pass.records, pass.processTree.snapshot, pass.shellCwds, pass.now);
}

} // namespace brisvane
