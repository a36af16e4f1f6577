// The palette, the default colours and the colour OSC commands (4, 10-12, 104).
#include "terminal/engine/Terminal.hpp"
#include "terminal/engine/TerminalColors.hpp"

#include <string>

namespace corvix {

namespace {

size_t findSemicolon(std::span<const uint8_t> data, size_t from)
{
    for (size_t i = from; i < data.size(); i++)
        if (data[i] == ';') return i;
    return data.size();
}

} // namespace

// ---- Palette and default colours --------------------------------------------------------------

void TerminalColors::rebuildAnsiPalette(bool notifyDelegate)
{
    const Ansi256PaletteStrategy strategy = terminal_.options.ansi256PaletteStrategy;
    if (strategy == Ansi256PaletteStrategy::xterm)
        terminal_.defaultAnsiColors = Color::generateXtermPalette(terminal_.installedColors);
    else
        terminal_.defaultAnsiColors = Color::generateBase16LabPalette(
            terminal_.installedColors, terminal_.backgroundColor_, terminal_.foregroundColor_,
            strategy == Ansi256PaletteStrategy::base16LabHarmonious);
    terminal_.ansiColors = terminal_.defaultAnsiColors;
    if (notifyDelegate && terminal_.tdel) terminal_.tdel->colorChanged(terminal_, std::nullopt);
}

Terminal& TerminalPalette::terminal()
{
    // Only Terminal makes one, as its base.
    return static_cast<Terminal&>(*this);
}

const Terminal& TerminalPalette::terminal() const
{
    return static_cast<const Terminal&>(*this);
}

void TerminalPalette::installPalette(const std::vector<Color>& colors)
{
    if (colors.size() != 16) return;
    installedColors = colors;
    // The host installed these itself; it is not told back.
    TerminalColors(terminal()).rebuildAnsiPalette(false);
}

Ansi256PaletteStrategy TerminalPalette::ansi256PaletteStrategy() const
{
    return terminal().options.ansi256PaletteStrategy;
}

void TerminalPalette::setAnsi256PaletteStrategy(Ansi256PaletteStrategy strategy)
{
    Terminal& t = terminal();
    if (strategy == t.options.ansi256PaletteStrategy) return;
    t.options.ansi256PaletteStrategy = strategy;
    TerminalColors(t).rebuildAnsiPalette(true);
}

// The delegate's default implementations write the colour back through these setters; the guard
// ends that echo after one delegate call.
void TerminalPalette::setForegroundColor(const Color& color)
{
    foregroundColor_ = color;
    if (settingFgColor) return;
    Terminal& t = terminal();
    settingFgColor = true;
    if (t.delegate()) t.delegate()->setForegroundColor(t, foregroundColor_);
    settingFgColor = false;
    if (t.options.ansi256PaletteStrategy != Ansi256PaletteStrategy::xterm) TerminalColors(t).rebuildAnsiPalette(true);
}

void TerminalPalette::setBackgroundColor(const Color& color)
{
    backgroundColor_ = color;
    if (settingBgColor) return;
    Terminal& t = terminal();
    settingBgColor = true;
    if (t.delegate()) t.delegate()->setBackgroundColor(t, backgroundColor_);
    settingBgColor = false;
    if (t.options.ansi256PaletteStrategy != Ansi256PaletteStrategy::xterm) TerminalColors(t).rebuildAnsiPalette(true);
}

void TerminalPalette::setCursorColor(std::optional<Color> color)
{
    cursorColor_ = color;
    if (settingCursorColor) return;
    Terminal& t = terminal();
    settingCursorColor = true;
    if (t.delegate()) t.delegate()->setCursorColor(t, cursorColor_);
    settingCursorColor = false;
}

void TerminalColors::resetAllColors()
{
    terminal_.ansiColors = terminal_.defaultAnsiColors;
    if (terminal_.tdel) terminal_.tdel->colorChanged(terminal_, std::nullopt);
}

// ---- OSC 4: set or query palette entries ("index;colour" pairs) -------------------------------

void TerminalColors::oscChangeOrQueryColorIndex(Bytes data)
{
    size_t pos = 0;
    while (pos < data.size()) {
        const size_t semicolon = findSemicolon(data, pos);
        if (semicolon == data.size()) return; // an index without a colour
        const auto index = EscapeSequenceParser::parseDecimal(data.subspan(pos, semicolon - pos));
        if (!index || *index > 255) return;
        const size_t specStart = semicolon + 1;
        if (specStart < data.size() && data[specStart] == '?') {
            std::string reply(terminal_.replyOsc());
            reply += "4;" + std::to_string(*index) + ";" + terminal_.ansiColors[size_t(*index)].formatAsXcolor();
            reply += terminal_.replySt();
            terminal_.sendResponse(reply);
            pos = specStart + 1;
            if (pos < data.size() && data[pos] == ';') pos++;
            continue;
        }
        const size_t specEnd = findSemicolon(data, specStart);
        if (auto color = Color::parseColor(data.subspan(specStart, specEnd - specStart))) {
            terminal_.ansiColors[size_t(*index)] = *color;
            if (terminal_.tdel) terminal_.tdel->colorChanged(terminal_, int(*index));
        }
        pos = specEnd + 1;
    }
}

// ---- OSC 10, 11, 12: default foreground, background and cursor colour ------------------------

void TerminalColors::oscSetColors(Bytes data, int startAt)
{
    std::vector<Bytes> items;
    for (size_t pos = 0; pos <= data.size();) {
        const size_t end = findSemicolon(data, pos);
        if (end > pos) items.push_back(data.subspan(pos, end - pos));
        pos = end + 1;
    }
    if (items.empty()) return;

    const auto [foreground, background] = terminal_.tdel
        ? terminal_.tdel->getColors(terminal_)
        : std::pair<Color, Color>{terminal_.foregroundColor_, terminal_.backgroundColor_};
    int slot = startAt;
    for (Bytes item : items) {
        if (slot > 2) break;
        if (item[0] == '?') {
            const Color& reported = slot == 0 ? foreground
                : slot == 1                   ? background
                                              : terminal_.cursorColor_.value_or(foreground);
            std::string reply(terminal_.replyOsc());
            reply += std::to_string(10 + slot) + ";" + reported.formatAsXcolor();
            reply += terminal_.replySt();
            terminal_.sendResponse(reply);
        } else if (auto color = Color::parseColor(item)) {
            switch (slot) {
            case 0:
                terminal_.setForegroundColor(*color);
                if (terminal_.tdel) terminal_.tdel->setForegroundColor(terminal_, *color);
                break;
            case 1:
                terminal_.setBackgroundColor(*color);
                if (terminal_.tdel) terminal_.tdel->setBackgroundColor(terminal_, *color);
                break;
            default:
                terminal_.setCursorColor(*color);
                if (terminal_.tdel) terminal_.tdel->setCursorColor(terminal_, *color);
                break;
            }
        }
        slot++;
    }
}

// ---- OSC 104: reset palette entries -----------------------------------------------------------

void TerminalColors::oscResetColor(Bytes data)
{
    if (data.empty()) {
        resetAllColors();
        return;
    }
    for (uint8_t b : data)
        if (b >= 0x80) return;
    for (size_t pos = 0; pos <= data.size();) {
        const size_t end = findSemicolon(data, pos);
        if (end > pos) {
            // An unreadable item counts as entry 0; negative and too large values name no entry.
            int64_t n = 0;
            Bytes item = data.subspan(pos, end - pos);
            bool negative = item[0] == '-';
            if (item[0] == '-' || item[0] == '+') item = item.subspan(1);
            if (auto value = EscapeSequenceParser::parseDecimal(item)) n = negative ? -*value : *value;
            if (n >= 0 && n <= 255) {
                terminal_.ansiColors[size_t(n)] = terminal_.defaultAnsiColors[size_t(n)];
                if (terminal_.tdel) terminal_.tdel->colorChanged(terminal_, int(n));
            }
        }
        pos = end + 1;
    }
}

} // namespace corvix
