// Character attributes: SGR (CSI Ps ; ... m) with the extended colour and underline-style forms.
#include "terminal/engine/Terminal.hpp"

#include "terminal/screen/Log.hpp"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

namespace corvix {

namespace {

using CellColor = Attribute::Color;

uint8_t component(int32_t value)
{
    return uint8_t(std::clamp(value, 0, 255));
}

// "Unknown SGR attribute: 6 [6, 1]". Cold: inlined, its strings would weigh on every SGR.
[[gnu::cold]] void logUnknown(const Terminal& terminal, int32_t value, Terminal::Params pars)
{
    if (terminal.silentLog) return;
    std::string line = "Unknown SGR attribute: ";
    line += std::to_string(value);
    line += " [";
    for (size_t i = 0; i < pars.size(); i++) {
        if (i) line += ", ";
        line += std::to_string(pars[i]);
    }
    line += ']';
    terminal.logDiagnostic(line);
}

// The five attribute fields an SGR sequence changes, changed in place (no copy in and out: the
// 15-byte attribute is copied byte by byte).
struct SgrState {
    const Terminal& terminal;
    Attribute& attr;
    Terminal::Params pars;
    Terminal::Bytes seps; // seps[k] stands between pars[k] and pars[k + 1]

    bool colonAfter(size_t i) const { return i < seps.size() && seps[i] == ':'; }

    void reset()
    {
        attr.fg = CellColor::defaultColor();
        attr.bg = CellColor::defaultColor();
        attr.style = CharacterStyle::none;
        attr.underlineStyle = UnderlineStyle::none;
        attr.underlineColor.reset();
    }

    void applyUnderlineStyle(int32_t code)
    {
        if (code == 0) {
            attr.style.remove(CharacterStyle::underline);
            attr.underlineStyle = UnderlineStyle::none;
            return;
        }
        attr.style.insert(CharacterStyle::underline);
        attr.underlineStyle = code >= 1 && code <= 5 ? UnderlineStyle(code) : UnderlineStyle::single;
    }

    // Parses the extended colour whose selector is at `s` into `color` (true when there is one)
    // and tells in `consumed` how many parameters it took from the selector on. Out parameters:
    // a returned optional colour travels through the stack byte by byte.
    bool parseExtendedColor(size_t s, bool usesColon, CellColor& color, size_t& consumed) const
    {
        const size_t count = pars.size();
        consumed = 0;
        if (s >= count) return false;
        const int32_t selector = pars[s];
        if (!usesColon) {
            consumed = 1;
            if (selector == 5) {
                if (s + 1 >= count) return false;
                color = CellColor::ansi256(component(pars[s + 1]));
                consumed = 2;
                return true;
            }
            if (selector == 2 && s + 3 < count) {
                color = CellColor::trueColor(component(pars[s + 1]), component(pars[s + 2]), component(pars[s + 3]));
                consumed = 4;
                return true;
            }
            return false;
        }
        // The colon group: the selector and every parameter joined to it by ':'.
        size_t n = 1;
        while (colonAfter(s + n - 1) && s + n < count) n++;
        consumed = n;
        if (selector == 5 && n >= 2) {
            color = CellColor::ansi256(component(pars[s + 1]));
        } else if (selector == 2 && n >= 5) {
            // Parameter s + 1 is the colour-space identifier.
            color = CellColor::trueColor(component(pars[s + 2]), component(pars[s + 3]), component(pars[s + 4]));
        } else if (selector == 2 && n == 4) {
            color = CellColor::trueColor(component(pars[s + 1]), component(pars[s + 2]), component(pars[s + 3]));
        } else {
            return false;
        }
        return true;
    }

