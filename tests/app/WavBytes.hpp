#pragma once

// Builds WAV files, well-formed or not, for the parser's and the player's tests.

#include <QByteArray>
#include <QtEndian>

#include <cstdint>

namespace brisvane::test {

inline QByteArray le16(uint16_t value)
{
    QByteArray bytes(2, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

inline QByteArray le32(uint32_t value)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

inline QByteArray chunk(const QByteArray& id, const QByteArray& body, uint32_t declaredSize)
{
    QByteArray bytes = id + le32(declaredSize) + body;
    if (body.size() % 2 == 1 && declaredSize == static_cast<uint32_t>(body.size())) bytes += '\0';
    return bytes;
}

inline QByteArray chunk(const QByteArray& id, const QByteArray& body)
{
    return chunk(id, body, static_cast<uint32_t>(body.size()));
}

inline QByteArray formatChunk(uint16_t formatTag, uint16_t channels, uint32_t sampleRate, uint16_t bitsPerSample)
{
    const uint16_t blockAlign = static_cast<uint16_t>(channels * (bitsPerSample / 8));
    return chunk("fmt ", le16(formatTag) + le16(channels) + le32(sampleRate) + le32(sampleRate * blockAlign) +
                             le16(blockAlign) + le16(bitsPerSample));
}

inline QByteArray riff(const QByteArray& chunks)
{
    return "RIFF" + le32(static_cast<uint32_t>(chunks.size() + 4)) + "WAVE" + chunks;
}

// What the engine sends: 16-bit mono PCM at 24 kHz.
inline QByteArray monoWav(const QByteArray& frames, uint32_t sampleRate = 24000)
{
    return riff(formatChunk(1, 1, sampleRate, 16) + chunk("data", frames));
}

} // namespace brisvane::test
