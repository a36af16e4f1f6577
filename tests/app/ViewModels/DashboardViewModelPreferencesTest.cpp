#include "tests/app/ViewModels/AnnouncementModelFixture.hpp"

#include "app/Services/platform/LocalFileSystemWriter.hpp"
#include "app/Services/voice/ReadingDictionaryStore.hpp"
#include "tests/EventLoopMarker.hpp"
#include "tests/app/AgentHome.hpp"
#include "tests/app/HookPrinters.hpp"
#include "tests/app/Services/InterceptingFileSystemWriter.hpp"
#include "tests/app/Services/ScopedHomeEnvironment.hpp"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTest>

#include <stdexcept>

#include <gtest/gtest.h>

using namespace brisvane;

namespace {

using PreferencesTest = test::AnnouncementModelFixture;

// Every setter notifies once per change, yet stores its value on every call.
TEST_F(PreferencesTest, EverySetterStoresItsKeyEvenWhenTheValueIsUnchanged)
{
    using M = DashboardViewModel;
    struct Case {
        const char* key;
        std::function<void()> set;
        QVariant stored;
        void (M::*changed)();
    };
    const Case cases[] = {
        {"Brisvane.announcementsEnabled", [&] { model->setAnnouncementsEnabled(false); }, false,
         &M::isAnnouncementsEnabledChanged},
        {"Brisvane.announcementVoice", [&] { model->setAnnouncementVoice(AnnouncementVoice::tohokuZunko); },
         "tohokuZunko", &M::announcementVoiceChanged},
        {"Brisvane.completionAnnouncementThreshold",
         [&] { model->setCompletionAnnouncementThreshold(AnnouncementThresholdPreset::minutes5); }, 300.0,
         &M::completionAnnouncementThresholdChanged},
        {"Brisvane.conclusionReadingBusyThreshold",
         [&] { model->setConclusionReadingBusyThreshold(AnnouncementThresholdPreset::instant); }, 0.0,
         &M::conclusionReadingBusyThresholdChanged},
        {"Brisvane.conclusionReadingDefaultEnabled", [&] { model->setConclusionReadingDefaultEnabled(true); }, true,
         &M::isConclusionReadingDefaultEnabledChanged},
        {"Brisvane.inlineCostDisplayEnabled", [&] { model->setInlineCostDisplayEnabled(true); }, true,
         &M::isInlineCostDisplayEnabledChanged},
        {"Brisvane.voicevoxAutoLaunchEnabled", [&] { model->setVoicevoxAutoLaunchEnabled(false); }, false,
         &M::isVoicevoxAutoLaunchEnabledChanged},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        QSignalSpy spy(model.get(), c.changed);
        c.set();
        EXPECT_EQ(prefs->value(c.key), c.stored);
        prefs->remove(c.key);
        c.set();
        EXPECT_EQ(prefs->value(c.key), c.stored);
        EXPECT_EQ(spy.count(), 1);
    }

    // What was stored is what a new model starts with.
    make();
    EXPECT_FALSE(model->isAnnouncementsEnabled());
    EXPECT_EQ(model->announcementVoice(), AnnouncementVoice::tohokuZunko);
    EXPECT_EQ(model->completionAnnouncementThreshold(), AnnouncementThresholdPreset::minutes5);
    EXPECT_EQ(model->conclusionReadingBusyThreshold(), AnnouncementThresholdPreset::instant);
    EXPECT_TRUE(model->isConclusionReadingDefaultEnabled());
    EXPECT_TRUE(model->isInlineCostDisplayEnabled());
    EXPECT_FALSE(model->isVoicevoxAutoLaunchEnabled());
    EXPECT_EQ(model->announcementEngine().completionThreshold(), 300);
}

TEST_F(PreferencesTest, SettersApplyTheirEffects)
{
    // The completion threshold reaches the engine, also when it is the one already chosen.
    model->announcementEngine().setCompletionThreshold(1);
    model->setCompletionAnnouncementThreshold(AnnouncementThresholdPreset::seconds30);
    EXPECT_EQ(model->announcementEngine().completionThreshold(), 30);
    model->setCompletionAnnouncementThreshold(AnnouncementThresholdPreset::instant);
    EXPECT_EQ(model->announcementEngine().completionThreshold(), 0);

    // A voice change checks the engine, after the call returns; choosing the same voice again too.
    model->setAnnouncementVoice(AnnouncementVoice::zundamon);
    EXPECT_TRUE(probe->pending.empty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return probe->pending.size() == 1; }, 5000));
    probe->answer(true);
    EXPECT_EQ(model->voicevoxEngineStatus(), VoicevoxEngineStatus::connected);
    model->setAnnouncementVoice(AnnouncementVoice::zundamon);
    ASSERT_TRUE(QTest::qWaitFor([&] { return probe->pending.size() == 1; }, 5000));
    probe->pending.clear();

    // Turning auto-launch off checks nothing.
    model->setVoicevoxAutoLaunchEnabled(false);
    ASSERT_TRUE(waitForEventsDueWithin(50));
    EXPECT_TRUE(probe->pending.empty());

    // The default for new tiles leaves the existing tiles' own flags alone.
    model->setConclusionReadingEnabled(false, tileId(1));
    model->setConclusionReadingDefaultEnabled(true);
    EXPECT_EQ(model->tileConclusionReadingEnabled().value(tileId(1)), false);

    // The pickers offer the characters only in a Japanese locale, never the internal ones.
    EXPECT_EQ(model->selectableAnnouncementVoices(),
              QList<AnnouncementVoice>({AnnouncementVoice::system, AnnouncementVoice::zundamon,
                                        AnnouncementVoice::tohokuZunko, AnnouncementVoice::kuronoTakehiro}));
    make(false);
    EXPECT_EQ(model->selectableAnnouncementVoices(), QList<AnnouncementVoice>({AnnouncementVoice::system}));
}

