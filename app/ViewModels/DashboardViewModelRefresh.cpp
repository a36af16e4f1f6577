#include "app/ViewModels/DashboardViewModel.hpp"

#include "app/ViewModels/TerminalProcessController.hpp"

#include <QCoreApplication>
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcDashboardViewModel)

namespace brisvane {

namespace {

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
    QMap<QUuid, int32_t> shellPids;
    for (const auto& [id, controller] : terminals_.controllers()) {
        if (const std::optional<int32_t> pid = controller->runningShellPid()) shellPids.insert(id, *pid);
    }
    refresh_->start(parameters_.clock(), knownTiles_, shellPids);
}

void DashboardViewModel::applyRefreshPass(const RefreshPass& pass)
{
    // The rest of the transcripts comes with the next pass; a newer pass in flight reads on anyway.
    if (pass.transcriptsUnread && pass.number == refresh_->count() && isWatching()) handleWatcherNotification();

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
