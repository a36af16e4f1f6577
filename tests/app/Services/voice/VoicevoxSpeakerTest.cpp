#include "app/Services/voice/VoicevoxSpeaker.hpp"

#include "app/Services/platform/AppNotificationCenter.hpp"
#include "app/Services/voice/QtAudioVoicevoxAudioPlayer.hpp"
#include "app/Services/voice/QtNetworkVoicevoxHTTPClient.hpp"
#include "tests/app/AnnouncementPrinters.hpp"
#include "tests/app/Services/EventLoopWaiting.hpp"
#include "tests/app/Services/FakeVoicevoxEngine.hpp"
#include "tests/app/Services/SpeakerFakes.hpp"

#include <gtest/gtest.h>

#include <memory>

using namespace brisvane;
using test::FakeHTTPReply;
using test::FakeHTTPRequest;
using test::runEventLoop;
using test::waitUntil;

namespace {

const QString kSynthesisTitle = QStringLiteral("VOICEVOXに接続できません。システム標準の声で読み上げます");
const QString kPlaybackTitle = QStringLiteral("音声の再生に失敗しました");

Announcement announcement(const QString& project)
{
    return {AnnouncementKind::completed, project, project + QStringLiteral("のタスクが完了しました")};
}

class VoicevoxSpeakerTest : public testing::Test {
protected:
    // A speaker for voice 3 on the fake engine, with the fake player, the recording fallback and
    // the notification centre; `reportsFailures` false leaves out the reporter.
    std::unique_ptr<VoicevoxSpeaker> makeSpeaker(const QUrl& engineURL, bool reportsFailures = true,
                                                 std::shared_ptr<VoicevoxAudioPlaying> audioPlayer = nullptr)
    {
        VoicevoxSpeaker::FailureReporter reporter;
        if (reportsFailures) {
            reporter = [this](const QString& key, const QString& title, const std::optional<QString>& detail) {
                center.post(AppNotificationSeverity::error, key, title, detail);
            };
        }
        return std::make_unique<VoicevoxSpeaker>(3, std::make_shared<QtNetworkVoicevoxHTTPClient>(engineURL, 5.0),
                                                 audioPlayer ? audioPlayer : player, fallback, reporter);
    }
    // Says the announcement and notes when its turn has ended.
    void speak(VoicevoxSpeaker& speaker, const Announcement& said)
    {
        speaker.speak(said, [this, said] { ended << said.projectName; });
    }
    static std::function<bool(const FakeHTTPRequest&)> synthesisOf(const QString& project)
    {
        return [project](const FakeHTTPRequest& request) {
            return request.path() == "/synthesis" && QString::fromUtf8(request.body).contains(project);
        };
    }

    test::FakeVoicevoxEngine engine;
    std::shared_ptr<test::FakeAudioPlayer> player = std::make_shared<test::FakeAudioPlayer>();
    std::shared_ptr<test::RecordingSpeaker> fallback = std::make_shared<test::RecordingSpeaker>();
    AppNotificationCenter center{[] { return QDateTime::currentDateTimeUtc(); }};
    QStringList ended;
};

} // namespace

TEST(VoicevoxSpeakerIdTest, EachCharacterHasItsEngineVoice)
{
    EXPECT_EQ(VoicevoxSpeaker::speakerId(AnnouncementVoice::system), std::nullopt);
    EXPECT_EQ(VoicevoxSpeaker::speakerId(AnnouncementVoice::zundamon), 3);
    EXPECT_EQ(VoicevoxSpeaker::speakerId(AnnouncementVoice::tohokuZunko), 107);
    EXPECT_EQ(VoicevoxSpeaker::speakerId(AnnouncementVoice::kuronoTakehiro), 11);
    EXPECT_EQ(VoicevoxSpeaker::speakerId(AnnouncementVoice::aoyamaRyuusei), 13);
    EXPECT_EQ(VoicevoxSpeaker::speakerId(AnnouncementVoice::kotoneNia), 74);
}

