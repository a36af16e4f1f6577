#include "app/Views/OnboardingVoicevoxInfoStep.hpp"

#include "app/Services/tiles/FileOpening.hpp"
#include "app/ViewModels/DashboardViewModel.hpp"
#include "app/Views/OnboardingComponents.hpp"
#include "app/Views/SettingsWindow.hpp"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace brisvane {

const QUrl OnboardingVoicevoxInfoStep::kVoicevoxDownloadUrl(QStringLiteral("https://voicevox.hiroshiba.jp/"));

QString OnboardingVoicevoxInfoStep::voicevoxVoiceNamesText(const QList<AnnouncementVoice>& offeredVoices)
{
    QStringList names;
    for (AnnouncementVoice voice : offeredVoices) {
        if (voice != AnnouncementVoice::system) names.append(displayName(voice));
    }
    return names.join(QStringLiteral("・"));
}

OnboardingVoicevoxInfoStep::OnboardingVoicevoxInfoStep(DashboardViewModel& model,
                                                       std::shared_ptr<const FileOpening> fileOpener, QWidget* parent)
    : QWidget(parent)
{
    QVBoxLayout* stack = OnboardingComponents::makeStepLayout(*this);

    // No application bundle and no Mac here: the system voice is named as such.
    QLabel* lead = OnboardingComponents::makeLeadText(tr("音声通知は既定でON（システム標準の声）です。VOICEVOX（%1）という無料の音声合成ソフトを使うと声を変えられますが、これは任意の設定です。")
                                .arg(voicevoxVoiceNamesText(model.selectableAnnouncementVoices())));
    lead->setObjectName(QStringLiteral("voicevoxLead"));
    stack->addWidget(lead);

    auto* download = new QPushButton(tr("VOICEVOXを入手（無料）"));
    download->setObjectName(QStringLiteral("voicevoxDownloadButton"));
    stack->addWidget(download, 0, Qt::AlignLeading);
    connect(download, &QPushButton::clicked, this, [fileOpener] {
        if (fileOpener) fileOpener->open(kVoicevoxDownloadUrl);
    });

    stack->addWidget(OnboardingComponents::bulletRow(
        QStringLiteral("checkmark.seal"), tr("VOICEVOXが無くても・未起動でも動作する"),
        tr("VOICEVOXの声を選んでいてもエンジンが起動していなければ、自動的にシステム標準の声で読み上げます（無音にはなりません）。")));
    stack->addWidget(OnboardingComponents::bulletRow(
        QStringLiteral("slider.horizontal.3"), tr("あとからいつでも変更できる"),
        tr("設定 → 音声通知タブで、ON/OFF・声の選択・「未起動なら自動で起動する」を切り替えられます。")));

    auto* openSettings = new QPushButton(tr("設定 → 音声通知 を開く"));
    openSettings->setObjectName(QStringLiteral("openAnnouncementSettingsButton"));
    stack->addWidget(openSettings, 0, Qt::AlignLeading);
    connect(openSettings, &QPushButton::clicked, this,
            [&model] { SettingsWindow::open(model, SettingsTab::announcement); });
}

} // namespace brisvane
