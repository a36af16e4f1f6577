#include "app/Services/voice/QtSystemAnnouncementSpeaker.hpp"

#include "app/Services/voice/QtTextToSpeechSynthesizer.hpp"
#include "tests/app/AnnouncementPrinters.hpp"
#include "tests/app/Services/EventLoopWaiting.hpp"
#include "tests/app/Services/SpeakerFakes.hpp"
#include "tests/app/Services/StandInSpeechDispatcher.hpp"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace brisvane;
using test::waitUntil;

namespace {

Announcement saying(const QString& message)
{
    return {AnnouncementKind::completed, QStringLiteral("project"), message};
}

class QtSystemAnnouncementSpeakerTest : public testing::Test {
protected:
    QtSystemAnnouncementSpeaker::SynthesizerFactory factory()
    {
        return [this] {
            ++enginesMade;
            auto made = std::make_unique<test::FakeSynthesizer>();
            synthesizer = made.get();
            return made;
        };
    }
    std::vector<std::pair<QString, QString>> said() const
    {
        std::vector<std::pair<QString, QString>> pairs;
        for (const auto& utterance : synthesizer->said) pairs.emplace_back(utterance.text, utterance.locale);
        return pairs;
    }

    int enginesMade = 0;
    test::FakeSynthesizer* synthesizer = nullptr;
    QStringList ended;
};

} // namespace

