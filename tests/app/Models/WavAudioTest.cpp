#include "app/Models/WavAudio.hpp"

#include "tests/app/Printers.hpp"
#include "tests/app/WavBytes.hpp"

#include <gtest/gtest.h>

using namespace brisvane;
using namespace brisvane::test;

namespace brisvane {

inline void PrintTo(WavAudioError error, std::ostream* out)
{
    *out << description(error).toStdString();
}

} // namespace brisvane

TEST(WavAudioTest, TheFormatAndTheWholeFramesAreRead)
{
    const QByteArray frames("\x01\x02\x03\x04\x05\x06\x07\x08", 8);
    struct Case {
        const char* name;
        QByteArray bytes;
        WavSampleFormat format;
        int channels;
        int sampleRate;
        QByteArray frames;
    };
    // WAVE_FORMAT_EXTENSIBLE with the PCM sub-format GUID.
    const QByteArray extensible =
        chunk("fmt ", le16(0xFFFE) + le16(2) + le32(48000) + le32(48000 * 4) + le16(4) + le16(16) + le16(22) +
                          le16(16) + le32(3) + le16(1) + QByteArray::fromHex("000000001000800000aa00389b71"));
    const Case cases[] = {
        {"engine's own", monoWav(frames), WavSampleFormat::signedInt16, 1, 24000, frames},
        {"8-bit stereo", riff(formatChunk(1, 2, 8000, 8) + chunk("data", frames)), WavSampleFormat::unsignedInt8, 2,
         8000, frames},
        {"32-bit integer", riff(formatChunk(1, 1, 44100, 32) + chunk("data", frames)), WavSampleFormat::signedInt32,
         1, 44100, frames},
        {"32-bit float", riff(formatChunk(3, 2, 48000, 32) + chunk("data", frames)), WavSampleFormat::float32, 2,
         48000, frames},
        {"extensible PCM", riff(extensible + chunk("data", frames)), WavSampleFormat::signedInt16, 2, 48000, frames},
        {"chunks around, one of odd size", riff(chunk("LIST", "abc") + formatChunk(1, 1, 24000, 16) +
                                                chunk("fact", le32(4)) + chunk("data", frames) + chunk("junk", "x")),
         WavSampleFormat::signedInt16, 1, 24000, frames},
        {"data before fmt", riff(chunk("data", frames) + formatChunk(1, 1, 24000, 16)), WavSampleFormat::signedInt16,
         1, 24000, frames},
        {"a part frame is dropped", monoWav(frames + "\x09"), WavSampleFormat::signedInt16, 1, 24000, frames},
        {"data claiming more than is there", riff(formatChunk(1, 1, 24000, 16) + chunk("data", frames, 0x7FFFFFFF)),
         WavSampleFormat::signedInt16, 1, 24000, frames},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Result<WavAudio, WavAudioError> audio = WavAudio::parse(c.bytes);
        ASSERT_TRUE(audio.ok()) << description(audio.error()).toStdString();
        EXPECT_EQ(audio->sampleFormat, c.format);
        EXPECT_EQ(audio->channelCount, c.channels);
        EXPECT_EQ(audio->sampleRate, c.sampleRate);
        EXPECT_EQ(audio->frames, c.frames);
    }
    const WavAudio second = WavAudio::parse(monoWav(QByteArray(48000, '\0'))).value();
    EXPECT_EQ(second.frameCount(), 24000);
    EXPECT_DOUBLE_EQ(second.duration(), 1.0);
}

TEST(WavAudioTest, BytesThatAreNotAPlayableClipAreRefused)
{
    const QByteArray frames(8, '\x10');
    struct Case {
        const char* name;
        QByteArray bytes;
        WavAudioError error;
    };
    const Case cases[] = {
        {"empty", QByteArray(), WavAudioError::notRiffWave},
        {"text", QByteArray("{\"error\":\"not audio\"}"), WavAudioError::notRiffWave},
        {"header only, cut", QByteArray("RIFF\x04\x00\x00\x00WAV", 11), WavAudioError::notRiffWave},
        {"big-endian RIFX", "RIFX" + riff(formatChunk(1, 1, 24000, 16)).mid(4), WavAudioError::notRiffWave},
        {"another RIFF form", "RIFF" + le32(4) + "AVI " + formatChunk(1, 1, 24000, 16), WavAudioError::notRiffWave},
        {"no chunks", riff(QByteArray()), WavAudioError::noFormatChunk},
        {"data only", riff(chunk("data", frames)), WavAudioError::noFormatChunk},
        // A huge chunk must end the walk, not wrap it back into the file.
        {"huge chunk before fmt", riff(chunk("LIST", "ab", 0xFFFFFFFF) + formatChunk(1, 1, 24000, 16)),
         WavAudioError::noFormatChunk},
        {"short fmt", riff(chunk("fmt ", le16(1) + le16(1)) + chunk("data", frames)), WavAudioError::unsupportedFormat},
        {"24-bit", riff(formatChunk(1, 1, 24000, 24) + chunk("data", frames)), WavAudioError::unsupportedFormat},
        {"ADPCM", riff(formatChunk(2, 1, 24000, 16) + chunk("data", frames)), WavAudioError::unsupportedFormat},
        {"64-bit float", riff(formatChunk(3, 1, 24000, 64) + chunk("data", frames)), WavAudioError::unsupportedFormat},
        {"no channel", riff(formatChunk(1, 0, 24000, 16) + chunk("data", frames)), WavAudioError::unsupportedFormat},
        {"sample rate 0", riff(formatChunk(1, 1, 0, 16) + chunk("data", frames)), WavAudioError::unsupportedFormat},
        {"block align off",
         riff(chunk("fmt ", le16(1) + le16(2) + le32(24000) + le32(96000) + le16(2) + le16(16)) +
              chunk("data", frames)),
         WavAudioError::unsupportedFormat},
        {"short extensible", riff(chunk("fmt ", formatChunk(0xFFFE, 1, 24000, 16).mid(8)) + chunk("data", frames)),
         WavAudioError::unsupportedFormat},
        {"no data", riff(formatChunk(1, 1, 24000, 16)), WavAudioError::noAudioData},
        {"empty data", monoWav(QByteArray()), WavAudioError::noAudioData},
        {"less than a frame", riff(formatChunk(1, 2, 24000, 16) + chunk("data", "abc")), WavAudioError::noAudioData},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Result<WavAudio, WavAudioError> audio = WavAudio::parse(c.bytes);
        ASSERT_FALSE(audio.ok());
        EXPECT_EQ(audio.error(), c.error);
    }
}