TEST_F(VoicevoxSpeakerTest, ASynthesisedClipIsPlayedAndItsEndEndsTheTurn)
{
    const QByteArray wav("RIFF-not-parsed-by-the-fake\x00\x01", 29);
    engine.setHandler([&](const FakeHTTPRequest& request) {
        if (request.path() == "/audio_query") return FakeHTTPReply{200, "{\"q\":1}", {}, false};
        return FakeHTTPReply{200, wav, {}, false};
    });
    auto speaker = makeSpeaker(engine.baseURL());
    speak(*speaker, announcement(QStringLiteral("alpha")));

    ASSERT_TRUE(waitUntil([&] { return player->played.size() == 1; }));
    EXPECT_EQ(player->played[0], wav);
    ASSERT_EQ(engine.requests().size(), 2);
    EXPECT_EQ(engine.requests()[0].target,
              "/audio_query?text=alpha%E3%81%AE%E3%82%BF%E3%82%B9%E3%82%AF%E3%81%8C%E5%AE%8C%E4%BA%86%E3%81%97%E3%81%BE"
              "%E3%81%97%E3%81%9F&speaker=3");
    EXPECT_EQ(engine.requests()[1].target, "/synthesis?speaker=3");
    EXPECT_EQ(engine.requests()[1].body, "{\"q\":1}");
    EXPECT_TRUE(ended.isEmpty());

    player->finishClip();
    EXPECT_EQ(ended, QStringList{"alpha"});
    EXPECT_TRUE(center.activeNotifications().isEmpty());
    EXPECT_TRUE(fallback->spoken.isEmpty());
}

TEST_F(VoicevoxSpeakerTest, ClipsPlayInArrivalOrderEachAfterThePreviousEndsWhateverOrderTheEngineAnswersIn)
{
    engine.setHandler([](const FakeHTTPRequest& request) {
        if (request.path() == "/audio_query") {
            return FakeHTTPReply{200, "{\"text\":\"" + request.queryValue("text").toUtf8() + "\"}", {}, false};
        }
        return FakeHTTPReply{200, "WAV of " + request.body, {}, true};
    });
    auto speaker = makeSpeaker(engine.baseURL());
    for (const char* project : {"alpha", "beta", "gamma"}) speak(*speaker, announcement(QString::fromLatin1(project)));

    // All three are at the engine at once: none waited for another.
    ASSERT_TRUE(waitUntil([&] { return engine.heldRequests().size() == 3; }));
    engine.releaseHeld(synthesisOf(QStringLiteral("gamma")));
    engine.releaseHeld(synthesisOf(QStringLiteral("beta")));
    runEventLoop(30);
    EXPECT_TRUE(player->played.isEmpty()) << "a later clip went before the first";

    engine.releaseHeld(synthesisOf(QStringLiteral("alpha")));
    ASSERT_TRUE(waitUntil([&] { return player->played.size() == 1; }));
    EXPECT_TRUE(player->played[0].contains("alpha"));
    runEventLoop(20);
    EXPECT_EQ(player->played.size(), 1) << "the second clip did not wait for the first to end";

    player->finishClip();
    ASSERT_EQ(player->played.size(), 2);
    EXPECT_TRUE(player->played[1].contains("beta"));
    player->finishClip();
    ASSERT_EQ(player->played.size(), 3);
    EXPECT_TRUE(player->played[2].contains("gamma"));
    player->finishClip();

    EXPECT_EQ(ended, (QStringList{"alpha", "beta", "gamma"}));
    EXPECT_FALSE(player->overlapped);
    EXPECT_TRUE(fallback->spoken.isEmpty());
}