TEST_F(PreferencesTest, ReadingEntryEditsStoreTheWholeDictionary)
{
    const auto stored = [&] { return ReadingDictionaryStore::load(*prefs); };
    QSignalSpy changed(model.get(), &DashboardViewModel::readingDictionaryChanged);

    // A direct assignment shows the dictionary and stores nothing.
    model->setReadingDictionary(ReadingDictionary{});
    EXPECT_TRUE(model->readingDictionary().entries.isEmpty());
    EXPECT_FALSE(prefs->contains("Brisvane.readingDictionary"));
    model->setReadingDictionary(ReadingDictionary{});
    EXPECT_EQ(changed.count(), 1);

    const QUuid first = model->addReadingEntry();
    const QUuid second = model->addReadingEntry();
    EXPECT_NE(first, second);
    EXPECT_EQ(stored(), model->readingDictionary());
    ASSERT_EQ(model->readingDictionary().entries.size(), 2);
    EXPECT_EQ(model->readingDictionary().entries[0], (ReadingEntry{first, QString(), QString()}));

    // Each field as typed, the other left alone.
    model->updateReadingEntry(second, QStringLiteral(" app "), std::nullopt);
    model->updateReadingEntry(second, std::nullopt, QStringLiteral("アップ"));
    EXPECT_EQ(model->readingDictionary().entries[1], (ReadingEntry{second, " app ", "アップ"}));
    EXPECT_EQ(stored(), model->readingDictionary());
    // The stored form: a JSON array of objects, ids in upper case.
    const QJsonArray array = QJsonDocument::fromJson(*prefs->dataValue("Brisvane.readingDictionary")).array();
    ASSERT_EQ(array.size(), 2);
    EXPECT_EQ(array[1].toObject().value("id").toString(), UuidText::format(second));
    EXPECT_EQ(array[1].toObject().value("projectName").toString(), " app ");

    // An unknown id writes nothing at all.
    prefs->remove("Brisvane.readingDictionary");
    model->updateReadingEntry(QUuid::createUuid(), QStringLiteral("x"), QStringLiteral("y"));
    EXPECT_FALSE(prefs->contains("Brisvane.readingDictionary"));

    // Removing stores even when nothing was removed; removing the last entry stores an empty
    // array, which reads back empty, not as the built-in dictionary.
    model->removeReadingEntry(QUuid::createUuid());
    EXPECT_EQ(stored().entries.size(), 2);
    model->removeReadingEntry(first);
    model->removeReadingEntry(second);
    EXPECT_TRUE(model->readingDictionary().entries.isEmpty());
    EXPECT_EQ(QJsonDocument::fromJson(*prefs->dataValue("Brisvane.readingDictionary")).array().size(), 0);
    EXPECT_TRUE(stored().entries.isEmpty());
    make();
    EXPECT_TRUE(model->readingDictionary().entries.isEmpty());
}

