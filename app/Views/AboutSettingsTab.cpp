#include "app/Views/AboutSettingsTab.hpp"

#include "app/BrisvaneBuildInfo.hpp"
#include "app/ViewModels/DashboardViewModel.hpp"
#include "app/Views/SettingsForm.hpp"

#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace brisvane {

const QString AboutSettingsTab::kVoicevoxWebAddress = QStringLiteral("https://voicevox.hiroshiba.jp/");

AboutSettingsTab::BuildInfo AboutSettingsTab::BuildInfo::current()
{
    return {QString::fromUtf8(BrisvaneBuildInfo::kVersion), QString::fromUtf8(BrisvaneBuildInfo::kBuildNumber)};
}

QString AboutSettingsTab::versionLine(const BuildInfo& buildInfo)
{
    const QString unknown = tr("不明");
    return tr("バージョン %1（build %2）")
        .arg(buildInfo.version.isEmpty() ? unknown : buildInfo.version,
             buildInfo.buildNumber.isEmpty() ? unknown : buildInfo.buildNumber);
}

QStringList AboutSettingsTab::voicevoxCredits(const QList<AnnouncementVoice>& offeredVoices)
{
    QStringList lines;
    for (AnnouncementVoice voice : offeredVoices) {
        // Shown as they stand in every language. The voice actor of 玄野武宏 is not named: the
        // name is not known here for certain.
        if (voice != AnnouncementVoice::system) lines.append(QStringLiteral("VOICEVOX:") + displayName(voice));
    }
    return lines;
}

AboutSettingsTab::AboutSettingsTab(DashboardViewModel& model, const BuildInfo& buildInfo, QWidget* parent)
    : QWidget(parent)
{
    QVBoxLayout* form = SettingsForm::makeForm(*this);

    QGroupBox* section = SettingsForm::addSection(*form, QString());
    auto* name = new QLabel(QStringLiteral("Brisvane"));
    QFont nameFont = name->font();
    nameFont.setPixelSize(15);
    nameFont.setWeight(QFont::DemiBold);
    name->setFont(nameFont);
    section->layout()->addWidget(name);
    QLabel* version = SettingsForm::makeCaption(versionLine(buildInfo));
    version->setObjectName(QStringLiteral("versionLine"));
    section->layout()->addWidget(version);

    section = SettingsForm::addSection(*form, QString());
    auto* onboardingButton = new QPushButton(tr("ようこそ画面をもう一度見る"));
    onboardingButton->setObjectName(QStringLiteral("showOnboardingButton"));
    section->layout()->addWidget(onboardingButton);
    static_cast<QVBoxLayout*>(section->layout())->setAlignment(onboardingButton, Qt::AlignLeading);
    connect(onboardingButton, &QPushButton::clicked, &model, [&model] { model.setOnboardingPresented(true); });
    section->layout()->addWidget(SettingsForm::makeCaption(
        tr("初回起動時の案内（アクセス権の説明・claude CLIの検出・連携機能の導入・音声通知の案内等）を、現在の設定を変更せずにもう一度確認できます。")));

    const QStringList credits = voicevoxCredits(model.selectableAnnouncementVoices());
    if (!credits.isEmpty()) {
        section = SettingsForm::addSection(*form, tr("音声合成"));
        section->setObjectName(QStringLiteral("voiceCreditsSection"));
        for (const QString& line : credits) {
            auto* label = new QLabel(line);
            label->setObjectName(QStringLiteral("creditLine"));
            QFont font = label->font();
            font.setPixelSize(12);
            label->setFont(font);
            label->setTextInteractionFlags(Qt::TextSelectableByMouse);
            section->layout()->addWidget(label);
        }
        section->layout()->addWidget(
            SettingsForm::makeCaption(QStringLiteral("VOICEVOX (%1)").arg(kVoicevoxWebAddress)));
    }

    section = SettingsForm::addSection(*form, tr("オープンソースソフトウェア"));
    auto* heading = new QLabel(tr("Corvix（MIT License）"));
    QFont headingFont = heading->font();
    headingFont.setPixelSize(12);
    headingFont.setWeight(QFont::DemiBold);
    heading->setFont(headingFont);
    section->layout()->addWidget(heading);
    // Read-only, selectable and scrolling inside its fixed height instead of growing the form.
    auto* licence = new QPlainTextEdit(QString::fromUtf8(BrisvaneBuildInfo::kLicenseText));
    licence->setObjectName(QStringLiteral("licenceText"));
    licence->setReadOnly(true);
    licence->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    licence->setFixedHeight(140);
    licence->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont licenceFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    licenceFont.setPixelSize(10);
    licence->setFont(licenceFont);
    section->layout()->addWidget(licence);
}

} // namespace brisvane
