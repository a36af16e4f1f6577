#include "app/Models/WavAudio.hpp"

#include <QByteArrayView>

#include <algorithm>
#include <optional>

namespace brisvane {

namespace {

constexpr uint16_t kFormatPCM = 1;
constexpr uint16_t kFormatFloat = 3;
constexpr uint16_t kFormatExtensible = 0xFFFE;
constexpr int kMaxChannels = 8;
constexpr int kMinSampleRate = 1000;
constexpr int kMaxSampleRate = 384000;

uint16_t readLE16(QByteArrayView bytes, qsizetype at)
{
    return static_cast<uint16_t>(static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8);
}

uint32_t readLE32(QByteArrayView bytes, qsizetype at)
{
    return static_cast<uint32_t>(readLE16(bytes, at)) | static_cast<uint32_t>(readLE16(bytes, at + 2)) << 16;
}

std::optional<WavSampleFormat> sampleFormat(uint16_t formatTag, uint16_t bitsPerSample)
{
    if (formatTag == kFormatPCM) {
        if (bitsPerSample == 8) return WavSampleFormat::unsignedInt8;
        if (bitsPerSample == 16) return WavSampleFormat::signedInt16;
        if (bitsPerSample == 32) return WavSampleFormat::signedInt32;
    }
    if (formatTag == kFormatFloat && bitsPerSample == 32) return WavSampleFormat::float32;
    return std::nullopt;
}

// The "fmt " chunk's body, as far as the file holds it.
Result<WavAudio, WavAudioError> readFormat(QByteArrayView body)
{
    constexpr qsizetype kBasicSize = 16;
    constexpr qsizetype kExtensibleSize = 40;
    constexpr qsizetype kSubFormatOffset = 24;
    if (body.size() < kBasicSize) return WavAudioError::unsupportedFormat;
    uint16_t formatTag = readLE16(body, 0);
    const uint16_t channels = readLE16(body, 2);
    const uint32_t sampleRate = readLE32(body, 4);
    const uint16_t blockAlign = readLE16(body, 12);
    const uint16_t bitsPerSample = readLE16(body, 14);
    if (formatTag == kFormatExtensible) {
        // The coding is the first two bytes of the sub-format GUID.
        if (body.size() < kExtensibleSize) return WavAudioError::unsupportedFormat;
        formatTag = readLE16(body, kSubFormatOffset);
    }
    const std::optional<WavSampleFormat> format = sampleFormat(formatTag, bitsPerSample);
    if (!format || channels < 1 || channels > kMaxChannels || sampleRate < kMinSampleRate ||
        sampleRate > kMaxSampleRate || blockAlign != channels * (bitsPerSample / 8)) {
        return WavAudioError::unsupportedFormat;
    }
    WavAudio audio;
    audio.sampleFormat = *format;
    audio.channelCount = channels;
    audio.sampleRate = static_cast<int>(sampleRate);
    return audio;
}

} // namespace

QString description(WavAudioError error)
{
    switch (error) {
    case WavAudioError::notRiffWave:
        return QStringLiteral("notRiffWave");
    case WavAudioError::noFormatChunk:
        return QStringLiteral("noFormatChunk");
    case WavAudioError::unsupportedFormat:
        return QStringLiteral("unsupportedFormat");
    case WavAudioError::noAudioData:
        break;
    }
    return QStringLiteral("noAudioData");
}

int WavAudio::bytesPerFrame() const
{
    const int bytesPerSample = sampleFormat == WavSampleFormat::unsignedInt8   ? 1
                               : sampleFormat == WavSampleFormat::signedInt16 ? 2
                                                                               : 4;
    return bytesPerSample * channelCount;
}

int64_t WavAudio::frameCount() const
{
    return bytesPerFrame() > 0 ? frames.size() / bytesPerFrame() : 0;
}

double WavAudio::duration() const
{
    return sampleRate > 0 ? static_cast<double>(frameCount()) / sampleRate : 0.0;
}

Result<WavAudio, WavAudioError> WavAudio::parse(const QByteArray& bytes)
{
    constexpr qsizetype kHeaderSize = 12;
    constexpr qsizetype kChunkHeaderSize = 8;
    const QByteArrayView all(bytes);
    if (all.size() < kHeaderSize || all.first(4) != "RIFF" || all.sliced(8, 4) != "WAVE") {
        return WavAudioError::notRiffWave;
    }

    std::optional<Result<WavAudio, WavAudioError>> format;
    std::optional<QByteArrayView> data;
    // 64-bit positions: a chunk size near 4 GiB must not wrap the walk back into the file.
    int64_t position = kHeaderSize;
    while (position + kChunkHeaderSize <= all.size() && !(format && data)) {
        const QByteArrayView id = all.sliced(position, 4);
        const int64_t declaredSize = readLE32(all, position + 4);
        const int64_t bodyStart = position + kChunkHeaderSize;
        const int64_t presentSize = std::min<int64_t>(declaredSize, all.size() - bodyStart);
        const QByteArrayView body = all.sliced(bodyStart, presentSize);
        if (id == "fmt " && !format) format = readFormat(body);
        if (id == "data" && !data) data = body;
        // Chunks start on even offsets.
        position = bodyStart + declaredSize + (declaredSize & 1);
    }

    if (!format) return WavAudioError::noFormatChunk;
    if (!format->ok()) return format->error();
    WavAudio audio = format->value();
    if (!data) return WavAudioError::noAudioData;
    const qsizetype wholeFrames = data->size() / audio.bytesPerFrame();
    if (wholeFrames == 0) return WavAudioError::noAudioData;
    audio.frames = data->first(wholeFrames * audio.bytesPerFrame()).toByteArray();
    return audio;
}

} // namespace brisvane
