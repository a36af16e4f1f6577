#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <type_traits>

namespace corvix {

// A cell's style flags over one byte, with set algebra.
struct CharacterStyle {
    uint8_t rawValue = 0;

    static const CharacterStyle none;
    static const CharacterStyle bold;
    static const CharacterStyle underline;
    static const CharacterStyle blink;
    static const CharacterStyle inverse;
    static const CharacterStyle invisible;
    static const CharacterStyle dim;
    static const CharacterStyle italic;
    static const CharacterStyle crossedOut;

    // From a legacy packed 32-bit attribute word, whose style byte starts at bit 18.
    static constexpr CharacterStyle fromLegacyAttribute(uint32_t word)
    {
        return CharacterStyle{static_cast<uint8_t>(word >> 18)};
    }

    constexpr bool isEmpty() const { return rawValue == 0; }
    constexpr bool contains(CharacterStyle other) const { return (rawValue & other.rawValue) == other.rawValue; }
    constexpr void insert(CharacterStyle other) { rawValue |= other.rawValue; }
    constexpr void remove(CharacterStyle other) { rawValue &= static_cast<uint8_t>(~other.rawValue); }

    friend constexpr CharacterStyle operator|(CharacterStyle a, CharacterStyle b)
    {
        return CharacterStyle{static_cast<uint8_t>(a.rawValue | b.rawValue)};
    }
    friend constexpr CharacterStyle operator&(CharacterStyle a, CharacterStyle b)
    {
        return CharacterStyle{static_cast<uint8_t>(a.rawValue & b.rawValue)};
    }
    friend constexpr bool operator==(CharacterStyle, CharacterStyle) = default;
};

inline constexpr CharacterStyle CharacterStyle::none{0};
inline constexpr CharacterStyle CharacterStyle::bold{1};
inline constexpr CharacterStyle CharacterStyle::underline{2};
inline constexpr CharacterStyle CharacterStyle::blink{4};
inline constexpr CharacterStyle CharacterStyle::inverse{8};
inline constexpr CharacterStyle CharacterStyle::invisible{16};
inline constexpr CharacterStyle CharacterStyle::dim{32};
inline constexpr CharacterStyle CharacterStyle::italic{64};
inline constexpr CharacterStyle CharacterStyle::crossedOut{128};

// `double_`: `double` is a keyword.
enum class UnderlineStyle : uint8_t { none = 0, single = 1, double_ = 2, curly = 3, dotted = 4, dashed = 5 };

// The underline style of a raw value; nothing above 5.
constexpr std::optional<UnderlineStyle> underlineStyleFromRaw(uint8_t raw)
{
    if (raw > 5) {
        return std::nullopt;
    }
    return static_cast<UnderlineStyle>(raw);
}

// A cell's rendition. A plain value of 15 bytes, stored inline in every cell.
struct Attribute {
    // A palette index, a direct colour, or one of the two defaults, in four bytes.
    class Color {
    public:
        enum class Kind : uint8_t { ansi256, trueColor, defaultColor, defaultInvertedColor };

        constexpr Color() = default;

        static constexpr Color ansi256(uint8_t code) { return Color(Kind::ansi256, code, 0, 0); }
        static constexpr Color trueColor(uint8_t red, uint8_t green, uint8_t blue)
        {
            return Color(Kind::trueColor, red, green, blue);
        }
        static constexpr Color defaultColor() { return Color(); }
        static constexpr Color defaultInvertedColor() { return Color(Kind::defaultInvertedColor, 0, 0, 0); }

        constexpr Kind kind() const { return kind_; }
        // The palette index of an `ansi256` colour.
        constexpr uint8_t code() const { return a_; }
        // The components of a `trueColor` colour.
        constexpr uint8_t red() const { return a_; }
        constexpr uint8_t green() const { return b_; }
        constexpr uint8_t blue() const { return c_; }

        // Unused payload bytes are always 0, so comparing every byte is comparing case and payload.
        friend constexpr bool operator==(const Color&, const Color&) = default;

    private:
        constexpr Color(Kind kind, uint8_t a, uint8_t b, uint8_t c) : kind_(kind), a_(a), b_(b), c_(c) {}

        Kind kind_ = Kind::defaultColor;
        uint8_t a_ = 0;
        uint8_t b_ = 0;
        uint8_t c_ = 0;
    };

    Color fg;
    Color bg;
    CharacterStyle style;
    UnderlineStyle underlineStyle = UnderlineStyle::none;
    // Absent: the underline is drawn in the foreground colour.
    std::optional<Color> underlineColor;

    // Default foreground on the default inverted background (not the plain attribute `Attribute{}`,
    // which has both defaults).
    static const Attribute empty;

    // The SGR parameter text of the attribute, as the status-string reply reports it: "0;1;31;104m".
    std::string toSgr() const;

    friend constexpr bool operator==(const Attribute&, const Attribute&) = default;
};

inline constexpr Attribute Attribute::empty{Attribute::Color::defaultColor(),
                                            Attribute::Color::defaultInvertedColor(), CharacterStyle::none,
                                            UnderlineStyle::none, std::nullopt};

static_assert(sizeof(Attribute::Color) == 4);
static_assert(sizeof(Attribute) == 15);
static_assert(std::is_trivially_copyable_v<Attribute>);

} // namespace corvix

template <>
struct std::hash<corvix::Attribute::Color> {
    size_t operator()(const corvix::Attribute::Color& c) const noexcept
    {
        return (static_cast<size_t>(c.kind()) << 24) | (static_cast<size_t>(c.red()) << 16)
            | (static_cast<size_t>(c.green()) << 8) | c.blue();
    }
};

template <>
struct std::hash<corvix::Attribute> {
    size_t operator()(const corvix::Attribute& a) const noexcept
    {
        std::hash<corvix::Attribute::Color> colorHash;
        size_t h = colorHash(a.fg);
        auto mix = [&h](size_t v) { h ^= v + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2); };
        mix(colorHash(a.bg));
        mix(a.style.rawValue);
        mix(static_cast<size_t>(a.underlineStyle));
        mix(a.underlineColor ? colorHash(*a.underlineColor) + 1 : 0);
        return h;
    }
};