    // Every parameter in turn. Out of line: the shapes cmdCsiM takes first stay short.
    [[gnu::noinline]] void applyAll()
    {
        Attribute& a = attr;
        size_t i = 0;
        while (i < pars.size()) {
            const int32_t p = pars[i];
            size_t next = i + 1;
            switch (p) {
            case 0: reset(); break;
            case 1: a.style.insert(CharacterStyle::bold); break;
            case 2: a.style.insert(CharacterStyle::dim); break;
            case 3: a.style.insert(CharacterStyle::italic); break;
            case 4:
                if (colonAfter(i) && i + 1 < pars.size()) {
                    applyUnderlineStyle(pars[i + 1]);
                    next = i + 2;
                } else {
                    a.style.insert(CharacterStyle::underline);
                    a.underlineStyle = UnderlineStyle::single;
                }
                break;
            case 5: a.style.insert(CharacterStyle::blink); break;
            case 7: a.style.insert(CharacterStyle::inverse); break;
            case 8: a.style.insert(CharacterStyle::invisible); break;
            case 9: a.style.insert(CharacterStyle::crossedOut); break;
            case 21:
                a.style.insert(CharacterStyle::underline);
                a.underlineStyle = UnderlineStyle::double_;
                break;
            case 22:
                a.style.remove(CharacterStyle::bold);
                a.style.remove(CharacterStyle::dim);
                break;
            case 23: a.style.remove(CharacterStyle::italic); break;
            case 24:
                a.style.remove(CharacterStyle::underline);
                a.underlineStyle = UnderlineStyle::none;
                break;
            case 25: a.style.remove(CharacterStyle::blink); break;
            case 27: a.style.remove(CharacterStyle::inverse); break;
            case 28: a.style.remove(CharacterStyle::invisible); break;
            case 29: a.style.remove(CharacterStyle::crossedOut); break;
            case 30: case 31: case 32: case 33: case 34: case 35: case 36: case 37:
                a.fg = CellColor::ansi256(uint8_t(p - 30));
                break;
            case 39: a.fg = CellColor::defaultColor(); break;
            case 40: case 41: case 42: case 43: case 44: case 45: case 46: case 47:
                a.bg = CellColor::ansi256(uint8_t(p - 40));
                break;
            case 49: a.bg = CellColor::defaultColor(); break;
            case 59: a.underlineColor.reset(); break;
            case 90: case 91: case 92: case 93: case 94: case 95: case 96: case 97:
                a.fg = CellColor::ansi256(uint8_t(p - 82));
                break;
            case 100: case 101: case 102: case 103: case 104: case 105: case 106: case 107:
                a.bg = CellColor::ansi256(uint8_t(p - 92));
                break;
            case 38:
            case 48:
            case 58: {
                const size_t s = i + 1;
                CellColor color;
                size_t consumed = 0;
                if (parseExtendedColor(s, colonAfter(i), color, consumed)) {
                    if (p == 38)
                        a.fg = color;
                    else if (p == 48)
                        a.bg = color;
                    else
                        a.underlineColor = color;
                }
                next = s + std::max<size_t>(consumed, 1);
                break;
            }
            default: logUnknown(terminal, p, pars); break;
            }
            i = next;
        }
    }
};

} // namespace

void Terminal::cmdCsiM(Params pars, Bytes collect)
{
    if (!collect.empty()) return;
    // One-parameter sequences that set a single field, the shapes programs send most after the
    // 256-colour ones (taken before this call), skip the general loop.
    const Bytes separators = csiParameterSeparators_;
    SgrState st{*this, curAttr, pars,
                separators.first(std::min(separators.size(), pars.empty() ? 0 : pars.size() - 1))};
    if (pars.size() == 1) {
        const int32_t p = pars[0];
        if (p == 0) {
            st.reset();
            return;
        }
        if (p >= 30 && p <= 37) {
            curAttr.fg = CellColor::ansi256(uint8_t(p - 30));
            return;
        }
        if (p >= 40 && p <= 47) {
            curAttr.bg = CellColor::ansi256(uint8_t(p - 40));
            return;
        }
        if (p == 1) {
            curAttr.style.insert(CharacterStyle::bold);
            return;
        }
    }

    st.applyAll();
}

} // namespace corvix
