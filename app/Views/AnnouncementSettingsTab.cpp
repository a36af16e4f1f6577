#include "app/Views/AnnouncementSettingsTab.hpp"

#include "app/ViewModels/DashboardViewModel.hpp"
#include "app/Views/ColorDot.hpp"
#include "app/Views/SettingsForm.hpp"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace brisvane {

namespace {

QColor statusColor(VoicevoxEngineStatus status)
{
    switch (status) {
    case VoicevoxEngineStatus::connected: return SettingsForm::green();
    case VoicevoxEngineStatus::launching: return SettingsForm::orange();
    case VoicevoxEngineStatus::notRunning: return SettingsForm::red();
    case VoicevoxEngineStatus::unknown:
    case VoicevoxEngineStatus::notInstalled: break;
    }
    return SettingsForm::grey();
}

// A picker over the six presets, each row tagged with its preset.
QComboBox* makeThresholdPicker(const QString& objectName)
{
    auto* picker = new QComboBox;
    picker->setObjectName(objectName);
    for (AnnouncementThresholdPreset preset : thresholdPresetsForPicker())
        picker->addItem(displayName(preset), int(preset));
    return picker;
}

void selectPreset(QComboBox& picker, AnnouncementThresholdPreset preset)
{
    const QSignalBlocker blocker(picker);
    picker.setCurrentIndex(picker.findData(int(preset)));
}

} // namespace

AnnouncementSettingsTab::AnnouncementSettingsTab(DashboardViewModel& model, QWidget* parent)
    : QWidget(parent), model_(model)
{
    QVBoxLayout* form = SettingsForm::makeForm(*this);

    // 1. The master switch.
    QGroupBox* section = SettingsForm::addSection(*form, QString());
    announcementsSwitch_ = new QCheckBox(tr("音声通知"));
    announcementsSwitch_->setObjectName(QStringLiteral("announcementsSwitch"));
    section->layout()->addWidget(announcementsSwitch_);
    section->layout()->addWidget(SettingsForm::makeCaption(
        tr("タスクが完了したとき（下の「読み上げの条件」で指定した時間以上、実行が続いた場合）と、確認待ちになったときに読み上げます。")));
    connect(announcementsSwitch_, &QCheckBox::clicked, &model_, &DashboardViewModel::setAnnouncementsEnabled);

    // 2. The summary-reading default of new tiles.
    section = SettingsForm::addSection(*form, QString());
    conclusionDefaultSwitch_ = new QCheckBox(tr("完了時に結論を読み上げる（新しいタイルの初期設定）"));
    conclusionDefaultSwitch_->setObjectName(QStringLiteral("conclusionDefaultSwitch"));
    section->layout()->addWidget(conclusionDefaultSwitch_);
    section->layout()->addWidget(SettingsForm::makeCaption(
        tr("ONにすると、新しく開くターミナルタイルは既定で最後の回答の結論も読み上げます。タイルごとにヘッダーのボタンでも切り替えられます（既存のタイルのON/OFFはここでは変わりません）。下の「読み上げの条件」で指定した時間以上の長い作業だったときだけ結論を読み、短い完了は従来どおりの定型文のままです。複数のタイルが同時に完了した場合は、結論を読むのは1件だけにして残りは件数だけまとめて読み上げます。")));
    connect(conclusionDefaultSwitch_, &QCheckBox::clicked, &model_,
            &DashboardViewModel::setConclusionReadingDefaultEnabled);

    // 3. The two minimum work times.
    section = SettingsForm::addSection(*form, tr("読み上げの条件"));
    completionThresholdPicker_ = makeThresholdPicker(QStringLiteral("completionThresholdPicker"));
    conclusionThresholdPicker_ = makeThresholdPicker(QStringLiteral("conclusionThresholdPicker"));
    const auto addPicker = [&](const QString& title, QComboBox* picker, const QString& caption) {
        auto* row = new QHBoxLayout;
        auto* label = new QLabel(title);
        label->setBuddy(picker);
        row->addWidget(label, 1);
        row->addWidget(picker);
        static_cast<QVBoxLayout*>(section->layout())->addLayout(row);
        section->layout()->addWidget(SettingsForm::makeCaption(caption));
    };
    addPicker(tr("完了を通知する最短作業時間"), completionThresholdPicker_, tr("これより短い作業では、完了を読み上げません。"));
    addPicker(tr("結論まで読み上げる最短作業時間"), conclusionThresholdPicker_,
              tr("これより短い作業では、完了は読み上げても結論までは読みません（定型文のみ）。"));
    connect(completionThresholdPicker_, &QComboBox::activated, this, [this](int index) {
        model_.setCompletionAnnouncementThreshold(
            AnnouncementThresholdPreset(completionThresholdPicker_->itemData(index).toInt()));
    });
    connect(conclusionThresholdPicker_, &QComboBox::activated, this, [this](int index) {
        model_.setConclusionReadingBusyThreshold(
            AnnouncementThresholdPreset(conclusionThresholdPicker_->itemData(index).toInt()));
    });

    // 4. The voice: one radio button per voice the model offers.
    section = SettingsForm::addSection(*form, tr("声"));
    voiceGroup_ = new QButtonGroup(this);
    for (AnnouncementVoice voice : model_.selectableAnnouncementVoices()) {
        auto* button = new QRadioButton(displayName(voice));
        button->setObjectName(QStringLiteral("voice.") + rawValue(voice));
        voiceGroup_->addButton(button, int(voice));
        section->layout()->addWidget(button);
    }
    connect(voiceGroup_, &QButtonGroup::idClicked, this,
            [this](int id) { model_.setAnnouncementVoice(AnnouncementVoice(id)); });
    auto* testButton = new QPushButton(tr("テスト再生"));
    testButton->setObjectName(QStringLiteral("testPlaybackButton"));
    section->layout()->addWidget(testButton);
    static_cast<QVBoxLayout*>(section->layout())->setAlignment(testButton, Qt::AlignLeading);
    connect(testButton, &QPushButton::clicked, &model_, &DashboardViewModel::playTestAnnouncement);

    // 5. The VOICEVOX engine, only while a VOICEVOX voice is chosen.
    voicevoxSection_ = SettingsForm::addSection(*form, QStringLiteral("VOICEVOX"));
    voicevoxSection_->setObjectName(QStringLiteral("voicevoxSection"));
    engineStatusRow_ = new QWidget;
    engineStatusRow_->setObjectName(QStringLiteral("engineStatusRow"));
    auto* statusLayout = new QHBoxLayout(engineStatusRow_);
    statusLayout->setContentsMargins(0, 0, 0, 0);
    statusLayout->setSpacing(6);
    engineStatusDot_ = new ColorDot(8, SettingsForm::grey());
    engineStatusDot_->setObjectName(QStringLiteral("engineStatusDot"));
    engineStatusText_ = new QLabel;
    engineStatusText_->setObjectName(QStringLiteral("engineStatusText"));
    QFont statusFont = engineStatusText_->font();
    statusFont.setPixelSize(12);
    engineStatusText_->setFont(statusFont);
    statusLayout->addWidget(engineStatusDot_);
    statusLayout->addWidget(engineStatusText_);
    statusLayout->addStretch(1);
    voicevoxSection_->layout()->addWidget(engineStatusRow_);
    autoLaunchCheckbox_ = new QCheckBox(tr("未起動なら自動で起動する"));
    autoLaunchCheckbox_->setObjectName(QStringLiteral("autoLaunchCheckbox"));
    voicevoxSection_->layout()->addWidget(autoLaunchCheckbox_);
    connect(autoLaunchCheckbox_, &QCheckBox::clicked, &model_, &DashboardViewModel::setVoicevoxAutoLaunchEnabled);
    launchNowButton_ = new QPushButton(tr("今すぐ起動"));
    launchNowButton_->setObjectName(QStringLiteral("launchNowButton"));
    voicevoxSection_->layout()->addWidget(launchNowButton_);
    static_cast<QVBoxLayout*>(voicevoxSection_->layout())->setAlignment(launchNowButton_, Qt::AlignLeading);
    connect(launchNowButton_, &QPushButton::clicked, &model_, &DashboardViewModel::launchVoicevoxNow);
    // No application bundle on Linux: the note names the engine and the system voice.
    notInstalledNote_ = SettingsForm::makeCaption(tr("VOICEVOXが見つかりません。システム標準の声で読み上げます。"));
    notInstalledNote_->setObjectName(QStringLiteral("notInstalledNote"));
    voicevoxSection_->layout()->addWidget(notInstalledNote_);

    connect(&model_, &DashboardViewModel::isAnnouncementsEnabledChanged, this, &AnnouncementSettingsTab::showModelValues);
    connect(&model_, &DashboardViewModel::isConclusionReadingDefaultEnabledChanged, this,
            &AnnouncementSettingsTab::showModelValues);
    connect(&model_, &DashboardViewModel::completionAnnouncementThresholdChanged, this,
            &AnnouncementSettingsTab::showModelValues);
    connect(&model_, &DashboardViewModel::conclusionReadingBusyThresholdChanged, this,
            &AnnouncementSettingsTab::showModelValues);
    connect(&model_, &DashboardViewModel::announcementVoiceChanged, this, &AnnouncementSettingsTab::showModelValues);
    connect(&model_, &DashboardViewModel::isVoicevoxAutoLaunchEnabledChanged, this,
            &AnnouncementSettingsTab::showModelValues);
    connect(&model_, &DashboardViewModel::voicevoxEngineStatusChanged, this, &AnnouncementSettingsTab::showEngineStatus);
    showModelValues();
}

