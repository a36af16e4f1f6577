#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace corvix {

// A colour with 16-bit components: palette entries, the default foreground, background and
// cursor colours, and what the colour commands set and report. An 8-bit value v is v * 257.
struct Color {
    uint16_t red = 0;
    uint16_t green = 0;
    uint16_t blue = 0;

    constexpr Color() = default;
    constexpr Color(uint16_t r, uint16_t g, uint16_t b) : red(r), green(g), blue(b) {}

    friend constexpr bool operator==(const Color&, const Color&) = default;

    // "rgb:rrrr/gggg/bbbb" with four lower-case hex digits per component.
    std::string formatAsXcolor() const;

    // Parses the "#..." and "rgb:..." X11 colour forms; no value for anything else.
    static std::optional<Color> parseColor(std::span<const uint8_t> text);
    static std::optional<Color> parseColor(std::string_view text);

    static const Color& defaultForeground();
    static const Color& defaultBackground();
    // The 16 base colours (ANSI 0-15).
    static const std::vector<Color>& terminalAppColors();

    // The given colours followed by the 216-colour cube and the 24 greys.
    static std::vector<Color> generateXtermPalette(const std::vector<Color>& initialColors);
    // The given colours followed by 240 colours interpolated in CIE L*a*b* between the first 8
    // (with the background and foreground standing in for black and white when given).
    static std::vector<Color> generateBase16LabPalette(const std::vector<Color>& initialColors,
                                                       std::optional<Color> backgroundColor,
                                                       std::optional<Color> foregroundColor,
                                                       bool harmonious);
};

struct ColorHash {
    size_t operator()(const Color& c) const noexcept
    {
        return (size_t(c.red) << 32) ^ (size_t(c.green) << 16) ^ size_t(c.blue);
    }
};

} // namespace corvix
