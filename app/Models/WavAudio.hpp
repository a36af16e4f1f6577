#pragma once

#include "app/Models/Result.hpp"

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace brisvane {

// Why bytes are not a playable WAV clip.
enum class WavAudioError {
    // No "RIFF" ... "WAVE" header.
    notRiffWave,
    noFormatChunk,
    // A coding other than 8-, 16- or 32-bit integer PCM or 32-bit float, or implausible numbers.
    unsupportedFormat,
    // No "data" chunk, or not one whole frame in it.
    noAudioData,
};

// "notRiffWave", ...: the case's name.
QString description(WavAudioError error);

enum class WavSampleFormat {
    unsignedInt8,
    signedInt16,
    signedInt32,
    float32,
};

// A WAV clip as a sound output takes it: the format and the interleaved frames. Read from bytes
// that another program sent, so every size in them is checked against what is really there.
struct WavAudio {
    WavSampleFormat sampleFormat = WavSampleFormat::signedInt16;
    int channelCount = 1;
    int sampleRate = 0;
    // Whole frames only.
    QByteArray frames;

    int bytesPerFrame() const;
    int64_t frameCount() const;
    // In seconds.
    double duration() const;

    // Reads a RIFF WAVE file: the first "fmt " and "data" chunks count, other chunks are skipped. A
    // data chunk that claims more than the file holds is cut to what is there.
    static Result<WavAudio, WavAudioError> parse(const QByteArray& bytes);

    friend bool operator==(const WavAudio&, const WavAudio&) = default;
};

} // namespace brisvane
