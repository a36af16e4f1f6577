#include "app/Views/AboutSettingsTab.hpp"

#include "tests/app/Views/SettingsModelFixture.hpp"

#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace brisvane;
using namespace brisvane::test;

namespace {

TEST(AboutSettingsTabVersion, MissingValuesReadAsUnknown)
{
    struct Row {
        QString version, build, line;
    };
    const Row rows[] = {
        {"1.2.0", "345", "バージョン 1.2.0（build 345）"},
        {"", "345", "バージョン 不明（build 345）"},
        {"1.2.0", "", "バージョン 1.2.0（build 不明）"},
        {"", "", "バージョン 不明（build 不明）"},
    };
    for (const Row& row : rows) EXPECT_EQ(AboutSettingsTab::versionLine({row.version, row.build}), row.line);
    EXPECT_FALSE(AboutSettingsTab::BuildInfo::current().version.isEmpty());
}

using AboutTab = SettingsModelFixture;

QStringList creditLines(QWidget& tab)
{
    QStringList lines;
    for (QLabel* label : tab.findChildren<QLabel*>(QStringLiteral("creditLine"))) lines << label->text();
    return lines;
}

TEST_F(AboutTab, CreditsTheOfferedVoicevoxVoicesInJapaneseOnly)
{
    AboutSettingsTab tab(*model, {"1.0", ""});
    tab.show();
    const QStringList lines = creditLines(tab);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].startsWith("VOICEVOX:ずんだもん"));
    EXPECT_TRUE(lines[1].startsWith("VOICEVOX:東北ずん子"));
    EXPECT_TRUE(lines[2].startsWith("VOICEVOX:玄野武宏"));
    EXPECT_EQ(tab.findChild<QLabel*>(QStringLiteral("versionLine"))->text(), "バージョン 1.0（build 不明）");

    make(false);
    AboutSettingsTab english(*model, {"1.0", "7"});
    english.show();
    EXPECT_TRUE(creditLines(english).isEmpty());
    EXPECT_EQ(english.findChild<QGroupBox*>(QStringLiteral("voiceCreditsSection")), nullptr);
}

TEST_F(AboutTab, ShowsTheLicenceAndOpensTheOnboardingAgain)
{
    AboutSettingsTab tab(*model, AboutSettingsTab::BuildInfo::current());
    tab.show();
    auto* licence = tab.findChild<QPlainTextEdit*>(QStringLiteral("licenceText"));
    ASSERT_NE(licence, nullptr);
    EXPECT_TRUE(licence->toPlainText().startsWith("MIT License"));
    EXPECT_TRUE(licence->toPlainText().contains("Permission is hereby granted"));
    EXPECT_TRUE(licence->isReadOnly());
    EXPECT_EQ(licence->height(), 140);

    EXPECT_FALSE(model->isOnboardingPresented());
    tab.findChild<QPushButton*>(QStringLiteral("showOnboardingButton"))->click();
    EXPECT_TRUE(model->isOnboardingPresented());
}

} // namespace
