#include "terminal/screen/Attribute.hpp"

namespace corvix {

namespace {

// Appends the parameters of one colour: basic (0-7), bright (8-15), indexed or direct.
void appendColor(std::string& out, const Attribute::Color& color, const char* basePrefix,
                 const char* brightPrefix, const char* extended)
{
    using Kind = Attribute::Color::Kind;
    switch (color.kind()) {
    case Kind::trueColor:
        out += ';';
        out += extended;
        out += ";2;";
        out += std::to_string(color.red());
        out += ';';
        out += std::to_string(color.green());
        out += ';';
        out += std::to_string(color.blue());
        break;
    case Kind::ansi256: {
        const int n = color.code();
        out += ';';
        if (n < 8) {
            out += basePrefix;
            out += std::to_string(n);
        } else if (n < 16) {
            out += brightPrefix;
            out += std::to_string(n - 8);
        } else {
            out += extended;
            out += ";5;";
            out += std::to_string(n);
        }
        break;
    }
    case Kind::defaultColor:
    case Kind::defaultInvertedColor:
        break;
    }
}

} // namespace

std::string Attribute::toSgr() const
{
    std::string out = "0";
    struct Flag {
        CharacterStyle style;
        const char* text;
    };
    static constexpr Flag kFlags[] = {
        {CharacterStyle::bold, ";1"},    {CharacterStyle::underline, ";4"}, {CharacterStyle::blink, ";5"},
        {CharacterStyle::inverse, ";7"}, {CharacterStyle::invisible, ";8"},
    };
    for (const Flag& flag : kFlags) {
        if (style.contains(flag.style)) {
            out += flag.text;
        }
    }
    appendColor(out, fg, "3", "9", "38");
    appendColor(out, bg, "4", "10", "48");
    out += 'm';
    return out;
}

} // namespace corvix
