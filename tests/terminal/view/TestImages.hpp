#pragma once

// Pictures the image tests send to a terminal: solid fills and PNG encodings of them.

#include "terminal/graphics/Base64.hpp"

#include <QBuffer>
#include <QColor>
#include <QImage>

#include <cstdint>
#include <string>
#include <vector>

namespace corvix::testing {

inline QImage solid(int w, int h, QColor color)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return image;
}

inline std::vector<uint8_t> pngBytes(const QImage& image, int quality = -1)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG", quality);
    return {png.begin(), png.end()};
}

inline std::string pngBase64(const QImage& image)
{
    return Base64::encode(pngBytes(image));
}

} // namespace corvix::testing
