#include "terminal/screen/Color.hpp"

#include <cmath>
#include <cstdio>

namespace corvix {

namespace {

int hexDigit(uint8_t c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Scales a value of `digits` hex digits to 16 bits (X11 rule); 0 digits gives 0.
uint16_t scaleToSixteenBits(uint32_t value, int digits)
{
    switch (digits) {
    case 1: return uint16_t(value * 0x1111);
    case 2: return uint16_t(value * 0x101);
    case 3: return uint16_t((value << 4) | (value >> 8));
    case 4: return uint16_t(value);
    default: return 0;
    }
}

struct Field {
    uint32_t value = 0;
    int digits = 0;
};

// Reads up to four hex digits; the byte that stops the field (normally "/") is consumed, and
// after four digits one following "/" is skipped.
Field readField(std::span<const uint8_t> text, size_t& pos)
{
    Field f;
    while (pos < text.size()) {
        int d = hexDigit(text[pos]);
        pos++;
        if (d < 0) return f;
        f.value = f.value * 16 + uint32_t(d);
        f.digits++;
        if (f.digits == 4) {
            if (pos < text.size() && text[pos] == '/') pos++;
            return f;
        }
    }
    return f;
}

struct Lab {
    double l, a, b;
};

Lab lerp(const Lab& p, const Lab& q, double t)
{
    return {p.l + t * (q.l - p.l), p.a + t * (q.a - p.a), p.b + t * (q.b - p.b)};
}

Lab toLab(const Color& c)
{
    auto channel = [](uint16_t v16) {
        double v = std::round(double(v16) / 65535.0 * 255.0);
        if (v > 255) v = 255;
        double s = v / 255.0;
        return s > 0.04045 ? std::pow((s + 0.055) / 1.055, 2.4) : s / 12.92;
    };
    double r = channel(c.red), g = channel(c.green), b = channel(c.blue);
    double x = (0.4124564 * r + 0.3575761 * g + 0.1804375 * b) / 0.95047;
    double y = 0.2126729 * r + 0.7151522 * g + 0.072175 * b;
    double z = (0.0193339 * r + 0.119192 * g + 0.9503041 * b) / 1.08883;
    auto f = [](double t) { return t > 0.008856 ? std::cbrt(t) : 7.787 * t + 16.0 / 116.0; };
    return {116.0 * f(y) - 16.0, 500.0 * (f(x) - f(y)), 200.0 * (f(y) - f(z))};
}

Color fromLab(const Lab& lab)
{
    double fy = (lab.l + 16.0) / 116.0;
    double fx = fy + lab.a / 500.0;
    double fz = fy - lab.b / 200.0;
    auto finv = [](double t) {
        double t3 = t * t * t;
        return t3 > 0.008856 ? t3 : (t - 16.0 / 116.0) / 7.787;
    };
    double x = finv(fx) * 0.95047, y = finv(fy), z = finv(fz) * 1.08883;
    double r = 3.2404542 * x - 1.5371385 * y - 0.4985314 * z;
    double g = -0.969266 * x + 1.8760108 * y + 0.041556 * z;
    double b = 0.0556434 * x - 0.2040259 * y + 1.0572252 * z;
    auto component = [](double c) -> uint16_t {
        c = c > 0.0031308 ? 1.055 * std::pow(c, 1.0 / 2.4) - 0.055 : 12.92 * c;
        int v;
        if (c < 0) v = 0;
        else if (c >= 1) v = 255;
        else v = int(c * 255.0 + 0.5);
        return uint16_t(v * 257);
    };
    return {component(r), component(g), component(b)};
}

} // namespace

std::string Color::formatAsXcolor() const
{
    char text[32];
    std::snprintf(text, sizeof text, "rgb:%04x/%04x/%04x", red, green, blue);
    return text;
}

std::optional<Color> Color::parseColor(std::string_view text)
{
    return parseColor(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

std::optional<Color> Color::parseColor(std::span<const uint8_t> text)
{
    if (!text.empty() && text[0] == '#') {
        size_t len = text.size() - 1;
        if (len != 3 && len != 6 && len != 9 && len != 12) return std::nullopt;
        int groupDigits = int(len / 3);
        uint16_t components[3];
        for (int c = 0; c < 3; c++) {
            uint32_t value = 0;
            // A non-hex character ends its group early; the digits read so far still count as
            // a full group for the scaling, as terminals have always done.
            for (int i = 0; i < groupDigits; i++) {
                int d = hexDigit(text[1 + size_t(c * groupDigits + i)]);
                if (d < 0) break;
                value = value * 16 + uint32_t(d);
            }
            components[c] = scaleToSixteenBits(value, groupDigits);
        }
        return Color(components[0], components[1], components[2]);
    }

    static constexpr std::string_view prefix = "rgb:";
    if (text.size() < prefix.size() ||
        std::string_view(reinterpret_cast<const char*>(text.data()), prefix.size()) != prefix)
        return std::nullopt;
    size_t pos = prefix.size();
    Field r = readField(text, pos);
    Field g = readField(text, pos);
    Field b = readField(text, pos);
    if (r.digits == 0 && g.digits == 0 && b.digits == 0) return std::nullopt;
    // Each field is scaled by its own digit count (the X11 rule): "rgb:f/80/123" is full red.
    return Color(scaleToSixteenBits(r.value, r.digits), scaleToSixteenBits(g.value, g.digits),
                 scaleToSixteenBits(b.value, b.digits));
}

const Color& Color::defaultForeground()
{
    static const Color c(0x8A3D, 0x8A3D, 0x8A3D);
    return c;
}

const Color& Color::defaultBackground()
{
    static const Color c(0, 0, 0);
    return c;
}

const std::vector<Color>& Color::terminalAppColors()
{
    static const std::vector<Color> colors = [] {
        static constexpr uint8_t rgb[16][3] = {
            {0x00, 0x00, 0x00}, {0xC2, 0x36, 0x21}, {0x25, 0xBC, 0x24}, {0xAD, 0xAD, 0x27},
            {0x49, 0x2E, 0xE1}, {0xD3, 0x38, 0xD3}, {0x33, 0xBB, 0xC8}, {0xCB, 0xCC, 0xCD},
            {0x81, 0x83, 0x83}, {0xFC, 0x39, 0x1F}, {0x31, 0xE7, 0x22}, {0xEA, 0xEC, 0x23},
            {0x58, 0x33, 0xFF}, {0xF9, 0x35, 0xF8}, {0x14, 0xF0, 0xF0}, {0xE9, 0xEB, 0xEB},
        };
        std::vector<Color> v;
        for (auto& c : rgb) v.emplace_back(uint16_t(c[0] * 257), uint16_t(c[1] * 257), uint16_t(c[2] * 257));
        return v;
    }();
    return colors;
}

std::vector<Color> Color::generateXtermPalette(const std::vector<Color>& initialColors)
{
    static constexpr uint16_t levels[6] = {0, 95, 135, 175, 215, 255};
    std::vector<Color> result = initialColors;
    result.reserve(initialColors.size() + 240);
    for (int i = 0; i < 216; i++)
        result.emplace_back(uint16_t(levels[(i / 36) % 6] * 257), uint16_t(levels[(i / 6) % 6] * 257),
                            uint16_t(levels[i % 6] * 257));
    for (int j = 0; j < 24; j++) {
        auto v = uint16_t((8 + 10 * j) * 257);
        result.emplace_back(v, v, v);
    }
    return result;
}

std::vector<Color> Color::generateBase16LabPalette(const std::vector<Color>& initialColors,
                                                   std::optional<Color> backgroundColor,
                                                   std::optional<Color> foregroundColor, bool harmonious)
{
    if (initialColors.size() < 8) return generateXtermPalette(initialColors);

    Lab base[8];
    for (int i = 0; i < 8; i++) base[i] = toLab(initialColors[size_t(i)]);
    if (backgroundColor) base[0] = toLab(*backgroundColor);
    if (foregroundColor) base[7] = toLab(*foregroundColor);
    if (!harmonious && base[7].l < base[0].l) std::swap(base[0], base[7]);

    std::vector<Color> result = initialColors;
    result.reserve(initialColors.size() + 240);
    for (int r = 0; r < 6; r++) {
        double tr = r / 5.0;
        Lab c0 = lerp(base[0], base[1], tr), c1 = lerp(base[2], base[3], tr);
        Lab c2 = lerp(base[4], base[5], tr), c3 = lerp(base[6], base[7], tr);
        for (int g = 0; g < 6; g++) {
            double tg = g / 5.0;
            Lab p0 = lerp(c0, c1, tg), p1 = lerp(c2, c3, tg);
            for (int b = 0; b < 6; b++) result.push_back(fromLab(lerp(p0, p1, b / 5.0)));
        }
    }
    for (int i = 1; i <= 24; i++) result.push_back(fromLab(lerp(base[0], base[7], i / 25.0)));
    return result;
}

} // namespace corvix