TEST_F(VoicevoxSpeakerTest, AFallbackWaitsItsTurnAndTheNextClipWaitsForIt)
{
    engine.setHandler([](const FakeHTTPRequest& request) {
        if (request.path() == "/audio_query") {
            return FakeHTTPReply{200, "{\"text\":\"" + request.queryValue("text").toUtf8() + "\"}", {}, false};
        }
        if (request.body.contains("beta")) return FakeHTTPReply{500, "boom", {}, false};
        return FakeHTTPReply{200, "WAV of " + request.body, {}, request.body.contains("alpha")};
    });
    fallback->endsAtOnce = false;
    auto speaker = makeSpeaker(engine.baseURL());
    for (const char* project : {"alpha", "beta", "gamma"}) speak(*speaker, announcement(QString::fromLatin1(project)));

    // Beta has failed and gamma is ready, but alpha has not answered yet.
    ASSERT_TRUE(waitUntil([&] { return engine.requests().size() == 6 && engine.heldRequests().size() == 1; }));
    runEventLoop(30);
    EXPECT_TRUE(fallback->spoken.isEmpty());
    EXPECT_TRUE(player->played.isEmpty());

    engine.releaseHeld(synthesisOf(QStringLiteral("alpha")));
    ASSERT_TRUE(waitUntil([&] { return player->played.size() == 1; }));
    EXPECT_TRUE(fallback->spoken.isEmpty());

    player->finishClip();
    ASSERT_EQ(fallback->spoken.size(), 1);
    EXPECT_EQ(fallback->spoken[0], announcement(QStringLiteral("beta")));
    EXPECT_EQ(player->played.size(), 1) << "gamma played over the fallback voice";

    fallback->finishOne();
    ASSERT_EQ(player->played.size(), 2);
    EXPECT_TRUE(player->played[1].contains("gamma"));
    player->finishClip();
    EXPECT_EQ(ended, (QStringList{"alpha", "beta", "gamma"}));
}

TEST_F(VoicevoxSpeakerTest, AnEngineThatIsDownGivesOneRisingNoticeAndTheSystemVoice)
{
    for (const bool reportsFailures : {true, false}) {
        SCOPED_TRACE(reportsFailures);
        while (!center.activeNotifications().isEmpty()) center.dismiss(center.activeNotifications().front().id);
        fallback->spoken.clear();
        ended.clear();
        auto speaker = makeSpeaker(
            QUrl(QStringLiteral("http://127.0.0.1:%1").arg(test::FakeVoicevoxEngine::closedPort())), reportsFailures);
        speak(*speaker, announcement(QStringLiteral("alpha")));
        speak(*speaker, announcement(QStringLiteral("beta")));

        ASSERT_TRUE(waitUntil([&] { return ended.size() == 2; }));
        EXPECT_EQ(fallback->spoken,
                  (QList<Announcement>{announcement(QStringLiteral("alpha")), announcement(QStringLiteral("beta"))}));
        EXPECT_EQ(ended, (QStringList{"alpha", "beta"}));
        EXPECT_TRUE(player->played.isEmpty());
        if (!reportsFailures) {
            EXPECT_TRUE(center.activeNotifications().isEmpty());
            continue;
        }
        ASSERT_EQ(center.activeNotifications().size(), 1);
        const AppNotification& notice = center.activeNotifications()[0];
        EXPECT_EQ(notice.dedupeKey, "voicevox.synthesis");
        EXPECT_EQ(notice.title, kSynthesisTitle);
        EXPECT_EQ(notice.occurrenceCount, 2);
        // The network layer's own words, not one of the client's error names.
        ASSERT_TRUE(notice.detail.has_value());
        EXPECT_FALSE(notice.detail->isEmpty());
        EXPECT_FALSE(notice.detail->startsWith(QStringLiteral("unexpectedStatusCode")));
    }
}

