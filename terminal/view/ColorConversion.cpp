#include "terminal/view/ColorConversion.hpp"

namespace corvix {

QColor makeColor(const Color& color)
{
    return QColor::fromRgba64(color.red, color.green, color.blue, 65535);
}

Color getTerminalColor(const QColor& color)
{
    if (!color.isValid()) return Color::defaultForeground();
    // The toolkit keeps 16-bit sRGB components (clamped to 0..1 on conversion), so they are
    // the terminal's components exactly and a colour survives the round trip.
    const QRgba64 rgb = color.toRgb().rgba64();
    return Color(rgb.red(), rgb.green(), rgb.blue());
}

QColor inverseColor(const QColor& color)
{
    if (!color.isValid()) return color;
    const QColor rgb = color.toRgb();
    return QColor::fromRgbF(1.0f - rgb.redF(), 1.0f - rgb.greenF(), 1.0f - rgb.blueF(), rgb.alphaF());
}

QColor dimmedColor(const QColor& color, const QColor& towards)
{
    if (!color.isValid() || !towards.isValid()) return color;
    const QColor a = color.toRgb();
    const QColor b = towards.toRgb();
    return QColor::fromRgbF((a.redF() + b.redF()) / 2, (a.greenF() + b.greenF()) / 2, (a.blueF() + b.blueF()) / 2,
                            a.alphaF());
}

} // namespace corvix