// The preview says a completion of the row's project as the row reads now, announcements on or off.
TEST_F(PreferencesTest, PreviewSaysTheRowsNameWithItsReading)
{
    struct Case {
        bool japanese;
        AnnouncementVoice voice;
        QString name;
        QString reading;
        QString projectName;
        QString expected;
    };
    const Case cases[] = {
        {true, AnnouncementVoice::system, "  app \n", "アップ", "app", "アップのタスクが完了しました"},
        {true, AnnouncementVoice::system, "  app \n", "", "app", "appのタスクが完了しました"},
        {true, AnnouncementVoice::system, " ", "", "サンプル", "サンプルのタスクが完了しました"},
        {true, AnnouncementVoice::system, "", "れい", "サンプル", "れいのタスクが完了しました"},
        {false, AnnouncementVoice::system, "", "", "Sample", "Task completed for Sample"},
        {false, AnnouncementVoice::system, "a", "エー", "a", "Task completed for エー"},
        {true, AnnouncementVoice::zundamon, "完了", "かんりょう", "完了", "かんりょうのタスクが完了したのだ"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected.toStdString());
        for (auto* speaker : {systemVoice.get(), zundamon.get()}) speaker->spoken.clear();
        make(c.japanese);
        model->setAnnouncementsEnabled(false);
        model->setAnnouncementVoice(c.voice);
        // The saved dictionary is not consulted: it reads "app" otherwise.
        model->setReadingDictionary(ReadingDictionary{{{QUuid::createUuid(), "app", "えーぴーぴー"}}});
        model->speakReadingPreview(ReadingEntry{QUuid::createUuid(), c.name, c.reading});
        const test::RecordingSpeaker& speaker = c.voice == AnnouncementVoice::system ? *systemVoice : *zundamon;
        ASSERT_EQ(speaker.spoken.size(), 1);
        EXPECT_EQ(speaker.spoken[0], (Announcement{AnnouncementKind::completed, c.projectName, c.expected}));
    }
}

TEST_F(PreferencesTest, TestAnnouncementIsSaidByTheCurrentVoiceEvenWhenSwitchedOff)
{
    model->setAnnouncementsEnabled(false);
    model->setReadingDictionary(ReadingDictionary{{{QUuid::createUuid(), "テスト", "てすと"}}});
    model->playTestAnnouncement();
    model->setAnnouncementVoice(AnnouncementVoice::zundamon);
    model->playTestAnnouncement();
    // Neither styled nor read through the dictionary.
    const Announcement japanese{AnnouncementKind::completed, QString(), "これはテスト再生です。"};
    EXPECT_EQ(systemVoice->spoken, QList<Announcement>({japanese}));
    EXPECT_EQ(zundamon->spoken, QList<Announcement>({japanese}));

    make(false);
    model->setAnnouncementVoice(AnnouncementVoice::system);
    model->playTestAnnouncement();
    EXPECT_EQ(systemVoice->spoken.back(), (Announcement{AnnouncementKind::completed, QString(), "This is a test playback."}));
}

// ---- Agent integrations -----------------------------------------------------------------------------

// A writer that fails in a way the installer does not foresee.
class ThrowingWriter final : public FileSystemWriting {
public:
    Outcome write(const QByteArray&, const QString&) const override { throw std::runtime_error("disk"); }
    Outcome createFile(const QByteArray&, const QString&, std::optional<int>) const override
    {
        throw std::runtime_error("disk");
    }
    Outcome createDirectory(const QString&) const override { throw std::runtime_error("disk"); }
    Outcome replaceItem(const QString&, const QString&) const override { throw std::runtime_error("disk"); }
    Outcome removeItem(const QString&) const override { throw std::runtime_error("disk"); }
    Outcome setExecutable(const QString&) const override { throw std::runtime_error("disk"); }
};

struct HookActionsTest : test::AnnouncementModelFixture {
    test::TemporaryHome home{test::TemporaryHome::Content::empty};
    test::ScopedHomeEnvironment environment{home.path()};

    void freshNotifications()
    {
        center = std::make_shared<AppNotificationCenter>([] { return QDateTime::currentDateTimeUtc(); },
                                                AppNotificationCenter::kAutoDismissInterval, 10);
    }
    QString settingsPath() const { return home.claudeHome() + QStringLiteral("/settings.json"); }

    void makeWith(std::shared_ptr<const FileSystemWriting> writer)
    {
        const HookInstaller defaults =
            HookInstaller::makeDefault(home.claudeHome(), home.path() + QStringLiteral("/.local/share/Brisvane"));
        make(true, HookInstaller(defaults.configuration(), std::make_shared<LocalFileSystemReader>(), std::move(writer),
                                 [] { return QDateTime::currentDateTimeUtc(); }));
    }
};