void AnnouncementSettingsTab::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Fresh when the tab opens, without waiting for the model's periodic poll.
    model_.updateVoicevoxEngineStatus(false);
}

// Programmatic changes send no `clicked`/`activated`, so showing a value never calls a setter.
void AnnouncementSettingsTab::showModelValues()
{
    announcementsSwitch_->setChecked(model_.isAnnouncementsEnabled());
    conclusionDefaultSwitch_->setChecked(model_.isConclusionReadingDefaultEnabled());
    selectPreset(*completionThresholdPicker_, model_.completionAnnouncementThreshold());
    selectPreset(*conclusionThresholdPicker_, model_.conclusionReadingBusyThreshold());
    const AnnouncementVoice voice = model_.announcementVoice();
    if (QAbstractButton* button = voiceGroup_->button(int(voice))) button->setChecked(true);
    autoLaunchCheckbox_->setChecked(model_.isVoicevoxAutoLaunchEnabled());
    voicevoxSection_->setVisible(voice != AnnouncementVoice::system);
    showEngineStatus();
}

void AnnouncementSettingsTab::showEngineStatus()
{
    const VoicevoxEngineStatus status = model_.voicevoxEngineStatus();
    engineStatusDot_->setColor(statusColor(status));
    engineStatusText_->setText(tr("エンジン: %1").arg(displayName(status)));
    engineStatusRow_->setAccessibleName(tr("VOICEVOXエンジン %1").arg(displayName(status)));
    launchNowButton_->setVisible(status == VoicevoxEngineStatus::notRunning);
    notInstalledNote_->setVisible(status == VoicevoxEngineStatus::notInstalled);
}

} // namespace brisvane
