#include "app/Views/AnnouncementSettingsTab.hpp"

#include "tests/EventLoopMarker.hpp"
#include "tests/app/Views/SettingsModelFixture.hpp"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace brisvane;
using namespace brisvane::test;

namespace {

template <class T>
T& child(QWidget& parent, const QString& name)
{
    T* found = parent.findChild<T*>(name);
    if (!found) throw std::runtime_error("no child " + name.toStdString());
    return *found;
}

QStringList radioTexts(QWidget& tab)
{
    QStringList texts;
    for (QRadioButton* button : tab.findChildren<QRadioButton*>()) texts << button->text();
    return texts;
}

using AnnouncementTab = SettingsModelFixture;

TEST_F(AnnouncementTab, FirstStartShowsTheDefaultsAndAVoicevoxVoiceBringsItsSection)
{
    AnnouncementSettingsTab tab(*model);
    tab.show();

    EXPECT_TRUE(child<QCheckBox>(tab, "announcementsSwitch").isChecked());
    EXPECT_FALSE(child<QCheckBox>(tab, "conclusionDefaultSwitch").isChecked());
    auto& completion = child<QComboBox>(tab, "completionThresholdPicker");
    auto& conclusion = child<QComboBox>(tab, "conclusionThresholdPicker");
    EXPECT_EQ(completion.currentText(), "30秒");
    EXPECT_EQ(conclusion.currentText(), "3分");
    for (QComboBox* picker : {&completion, &conclusion}) {
        QStringList rows;
        for (int i = 0; i < picker->count(); i++) rows << picker->itemText(i);
        EXPECT_EQ(rows, QStringList({"即時", "30秒", "1分", "3分", "5分", "10分"}));
    }
    EXPECT_EQ(radioTexts(tab), QStringList({"システム標準", "ずんだもん", "東北ずん子", "玄野武宏"}));
    EXPECT_TRUE(child<QRadioButton>(tab, "voice.system").isChecked());
    EXPECT_FALSE(child<QGroupBox>(tab, "voicevoxSection").isVisible());
    // Showing the tab asked for a status; the system voice needs no probe.
    ASSERT_TRUE(waitForEventsDueWithin(50));
    EXPECT_EQ(model->voicevoxEngineStatus(), VoicevoxEngineStatus::unknown);
    EXPECT_EQ(probe->probes, 0);

    child<QRadioButton>(tab, "voice.zundamon").click();
    EXPECT_EQ(model->announcementVoice(), AnnouncementVoice::zundamon);
    EXPECT_EQ(prefs->value("Brisvane.announcementVoice").toString(), "zundamon");
    EXPECT_TRUE(child<QGroupBox>(tab, "voicevoxSection").isVisible());
    EXPECT_TRUE(child<QCheckBox>(tab, "autoLaunchCheckbox").isChecked());

    child<QRadioButton>(tab, "voice.system").click();
    EXPECT_FALSE(child<QGroupBox>(tab, "voicevoxSection").isVisible());
}

struct StatusRow {
    const char* name;
    bool engineAnswers;
    bool installed;
    bool launchSucceeds;
    bool autoLaunch;
    VoicevoxEngineStatus status;
    QString text;
    QColor dot;
    bool launchButton;
    bool note;
};

TEST_F(AnnouncementTab, TheSectionFollowsTheEngineStatus)
{
    const StatusRow rows[] = {
        {"answers", true, true, true, true, VoicevoxEngineStatus::connected, "エンジン: 接続OK",
         QColor(52, 199, 89), false, false},
        {"launched", false, true, true, true, VoicevoxEngineStatus::launching, "エンジン: 起動中…",
         QColor(255, 149, 0), false, false},
        {"not started", false, true, true, false, VoicevoxEngineStatus::notRunning, "エンジン: 未起動",
         QColor(255, 59, 48), true, false},
        {"missing", false, false, true, true, VoicevoxEngineStatus::notInstalled, "エンジン: 未インストール",
         QColor(142, 142, 147), false, true},
        {"launch fails", false, true, false, true, VoicevoxEngineStatus::notInstalled, "エンジン: 未インストール",
         QColor(142, 142, 147), false, true},
    };
    for (const StatusRow& row : rows) {
        SCOPED_TRACE(row.name);
        prefs->setValue("Brisvane.announcementVoice", "tohokuZunko");
        prefs->setValue("Brisvane.voicevoxAutoLaunchEnabled", row.autoLaunch);
        probe->answers = row.engineAnswers;
        probe->probes = 0;
        launcher->installed = row.installed;
        launcher->launchSucceeds = row.launchSucceeds;
        make();
        AnnouncementSettingsTab tab(*model);
        auto& section = child<QGroupBox>(tab, "voicevoxSection");
        // Before the check: 確認中… with neither the button nor the note.
        EXPECT_EQ(child<QLabel>(tab, "engineStatusText").text(), "エンジン: 確認中…");
        EXPECT_TRUE(child<QPushButton>(tab, "launchNowButton").isHidden());
        EXPECT_TRUE(child<QLabel>(tab, "notInstalledNote").isHidden());

        tab.show();
        EXPECT_EQ(probe->probes, 1);
        EXPECT_TRUE(QTest::qWaitFor([&] { return model->voicevoxEngineStatus() == row.status; }, 10000));
        EXPECT_TRUE(section.isVisible());
        EXPECT_EQ(child<QLabel>(tab, "engineStatusText").text(), row.text);
        EXPECT_EQ(child<QLabel>(tab, "engineStatusDot").property("dotColor").value<QColor>(), row.dot);
        EXPECT_EQ(child<QWidget>(tab, "engineStatusRow").accessibleName(),
                  "VOICEVOXエンジン " + row.text.mid(QStringLiteral("エンジン: ").size()));
        EXPECT_EQ(child<QPushButton>(tab, "launchNowButton").isVisible(), row.launchButton);
        EXPECT_EQ(child<QLabel>(tab, "notInstalledNote").isVisible(), row.note);
        EXPECT_EQ(child<QCheckBox>(tab, "autoLaunchCheckbox").isChecked(), row.autoLaunch);
    }
}

TEST_F(AnnouncementTab, LaunchNowStartsTheEngineAndTheButtonGoes)
{
    prefs->setValue("Brisvane.announcementVoice", "kuronoTakehiro");
    prefs->setValue("Brisvane.voicevoxAutoLaunchEnabled", false);
    make();
    AnnouncementSettingsTab tab(*model);
    tab.show();
    auto& launch = child<QPushButton>(tab, "launchNowButton");
    ASSERT_TRUE(QTest::qWaitFor([&] { return launch.isVisible(); }, 10000));

    launch.click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return model->voicevoxEngineStatus() == VoicevoxEngineStatus::launching; }, 10000));
    EXPECT_EQ(launcher->launches, 1);
    EXPECT_FALSE(launch.isVisible());
    EXPECT_FALSE(child<QLabel>(tab, "notInstalledNote").isVisible());

    // Showing the tab again within the launch guard keeps 起動中… and launches nothing more.
    tab.hide();
    tab.show();
    ASSERT_TRUE(waitForEventsDueWithin(50));
    EXPECT_EQ(model->voicevoxEngineStatus(), VoicevoxEngineStatus::launching);
    EXPECT_EQ(launcher->launches, 1);
}

