#pragma once

// Small helpers for the glyph renderer tests: a transparent image at a display scale, and its
// coverage as text masks.

#include <QImage>

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>

namespace glyphtest {

// A transparent image of the given device pixels that paints in points at `scale`.
inline QImage blankImage(int widthPx, int heightPx, double scale)
{
    QImage image(widthPx, heightPx, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    image.setDevicePixelRatio(scale);
    return image;
}

// "U+2500" for test traces.
inline std::string hex(uint32_t codePoint)
{
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", codePoint);
    return text;
}

inline int alphaAt(const QImage& image, int x, int y)
{
    return qAlpha(image.pixel(x, y));
}

// One line per pixel row: '#' where the alpha is at least half, '.' elsewhere.
inline std::string inkMask(const QImage& image)
{
    std::string mask;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            mask += alphaAt(image, x, y) >= 128 ? '#' : '.';
        }
        mask += '\n';
    }
    return mask;
}

inline std::string rows(std::initializer_list<const char*> lines)
{
    std::string mask;
    for (const char* line : lines) {
        mask += line;
        mask += '\n';
    }
    return mask;
}

// Every pixel of the mask repeated `factor` times across and down.
inline std::string upscaled(const std::string& mask, int factor)
{
    std::string out;
    size_t start = 0;
    while (start < mask.size()) {
        const size_t end = mask.find('\n', start);
        std::string line;
        for (size_t i = start; i < end; ++i) {
            line.append(size_t(factor), mask[i]);
        }
        for (int i = 0; i < factor; ++i) {
            out += line + '\n';
        }
        start = end + 1;
    }
    return out;
}

inline bool isBlank(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (alphaAt(image, x, y) != 0) return false;
        }
    }
    return true;
}

} // namespace glyphtest