TEST(QtSystemAnnouncementSpeakerLanguageTest, KanaAndUnifiedIdeographsMakeATextJapanese)
{
    struct Case {
        QString text;
        bool japanese;
    };
    const Case cases[] = {
        {QString(), false},
        {QStringLiteral("Task completed for brisvane"), false},
        {QStringLiteral("Task completed for ブリスベイン"), true},
        {QStringLiteral("Task completed for a漢b"), true},
        {QStringLiteral("123。"), false},
        {QString(QChar(0x3040)), true},  // first of the hiragana block
        {QString(QChar(0x30FF)), true},  // last of the katakana block
        {QString(QChar(0x4E00)), true},  // first unified ideograph
        {QString(QChar(0x9FFF)), true},  // last of the block
        {QString(QChar(0x303F)), false}, // just before the kana
        {QString(QChar(0x3100)), false}, // bopomofo, just after
        {QString(QChar(0x4DFF)), false}, // just before the ideographs
        {QString(QChar(0xA000)), false}, // just after
        {QString(QChar(0x3400)), false}, // extension A
        {QString::fromUcs4(U"\U00020000"), false}, // extension B, a surrogate pair
        {QStringLiteral("ＡＢＣ１"), false},        // full-width forms
        {QStringLiteral("ｱｲｳ"), false},              // half-width katakana
        {QStringLiteral("한국어"), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(QtSystemAnnouncementSpeaker::containsJapaneseCharacters(c.text), c.japanese);
        EXPECT_EQ(QtSystemAnnouncementSpeaker::locale(c.text).name(), c.japanese ? "ja_JP" : "en_US");
    }
}

TEST_F(QtSystemAnnouncementSpeakerTest, AnnouncementsAreSpokenInOrderEachAfterThePreviousEnds)
{
    QtSystemAnnouncementSpeaker speaker(factory());
    EXPECT_EQ(enginesMade, 0) << "the engine is made at the first announcement, not at start-up";

    const QString english = QStringLiteral("Task completed for brisvane");
    const QString reading = QStringLiteral("Task completed for ブリスベイン");
    const QString japanese = QStringLiteral("brisvaneのタスクが完了しました");
    for (const QString& message : {english, reading, japanese}) {
        speaker.speak(saying(message), [this, message] { ended << message; });
    }
    ASSERT_EQ(enginesMade, 1);
    ASSERT_EQ(synthesizer->said.size(), 1u);

    synthesizer->finishUtterance();
    EXPECT_EQ(ended, QStringList{english});
    synthesizer->finishUtterance();
    // One that arrives while others wait goes behind them.
    speaker.speak(saying(QStringLiteral("later")), [this] { ended << QStringLiteral("later"); });
    synthesizer->finishUtterance();
    synthesizer->finishUtterance();

    EXPECT_EQ(said(), (std::vector<std::pair<QString, QString>>{{english, "en_US"},
                                                                 {reading, "ja_JP"},
                                                                 {japanese, "ja_JP"},
                                                                 {QStringLiteral("later"), "en_US"}}));
    EXPECT_EQ(ended, (QStringList{english, reading, japanese, QStringLiteral("later")}));
    EXPECT_FALSE(synthesizer->overlapped);
    EXPECT_FALSE(synthesizer->speaking());
    EXPECT_EQ(enginesMade, 1);
}

TEST_F(QtSystemAnnouncementSpeakerTest, WhatAFinishedCallbackSpeaksQueuesBehindTheWaitingOnes)
{
    QtSystemAnnouncementSpeaker speaker(factory());
    // As a VOICEVOX speaker does: its next fallback is spoken when the previous speech ends.
    speaker.speak(saying(QStringLiteral("first")), [&] {
        speaker.speak(saying(QStringLiteral("from callback")), [this] { ended << "from callback"; });
    });
    speaker.speak(saying(QStringLiteral("second")));
    synthesizer->finishUtterance();
    synthesizer->finishUtterance();
    synthesizer->finishUtterance();
    ASSERT_EQ(synthesizer->said.size(), 3u);
    EXPECT_EQ(synthesizer->said[1].text, "second");
    EXPECT_EQ(synthesizer->said[2].text, "from callback");
    EXPECT_FALSE(synthesizer->overlapped);
    EXPECT_EQ(ended, QStringList{"from callback"});
}

TEST_F(QtSystemAnnouncementSpeakerTest, TheUserIsToldOncePerRunOfUnspokenAnnouncements)
{
    QtSystemAnnouncementSpeaker speaker(factory());
    int told = 0;
    speaker.onUnspeakable = [&] { ++told; };
    struct Step {
        bool spoken;
        int toldAfter;
    };
    // Two failures tell once; after a success the next failure tells again.
    const Step steps[] = {{false, 1}, {false, 1}, {true, 1}, {true, 1}, {false, 2}, {false, 2}};
    for (const Step& step : steps) {
        speaker.speak(saying(QStringLiteral("message")));
        synthesizer->finishUtterance(step.spoken);
        EXPECT_EQ(told, step.toldAfter);
    }
}

TEST(QtTextToSpeechSynthesizerTest, AnEngineThatCannotStartIsSilenceAndNeverHoldsTheQueue)
{
    // No such plug-in: the engine fails at once, as speech-dispatcher does when no daemon runs.
    QtSystemAnnouncementSpeaker speaker(
        [] { return std::make_unique<QtTextToSpeechSynthesizer>(QStringLiteral("brisvane-absent-engine")); });
    QStringList ended;
    bool returned = false;
    for (const char* message : {"one", "二", "three"}) {
        speaker.speak(saying(QString::fromUtf8(message)), [&, message] {
            EXPECT_TRUE(returned) << "ended from within speak";
            ended << QString::fromUtf8(message);
        });
    }
    returned = true;
    ASSERT_TRUE(waitUntil([&] { return ended.size() == 3; }));
    EXPECT_EQ(ended, (QStringList{"one", "二", "three"}));
}

namespace {

// The speech daemon's socket under a temporary XDG_RUNTIME_DIR, one for the whole process: the
// client library reads the folder once and keeps it. No real daemon is ever started.
class SpeechDispatcherPlace {
public:
    SpeechDispatcherPlace()
    {
        static QTemporaryDir runtime;
        static const bool set = [] {
            qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
            // The client library starts the daemon when it finds no socket: not here.
            qputenv("SPEECHD_CMD", "/bin/false");
            qunsetenv("SPEECHD_ADDRESS");
            return QDir(runtime.path()).mkpath("speech-dispatcher");
        }();
        EXPECT_TRUE(set);
        socketPath_ = runtime.path() + "/speech-dispatcher/speechd.sock";
        QFile::remove(socketPath_); // a daemon of an earlier test
    }
    QString socketPath() const { return socketPath_; }

private:
    QString socketPath_;
};

} // namespace

// Through the real speech engine and its client library, whatever the process's locale (ctest
// runs this with LANG=C.UTF-8, whose locale has no voice): each message gets a voice of its
// language when the daemon has one, else any voice, and is spoken.
TEST(QtTextToSpeechSynthesizerTest, SpeaksThroughSpeechDispatcherWithAVoiceItHas)
{
    SpeechDispatcherPlace place;
    struct Case {
        const char* name;
        std::vector<test::StandInSpeechDispatcher::Voice> voices;
        QString message;
        QString voice;
    };
    const Case cases[] = {
        {"English voice, English message", {{"Standin English", "en", "none"}}, "Task completed for brisvane", "Standin English"},
        {"English voice only, Japanese message", {{"Standin English", "en", "none"}}, "brisvaneのタスクが完了しました", "Standin English"},
        {"both, Japanese message",
         {{"Standin English", "en", "none"}, {"Standin Japanese", "ja", "none"}},
         "brisvaneのタスクが完了しました",
         "Standin Japanese"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::StandInSpeechDispatcher daemon(place.socketPath(), c.voices);
        ASSERT_TRUE(daemon.isListening());
        QtSystemAnnouncementSpeaker speaker(
            [] { return std::make_unique<QtTextToSpeechSynthesizer>(QStringLiteral("speechd")); });
        int told = 0;
        speaker.onUnspeakable = [&] { ++told; };
        bool ended = false;
        speaker.speak(saying(c.message), [&] { ended = true; });
        ASSERT_TRUE(waitUntil([&] { return ended; }));
        const QString commands = daemon.commands().join(" | ");
        EXPECT_EQ(daemon.spoken(), QStringList{c.message}) << commands.toStdString();
        EXPECT_TRUE(daemon.commands().contains("SET SELF SYNTHESIS_VOICE " + c.voice)) << commands.toStdString();
        EXPECT_EQ(told, 0);
    }
}

// No daemon at start: the announcement is not spoken and the user is told once; a daemon that
// starts later is used at the next announcement.
TEST(QtTextToSpeechSynthesizerTest, ADaemonThatStartsLaterIsUsedAtTheNextAnnouncement)
{
    SpeechDispatcherPlace place;
    QtSystemAnnouncementSpeaker speaker([] { return std::make_unique<QtTextToSpeechSynthesizer>(QStringLiteral("speechd")); });
    int told = 0;
    speaker.onUnspeakable = [&] { ++told; };
    int ended = 0;
    for (const char* message : {"First", "Second"}) speaker.speak(saying(QString::fromUtf8(message)), [&] { ++ended; });
    ASSERT_TRUE(waitUntil([&] { return ended == 2; }));
    EXPECT_EQ(told, 1) << "one notice for a run of failures";

    test::StandInSpeechDispatcher daemon(place.socketPath(), {{"Standin English", "en", "none"}});
    ASSERT_TRUE(daemon.isListening());
    speaker.speak(saying(QStringLiteral("Third")), [&] { ++ended; });
    ASSERT_TRUE(waitUntil([&] { return ended == 3; }));
    EXPECT_EQ(daemon.spoken(), QStringList{"Third"}) << daemon.commands().join(" | ").toStdString();
    EXPECT_EQ(told, 1);
}

// A daemon that takes the connection and never answers: the announcement ends unspoken within
// the start timeout and the user is told once.
TEST(QtTextToSpeechSynthesizerTest, ADaemonThatNeverAnswersGivesOneNotice)
{
    SpeechDispatcherPlace place;
    test::StandInSpeechDispatcher daemon(place.socketPath(), {}, /*silent=*/true);
    ASSERT_TRUE(daemon.isListening());
    QtSystemAnnouncementSpeaker speaker([] { return std::make_unique<QtTextToSpeechSynthesizer>(QStringLiteral("speechd")); });
    int told = 0;
    speaker.onUnspeakable = [&] { ++told; };
    int ended = 0;
    for (const char* message : {"First", "Second"}) speaker.speak(saying(QString::fromUtf8(message)), [&] { ++ended; });
    ASSERT_TRUE(waitUntil([&] { return ended == 2; }, 3 * QtTextToSpeechSynthesizer::kStartTimeoutMilliseconds));
    EXPECT_GE(daemon.connections(), 1);
    EXPECT_EQ(told, 1);
}
