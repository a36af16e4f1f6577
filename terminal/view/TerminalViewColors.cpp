// Cell colours to toolkit colours, their caches, and the colour callbacks of the engine.
#include "terminal/view/TerminalView.hpp"

#include "terminal/view/CaretView.hpp"
#include "terminal/view/ColorConversion.hpp"

#include <QPalette>

namespace corvix {

namespace {

constexpr size_t kTrueColorCacheLimit = 4096;

// The palette index a cell's colour code is drawn with.
int paletteIndex(int code, bool isBold, bool useBrightColors)
{
    if (useBrightColors) return (isBold && code <= 6) ? code + 8 : code;
    // Brightness is shown by the bold face instead: the bright base colours fold onto the
    // normal ones. The cube and the grey ramp (16 and up) are their own colours and stay.
    return (code >= 8 && code <= 15) ? code - 8 : code;
}

} // namespace

std::unordered_map<quint64, QBrush>& TerminalView::cgColorCache()
{
    static std::unordered_map<quint64, QBrush> cache;
    return cache;
}

QColor TerminalView::mapColor(Attribute::Color color, bool isFg, bool isBold, bool useBrightColors)
{
    switch (color.kind()) {
    case Attribute::Color::Kind::ansi256: {
        const int index = paletteIndex(color.code(), isBold, useBrightColors);
        std::optional<QColor>& slot = colors[size_t(index)];
        if (!slot) slot = makeColor(terminal->ansiColors[size_t(index)]);
        return *slot;
    }
    case Attribute::Color::Kind::trueColor: {
        if (auto it = trueColors.find(color); it != trueColors.end()) return it->second;
        if (trueColors.size() >= kTrueColorCacheLimit) trueColors.clear();
        const QColor made = QColor::fromRgb(color.red(), color.green(), color.blue());
        trueColors.emplace(color, made);
        return made;
    }
    case Attribute::Color::Kind::defaultColor:
        return isFg ? *_nativeFg : *_nativeBg;
    case Attribute::Color::Kind::defaultInvertedColor:
        // The opposite default: inverse video of default text swaps the two.
        return isFg ? *_nativeBg : *_nativeFg;
    }
    return *_nativeFg;
}

void TerminalView::resetCaches()
{
    attributes.clear();
    urlAttributes.clear();
    colors.fill(std::nullopt);
    trueColors.clear();
    fonts_.resetFaces();
}

void TerminalView::colorsChanged()
{
    attributes.clear();
    urlAttributes.clear();
    cgColorCache().clear();
    markWholeScreenDirty();
    queuePendingDisplay();
}

void TerminalView::installColors(const std::vector<Color>& newColors)
{
    if (newColors.size() == 16) terminal->installPalette(newColors);
    colors.fill(std::nullopt);
    colorsChanged();
}

void TerminalView::colorChanged(Terminal&, std::optional<int> idx)
{
    if (idx && *idx >= 0 && *idx < 256) {
        colors[size_t(*idx)].reset();
    } else {
        colors.fill(std::nullopt);
    }
    colorsChanged();
}

void TerminalView::setForegroundColor(Terminal&, const Color& color)
{
    setNativeForegroundColor(makeColor(color));
    colorsChanged();
}

void TerminalView::setBackgroundColor(Terminal&, const Color& color)
{
    setNativeBackgroundColor(makeColor(color));
    colorsChanged();
}

void TerminalView::setNativeForegroundColor(const QColor& color)
{
    if (settingFg) return;
    settingFg = true;
    _nativeFg = color;
    terminal->setForegroundColor(getTerminalColor(color));
    settingFg = false;
}

void TerminalView::setNativeBackgroundColor(const QColor& color)
{
    if (settingBg) return;
    settingBg = true;
    _nativeBg = color;
    terminal->setBackgroundColor(getTerminalColor(color));
    settingBg = false;
}

void TerminalView::configureNativeColors()
{
    const QPalette pal = palette();
    setNativeForegroundColor(pal.color(QPalette::Active, QPalette::Text));
    setNativeBackgroundColor(pal.color(QPalette::Active, QPalette::Base));
}

void TerminalView::setCursorColor(Terminal&, std::optional<Color> color, std::optional<Color> textColor)
{
    if (caretView) {
        caretView->setCaretColor(color ? makeColor(*color) : caretView->defaultCaretColor);
        caretView->caretTextColor = textColor ? std::optional<QColor>(makeColor(*textColor))
                                              : caretView->defaultCaretTextColor;
        caretView->update();
    }
    queueGpuDisplay();
}

} // namespace corvix
