#include "app/Views/AnnouncementSettingsPopoverView.hpp"
#include "tests/app/Views/DashboardViewsFixture.hpp"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace brisvane;

namespace {

class AnnouncementPopoverTest : public test::DashboardViewsFixture {
protected:
    void SetUp() override
    {
        DashboardViewsFixture::SetUp();
        anchor.resize(100, 30);
        anchor.show();
        popover = std::make_unique<AnnouncementSettingsPopoverView>(*model, [this] {
            settingsOpenedOn << model->settingsSelectedTab();
        });
    }
    void TearDown() override
    {
        popover.reset();
        DashboardViewsFixture::TearDown();
    }

    QWidget anchor;
    std::unique_ptr<AnnouncementSettingsPopoverView> popover;
    QList<SettingsTab> settingsOpenedOn;
};

TEST_F(AnnouncementPopoverTest, TheSystemVoiceShowsNoEngineRowAndChecksNothing)
{
    popover->present(&anchor);
    ASSERT_TRUE(popover->isPresented());
    EXPECT_EQ(popover->width(), 200);
    EXPECT_EQ(popover->announcementsSwitch()->text(), "音声通知");
    EXPECT_EQ(popover->voiceLabel()->text(), displayName(AnnouncementVoice::system));
    EXPECT_FALSE(popover->engineRow()->isVisible());
    EXPECT_EQ(probe->probes, 0);
    EXPECT_EQ(popover->settingsLink()->text(), "設定を開く…");
    EXPECT_EQ(popover->creditsLink()->text(), "クレジット表記を見る…");
}

TEST_F(AnnouncementPopoverTest, TheSwitchTurnsAnnouncementsOffAndStoresIt)
{
    model->setAnnouncementVoice(AnnouncementVoice::zundamon);
    popover->present(&anchor);
    ASSERT_TRUE(popover->announcementsSwitch()->isChecked());
    QCheckBox& toggle = *popover->announcementsSwitch();
    QTest::mouseClick(&toggle, Qt::LeftButton, {}, QPoint(6, toggle.height() / 2)); // on the indicator
    EXPECT_FALSE(model->isAnnouncementsEnabled());
    EXPECT_EQ(prefs->value("Brisvane.announcementsEnabled"), QVariant(false));
    EXPECT_TRUE(popover->engineRow()->isVisible());
    // The model changed elsewhere: the switch follows.
    model->setAnnouncementsEnabled(true);
    EXPECT_TRUE(popover->announcementsSwitch()->isChecked());
}

TEST_F(AnnouncementPopoverTest, OpeningChecksTheEngineOfAVoicevoxVoiceWithoutForcingALaunch)
{
    struct Case {
        bool answers;
        bool autoLaunch;
        VoicevoxEngineStatus expected;
        QColor dot;
    };
    for (const Case& c : {Case{true, false, VoicevoxEngineStatus::connected, QColor(48, 209, 88)},
                          Case{false, false, VoicevoxEngineStatus::notRunning, QColor(255, 69, 58)}}) {
        popover.reset();
        make();
        popover = std::make_unique<AnnouncementSettingsPopoverView>(*model, [] {});
        model->setAnnouncementVoice(AnnouncementVoice::zundamon);
        model->setVoicevoxAutoLaunchEnabled(c.autoLaunch);
        probe->answers = c.answers;
        const int probesBefore = probe->probes;
        const int launchesBefore = launcher->launches;
        popover->present(&anchor);
        EXPECT_GT(probe->probes, probesBefore);
        ASSERT_TRUE(QTest::qWaitFor([&] { return model->voicevoxEngineStatus() == c.expected; }, test::kPatienceMs));
        EXPECT_EQ(launcher->launches, launchesBefore);
        EXPECT_TRUE(popover->engineRow()->isVisible());
        EXPECT_EQ(popover->engineLabel()->text(), "VOICEVOX: " + displayName(c.expected));
        EXPECT_EQ(popover->engineRow()->accessibleName(), "VOICEVOXエンジン " + displayName(c.expected));
        EXPECT_EQ(popover->engineDotColor(), c.dot);
        popover->dismiss();
    }
}

TEST_F(AnnouncementPopoverTest, CreditsOpenTheSettingsOnAboutAndTheLinkOnTheLastTab)
{
    model->setSettingsSelectedTab(SettingsTab::display);
    popover->present(&anchor);
    QTest::mouseClick(popover->settingsLink(), Qt::LeftButton);
    popover->present(&anchor);
    QTest::mouseClick(popover->creditsLink(), Qt::LeftButton);
    EXPECT_EQ(settingsOpenedOn, (QList<SettingsTab>{SettingsTab::display, SettingsTab::about}));
    EXPECT_EQ(model->settingsSelectedTab(), SettingsTab::about);
    EXPECT_FALSE(popover->isPresented());
}

} // namespace
