#pragma once

// What a person would check by eye on a saved picture: where the ink is, and whether text stands
// out from what it is drawn on.

#include <QColor>
#include <QImage>
#include <QRect>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <unordered_map>
#include <vector>

namespace brisvane::test {

// Relative luminance and contrast ratio as the accessibility guidelines define them (1 to 21;
// 4.5 is their floor for body text).
inline double relativeLuminance(const QColor& c)
{
    const auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

inline double contrastRatio(const QColor& a, const QColor& b)
{
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// A pixel is ink when a channel differs from the background by more than `threshold`.
inline bool isInk(const QColor& pixel, const QColor& background, int threshold = 48)
{
    return std::abs(pixel.red() - background.red()) > threshold || std::abs(pixel.green() - background.green()) > threshold
           || std::abs(pixel.blue() - background.blue()) > threshold;
}

// The ink of `area`, counted per band of `bandHeight` pixels from its top.
inline std::vector<int> inkPerBand(const QImage& image, const QRect& area, const QColor& background, double bandHeight)
{
    std::vector<int> bands(size_t(std::ceil(area.height() / bandHeight)), 0);
    for (int y = area.top(); y <= area.bottom(); y++) {
        for (int x = area.left(); x <= area.right(); x++) {
            if (!isInk(image.pixelColor(x, y), background)) continue;
            bands[std::min(bands.size() - 1, size_t((y - area.top()) / bandHeight))]++;
        }
    }
    return bands;
}

// The colour of most pixels of `area`.
inline QColor dominantColor(const QImage& image, const QRect& area)
{
    std::unordered_map<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); y++)
        for (int x = area.left(); x <= area.right(); x++) counts[image.pixel(x, y) | 0xff000000u]++;
    if (counts.empty()) return {};
    return QColor(std::max_element(counts.begin(), counts.end(), [](const auto& a, const auto& b) {
                      return a.second < b.second;
                  })->first);
}

} // namespace brisvane::test