TEST_F(AnnouncementTab, ControlsCallTheModelsSettersAndFollowItsValues)
{
    AnnouncementSettingsTab tab(*model);
    tab.show();
    auto& master = child<QCheckBox>(tab, "announcementsSwitch");
    master.click();
    EXPECT_FALSE(model->isAnnouncementsEnabled());
    EXPECT_EQ(prefs->value("Brisvane.announcementsEnabled"), QVariant(false));
    // Switched off, every other control stays editable.
    for (QWidget* control : tab.findChildren<QWidget*>()) EXPECT_TRUE(control->isEnabled());

    child<QCheckBox>(tab, "conclusionDefaultSwitch").click();
    EXPECT_TRUE(model->isConclusionReadingDefaultEnabled());
    EXPECT_EQ(prefs->value("Brisvane.conclusionReadingDefaultEnabled"), QVariant(true));

    auto& completion = child<QComboBox>(tab, "completionThresholdPicker");
    emit completion.activated(0);
    EXPECT_EQ(model->completionAnnouncementThreshold(), AnnouncementThresholdPreset::instant);
    EXPECT_EQ(prefs->value("Brisvane.completionAnnouncementThreshold").toDouble(), 0);
    EXPECT_EQ(model->announcementEngine().completionThreshold(), 0);
    auto& conclusion = child<QComboBox>(tab, "conclusionThresholdPicker");
    emit conclusion.activated(5);
    EXPECT_EQ(model->conclusionReadingBusyThreshold(), AnnouncementThresholdPreset::minutes10);
    EXPECT_EQ(prefs->value("Brisvane.conclusionReadingBusyThreshold").toDouble(), 600);

    child<QPushButton>(tab, "testPlaybackButton").click();
    ASSERT_EQ(speaker->spoken.size(), 1);
    EXPECT_EQ(speaker->spoken.front().message, "これはテスト再生です。");

    // Changes made elsewhere show at once.
    model->setAnnouncementsEnabled(true);
    model->setCompletionAnnouncementThreshold(AnnouncementThresholdPreset::minutes5);
    model->setAnnouncementVoice(AnnouncementVoice::zundamon);
    EXPECT_TRUE(master.isChecked());
    EXPECT_EQ(completion.currentText(), "5分");
    EXPECT_TRUE(child<QRadioButton>(tab, "voice.zundamon").isChecked());
    EXPECT_TRUE(child<QGroupBox>(tab, "voicevoxSection").isVisible());
}

TEST_F(AnnouncementTab, OutsideJapaneseOnlyTheSystemVoiceIsOffered)
{
    make(false);
    AnnouncementSettingsTab tab(*model);
    tab.show();
    EXPECT_EQ(radioTexts(tab), QStringList({"システム標準"}));
    EXPECT_FALSE(child<QGroupBox>(tab, "voicevoxSection").isVisible());
}

} // namespace
