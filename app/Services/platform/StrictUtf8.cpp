#include "app/Services/platform/StrictUtf8.hpp"

#include <QStringDecoder>

namespace brisvane::StrictUtf8 {

std::optional<QString> decode(QByteArrayView bytes)
{
    // Stateless: an incomplete sequence at the end is an error, not held for a next chunk.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) return std::nullopt;
    return text;
}

} // namespace brisvane::StrictUtf8