TEST_F(HookActionsTest, ActionsReportFailuresUnderTheirKeysAndAlwaysRereadTheStatus)
{
    using M = DashboardViewModel;
    struct Case {
        std::function<void(M&)> action;
        QString key;
        QString title;
    };
    const Case cases[] = {
        {[](M& m) { m.installHook(HookKind::stop); }, "hook.install.stop",
         displayName(HookKind::stop) + "を導入できませんでした"},
        {[](M& m) { m.installHook(HookKind::statusLine, true); }, "hook.install.statusLine",
         displayName(HookKind::statusLine) + "を導入できませんでした"},
        {[](M& m) { m.uninstallHook(HookKind::statusLine); }, "hook.uninstall.statusLine",
         displayName(HookKind::statusLine) + "を撤去できませんでした"},
        {[](M& m) { m.uninstallHook(HookKind::stop); }, "hook.uninstall.stop",
         displayName(HookKind::stop) + "を撤去できませんでした"},
        {[](M& m) { m.uninstallAllHooks(); }, "hook.uninstall.all", "連携を撤去できませんでした"},
    };

    // Settings that are not JSON: every action fails with the installer's own error, whose text
    // becomes the detail, and the status shows the settings as unreadable.
    test::writeFile(settingsPath(), "{not json");
    makeWith(std::make_shared<LocalFileSystemWriter>());
    const HookInstallationStatus unreadable = model->hookInstaller().currentStatus();
    ASSERT_FALSE(unreadable.isSettingsReadable);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key.toStdString());
        model->setHookInstallationStatus(HookInstallationStatus{});
        c.action(*model);
        EXPECT_EQ(model->hookInstallationStatus(), unreadable);
        const AppNotification* notice = nullptr;
        for (const AppNotification& n : center->activeNotifications())
            if (n.dedupeKey == c.key) notice = &n;
        ASSERT_NE(notice, nullptr);
        EXPECT_EQ(notice->severity, AppNotificationSeverity::error);
        EXPECT_EQ(notice->title, c.title);
        EXPECT_EQ(notice->detail, (HookInstallerError{HookInstallerError::Kind::settingsInvalidJSON, {}}.userMessage()));
    }
    EXPECT_EQ(center->activeNotifications().size(), std::size(cases));
    // The same failure again updates its notice.
    cases[0].action(*model);
    EXPECT_EQ(center->activeNotifications().size(), std::size(cases));

    // A failure the installer does not foresee is reported too, without a detail. (Installing
    // has to write; removing what is not there writes nothing.)
    freshNotifications();
    test::writeFile(settingsPath(), "{}");
    makeWith(std::make_shared<ThrowingWriter>());
    const Case installs[] = {cases[0], cases[1]};
    for (const Case& c : installs) c.action(*model);
    EXPECT_EQ(center->activeNotifications().size(), std::size(installs));
    for (const Case& c : installs) {
        const auto notices = center->activeNotifications();
        const auto found = std::find_if(notices.begin(), notices.end(),
                                        [&](const AppNotification& n) { return n.dedupeKey == c.key; });
        ASSERT_NE(found, notices.end()) << c.key.toStdString();
        EXPECT_EQ(found->title, c.title);
        EXPECT_FALSE(found->detail.has_value());
    }
}

TEST_F(HookActionsTest, ASuccessfulActionPostsNothingAndShowsTheNewStatus)
{
    // A write refused half-way (the script in place, the settings not written) shows as it stands.
    auto writer = std::make_shared<test::InterceptingFileSystemWriter>();
    writer->before = [](test::InterceptingFileSystemWriter::Operation operation, const QString&) {
        return operation != test::InterceptingFileSystemWriter::Operation::replaceItem;
    };
    test::writeFile(settingsPath(), "{}");
    makeWith(writer);
    QSignalSpy changed(model.get(), &DashboardViewModel::hookInstallationStatusChanged);
    model->installHook(HookKind::stop);
    ASSERT_EQ(center->activeNotifications().size(), 1u);
    EXPECT_EQ(center->activeNotifications().front().dedupeKey, "hook.install.stop");
    EXPECT_EQ(model->hookInstallationStatus(), model->hookInstaller().currentStatus());
    EXPECT_NE(model->hookInstallationStatus().scripts, HookScriptsState::notInstalled);
    EXPECT_EQ(model->hookInstallationStatus().stop, HookInstallState::notInstalled());

    // Success posts nothing: the one notice stays as it was.
    writer->before = [](test::InterceptingFileSystemWriter::Operation, const QString&) { return true; };
    const int before = changed.count();
    model->installHook(HookKind::stop);
    ASSERT_EQ(center->activeNotifications().size(), 1u);
    EXPECT_EQ(center->activeNotifications().front().occurrenceCount, 1);
    EXPECT_EQ(model->hookInstallationStatus().stop, HookInstallState::installed());
    EXPECT_EQ(changed.count(), before + 1);
    // Nothing new to show: no notification of observers.
    model->setHookInstallationStatus(model->hookInstaller().currentStatus());
    EXPECT_EQ(changed.count(), before + 1);

    model->uninstallAllHooks();
    EXPECT_EQ(center->activeNotifications().size(), 1u);
    EXPECT_EQ(model->hookInstallationStatus().stop, HookInstallState::notInstalled());
}

} // namespace
