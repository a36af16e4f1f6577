#include "app/Views/OnboardingIntegrationsStep.hpp"

#include "app/ViewModels/DashboardViewModel.hpp"
#include "app/Views/DashboardStyle.hpp"
#include "app/Views/OnboardingComponents.hpp"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace brisvane {

namespace {

const HookInstallState& stateOf(const HookInstallationStatus& status, HookKind kind)
{
    return kind == HookKind::statusLine ? status.statusLine : status.stop;
}

void setTextColor(QLabel& label, const QColor& color)
{
    QPalette palette = label.palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    label.setPalette(palette);
}

} // namespace

OnboardingIntegrationsStep::OnboardingIntegrationsStep(DashboardViewModel& model, QWidget* parent)
    : QWidget(parent), model_(model)
{
    using namespace OnboardingComponents;
    // The step's task: the files may have changed since the last visit (in the settings window,
    // say), so read them again before showing anything.
    model_.setHookInstallationStatus(model_.hookInstaller().currentStatus());

    QVBoxLayout* stack = makeStepLayout(*this);
    QLabel* lead = makeLeadText(
        tr("プラン使用率ゲージと結論の読み上げには、Claude Codeの設定ファイル（%1）へ小さな登録が必要です。どちらも個別にON/OFFでき、あとから設定 → 連携タブでいつでも変更・撤去できます。")
            .arg(model_.hookInstaller().configuration().settingsPath));
    lead->setObjectName(QStringLiteral("integrationsLead"));
    stack->addWidget(lead);
    for (HookKind kind : kAllHookKinds) stack->addWidget(makeRow(kind));

    unreadableWarning_ = makeSymbolLabel(
        QStringLiteral("exclamationmark.triangle.fill"),
        tr("設定ファイルを読み取れないため、ここでは導入できません（壊れたファイルを上書きしないための安全策です）。"),
        DashboardStyle::font(11), orange());
    unreadableWarning_->setObjectName(QStringLiteral("integrationsUnreadableWarning"));
    stack->addWidget(unreadableWarning_);
    stack->addWidget(
        makeCaption(tr("変更前には必ずバックアップ（.brisvane-backup-…）を同じ場所へ作ります。ほかの設定には一切触れません。")));

    connect(&model_, &DashboardViewModel::hookInstallationStatusChanged, this, &OnboardingIntegrationsStep::showStatus);
    showStatus();
}

QWidget* OnboardingIntegrationsStep::makeRow(HookKind kind)
{
    using namespace OnboardingComponents;
    auto* row = new QFrame;
    row->setObjectName(QStringLiteral("integrationRow.") + rawValue(kind));
    // Only the row's own background: the selector keeps it from reaching the labels (frames too).
    row->setProperty("integrationRow", true);
    row->setStyleSheet(
        QStringLiteral("QFrame[integrationRow=\"true\"] { background-color: rgba(255, 255, 255, 13); border-radius: 8px; }"));
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(0);

    auto* texts = new QVBoxLayout;
    texts->setContentsMargins(0, 0, 0, 0);
    texts->setSpacing(3);
    QLabel* name = makeLeadText(displayName(kind));
    name->setFont(DashboardStyle::font(12, QFont::DemiBold));
    texts->addWidget(name);
    texts->addWidget(makeCaption(summary(kind), 10));
    Row& parts = rows_[size_t(kind)];
    parts.conflictNote = makeLeadText(tr("既に別の設定があります。詳しくは設定 → 連携タブでご確認ください。"), 10);
    parts.conflictNote->setObjectName(QStringLiteral("conflictNote"));
    setTextColor(*parts.conflictNote, orange());
    texts->addWidget(parts.conflictNote);
    layout->addLayout(texts, 1);
    layout->addSpacing(8);

    parts.installed = makeSymbolLabel(QStringLiteral("checkmark.circle.fill"), tr("導入済み"), DashboardStyle::font(11), green());
    parts.installed->setObjectName(QStringLiteral("installedLabel"));
    layout->addWidget(parts.installed, 0, Qt::AlignTop);
    parts.install = new QPushButton(tr("導入"));
    parts.install->setObjectName(QStringLiteral("installButton"));
    parts.install->setAutoDefault(false);
    connect(parts.install, &QPushButton::clicked, this, [this, kind] { model_.installHook(kind, false); });
    layout->addWidget(parts.install, 0, Qt::AlignTop);
    return row;
}

void OnboardingIntegrationsStep::showStatus()
{
    const HookInstallationStatus& status = model_.hookInstallationStatus();
    for (HookKind kind : kAllHookKinds) {
        const HookInstallState::Kind state = stateOf(status, kind).kind;
        Row& row = rows_[size_t(kind)];
        row.conflictNote->setVisible(state == HookInstallState::Kind::conflicting);
        row.installed->setVisible(state == HookInstallState::Kind::installed);
        row.install->setVisible(state == HookInstallState::Kind::notInstalled);
        row.install->setEnabled(status.isSettingsReadable);
    }
    unreadableWarning_->setVisible(!status.isSettingsReadable);
}

} // namespace brisvane