TEST_F(VoicevoxSpeakerTest, AnEngineErrorStatusIsTheNoticeDetail)
{
    struct Case {
        QByteArray failingPath;
        int status;
        int requestsSent;
    };
    // A failed audio query ends the attempt before any synthesis.
    const Case cases[] = {{"/synthesis", 500, 2}, {"/audio_query", 422, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failingPath.toStdString());
        test::FakeVoicevoxEngine failing;
        failing.setHandler([&](const FakeHTTPRequest& request) {
            if (request.path() == c.failingPath) return FakeHTTPReply{c.status, "{\"detail\":\"x\"}", {}, false};
            return FakeHTTPReply{200, "{}", {}, false};
        });
        fallback->spoken.clear();
        auto speaker = makeSpeaker(failing.baseURL());
        speak(*speaker, announcement(QStringLiteral("alpha")));

        ASSERT_TRUE(waitUntil([&] { return fallback->spoken.size() == 1; }));
        EXPECT_EQ(failing.requests().size(), c.requestsSent);
        ASSERT_FALSE(center.activeNotifications().isEmpty());
        const AppNotification& notice = center.activeNotifications().back();
        EXPECT_EQ(notice.dedupeKey, "voicevox.synthesis");
        EXPECT_EQ(notice.detail, QStringLiteral("unexpectedStatusCode(%1)").arg(c.status));
        EXPECT_TRUE(player->played.isEmpty());
    }
}

TEST_F(VoicevoxSpeakerTest, AClipThatCannotBePlayedGivesAPlaybackNoticeAndTheSystemVoice)
{
    struct Case {
        const char* name;
        std::shared_ptr<VoicevoxAudioPlaying> player;
        QString detail;
    };
    auto refusing = std::make_shared<test::FakeAudioPlayer>();
    refusing->failure = VoicevoxPlaybackError{};
    const Case cases[] = {
        // The real player refuses bytes that are not WAV before it touches any sound device.
        {"not audio", std::make_shared<QtAudioVoicevoxAudioPlayer>(), QStringLiteral("invalidAudio(notRiffWave)")},
        {"output refused", refusing, QStringLiteral("playReturnedFalse")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fallback->spoken.clear();
        ended.clear();
        auto speaker = makeSpeaker(engine.baseURL(), true, c.player);
        speak(*speaker, announcement(QStringLiteral("alpha")));
        speak(*speaker, announcement(QStringLiteral("beta")));

        ASSERT_TRUE(waitUntil([&] { return ended.size() == 2; }));
        EXPECT_EQ(fallback->spoken,
                  (QList<Announcement>{announcement(QStringLiteral("alpha")), announcement(QStringLiteral("beta"))}));
        ASSERT_EQ(center.activeNotifications().size(), 1);
        const AppNotification notice = center.activeNotifications()[0];
        EXPECT_EQ(notice.dedupeKey, "voicevox.playback");
        EXPECT_EQ(notice.title, kPlaybackTitle);
        EXPECT_EQ(notice.detail, c.detail);
        center.dismiss(notice.id);
    }
}

TEST_F(VoicevoxSpeakerTest, ASpeakerDestroyedMidwayHearsNothingMore)
{
    engine.setHandler([](const FakeHTTPRequest& request) {
        if (request.path() == "/audio_query") return FakeHTTPReply{200, "{}", {}, false};
        return FakeHTTPReply{200, "WAV", {}, true};
    });
    auto speaker = makeSpeaker(engine.baseURL());
    speak(*speaker, announcement(QStringLiteral("alpha")));
    speak(*speaker, announcement(QStringLiteral("beta")));
    ASSERT_TRUE(waitUntil([&] { return engine.heldRequests().size() == 2; }));
    engine.releaseHeld([](const FakeHTTPRequest&) { return true; });
    ASSERT_TRUE(waitUntil([&] { return player->played.size() == 1; }));

    speaker.reset();
    engine.releaseHeld([](const FakeHTTPRequest&) { return true; });
    player->finishClip();
    runEventLoop(30);
    EXPECT_EQ(player->played.size(), 1);
    EXPECT_TRUE(ended.isEmpty());
    EXPECT_TRUE(fallback->spoken.isEmpty());
}
