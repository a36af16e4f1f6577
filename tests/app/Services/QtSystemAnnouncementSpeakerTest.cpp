#include "app/Services/QtSystemAnnouncementSpeaker.hpp"

#include "app/Services/QtTextToSpeechSynthesizer.hpp"
#include "tests/app/AnnouncementPrinters.hpp"
#include "tests/app/Services/EventLoopWaiting.hpp"
#include "tests/app/Services/SpeakerFakes.hpp"

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
