#include "app/Views/AnnouncementSettingsPopoverView.hpp"

#include "app/Views/ColorDot.hpp"

#include "app/ViewModels/DashboardViewModel.hpp"
#include "app/Views/DashboardStyle.hpp"
#include "app/Views/PlainButton.hpp"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace brisvane {

namespace {

QColor statusColor(VoicevoxEngineStatus status)
{
    switch (status) {
    case VoicevoxEngineStatus::connected: return DashboardStyle::green();
    case VoicevoxEngineStatus::launching: return QColor(255, 159, 10);
    case VoicevoxEngineStatus::notRunning: return DashboardStyle::red();
    case VoicevoxEngineStatus::unknown:
    case VoicevoxEngineStatus::notInstalled: break;
    }
    return DashboardStyle::secondaryText();
}

} // namespace

AnnouncementSettingsPopoverView::AnnouncementSettingsPopoverView(DashboardViewModel& viewModel,
                                                                 std::function<void()> openSettings, QWidget* parent)
    : PopoverFrame(parent), viewModel_(viewModel), openSettings_(std::move(openSettings))
{
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(12, 12, 12, 12);
    stack->setSpacing(10);

    switch_ = new QCheckBox(tr("音声通知"), this);
    switch_->setFont(DashboardStyle::font(12));
    connect(switch_, &QCheckBox::toggled, this, [this](bool on) {
        if (on != viewModel_.isAnnouncementsEnabled()) viewModel_.setAnnouncementsEnabled(on);
    });
    stack->addWidget(switch_);

    auto* voiceRow = new QHBoxLayout;
    voiceRow->setSpacing(6);
    voiceRow->addWidget(DashboardStyle::makeLabel(tr("声"), DashboardStyle::font(11), DashboardStyle::secondaryText(), this));
    voice_ = DashboardStyle::makeLabel(QString(), DashboardStyle::font(11), DashboardStyle::primaryText(), this);
    voiceRow->addWidget(voice_);
    voiceRow->addStretch(1);
    stack->addLayout(voiceRow);

    engineRow_ = new QWidget(this);
    auto* engineLayout = new QHBoxLayout(engineRow_);
    engineLayout->setContentsMargins(0, 0, 0, 0);
    engineLayout->setSpacing(6);
    engineDot_ = new ColorDot(8, QColor(), engineRow_);
    engineLayout->addWidget(engineDot_, 0, Qt::AlignVCenter);
    engineLabel_ = DashboardStyle::makeLabel(QString(), DashboardStyle::font(11), DashboardStyle::secondaryText(),
                                             engineRow_);
    engineLayout->addWidget(engineLabel_, 0, Qt::AlignVCenter);
    engineLayout->addStretch(1);
    stack->addWidget(engineRow_);

    stack->addWidget(DashboardStyle::makeDivider(this));

    settingsLink_ = PlainButton::make(tr("設定を開く…"), 11, QFont::Normal, DashboardStyle::accent(), this);
    connect(settingsLink_, &QPushButton::clicked, this, [this] {
        dismiss();
        if (openSettings_) openSettings_();
    });
    stack->addWidget(settingsLink_);
    creditsLink_ = PlainButton::make(tr("クレジット表記を見る…"), 11, QFont::Normal, DashboardStyle::accent(), this);
    connect(creditsLink_, &QPushButton::clicked, this, &AnnouncementSettingsPopoverView::openCredits);
    stack->addWidget(creditsLink_);

    setFixedWidth(200);
    for (auto changed : {&DashboardViewModel::isAnnouncementsEnabledChanged, &DashboardViewModel::announcementVoiceChanged,
                         &DashboardViewModel::voicevoxEngineStatusChanged})
        connect(&viewModel_, changed, this, &AnnouncementSettingsPopoverView::refresh);
    refresh();
}

QColor AnnouncementSettingsPopoverView::engineDotColor() const
{
    return engineDot_->color();
}

void AnnouncementSettingsPopoverView::openCredits()
{
    if (viewModel_.settingsSelectedTab() != SettingsTab::about) viewModel_.setSettingsSelectedTab(SettingsTab::about);
    dismiss();
    if (openSettings_) openSettings_();
}

void AnnouncementSettingsPopoverView::willPresent()
{
    refresh();
    viewModel_.updateVoicevoxEngineStatus(false);
}

void AnnouncementSettingsPopoverView::refresh()
{
    {
        const QSignalBlocker quiet(switch_);
        switch_->setChecked(viewModel_.isAnnouncementsEnabled());
    }
    const AnnouncementVoice voice = viewModel_.announcementVoice();
    voice_->setText(displayName(voice));
    const VoicevoxEngineStatus status = viewModel_.voicevoxEngineStatus();
    engineRow_->setVisible(voice != AnnouncementVoice::system);
    engineDot_->setColor(statusColor(status));
    engineLabel_->setText(tr("VOICEVOX: %1").arg(displayName(status)));
    QPalette palette = engineLabel_->palette();
    palette.setColor(QPalette::WindowText, status == VoicevoxEngineStatus::connected ? DashboardStyle::primaryText()
                                                                                      : DashboardStyle::secondaryText());
    engineLabel_->setPalette(palette);
    engineRow_->setAccessibleName(tr("VOICEVOXエンジン %1").arg(displayName(status)));
    adjustSize();
}

} // namespace brisvane
