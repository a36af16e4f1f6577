#include "app/Services/voice/QtAudioVoicevoxAudioPlayer.hpp"

#include "tests/EventLoopMarker.hpp"
#include "tests/app/Services/EventLoopWaiting.hpp"
#include "tests/app/WavBytes.hpp"

#include <gtest/gtest.h>

using namespace brisvane;

TEST(QtAudioVoicevoxAudioPlayerTest, BytesThatAreNotWavAreRefusedWithoutPlaying)
{
    QtAudioVoicevoxAudioPlayer player;
    int ends = 0;
    const Result<void, VoicevoxPlaybackError> played =
        player.play(QByteArray("{\"detail\":\"Internal Server Error\"}"), [&] { ++ends; });
    ASSERT_FALSE(played.ok());
    EXPECT_EQ(played.error(), VoicevoxPlaybackError::invalidAudio(WavAudioError::notRiffWave));
    EXPECT_EQ(played.error().description(), "invalidAudio(notRiffWave)");
    ASSERT_TRUE(waitForEventsDueWithin(50));
    EXPECT_EQ(ends, 0);
}

TEST(QtAudioVoicevoxAudioPlayerTest, AClipEitherFailsToStartOrEndsOnce)
{
    // Where there is no sound output (CI) the start fails; elsewhere 20 ms of silence plays out.
    QtAudioVoicevoxAudioPlayer player;
    int ends = 0;
    const Result<void, VoicevoxPlaybackError> played =
        player.play(test::monoWav(QByteArray(960, '\0')), [&] { ++ends; });
    if (!played.ok()) {
        EXPECT_EQ(played.error().description(), "playReturnedFalse");
        ASSERT_TRUE(waitForEventsDueWithin(50));
        EXPECT_EQ(ends, 0);
        return;
    }
    EXPECT_EQ(ends, 0);
    ASSERT_TRUE(test::waitUntil([&] { return ends > 0; }, 10000));
    ASSERT_TRUE(waitForEventsDueWithin(50));
    EXPECT_EQ(ends, 1);
}
