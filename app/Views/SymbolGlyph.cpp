#include "app/Views/SymbolGlyph.hpp"

#include <QHash>
#include <QWidget>

namespace brisvane::SymbolGlyph {

QString text(const QString& symbolName)
{
    static const QHash<QString, QString> glyphs{
        {QStringLiteral("plus.circle"), QStringLiteral("\u2295")},
        {QStringLiteral("checkmark"), QStringLiteral("\u2713")},
        {QStringLiteral("gearshape"), QStringLiteral("\u2699")},
        {QStringLiteral("xmark"), QStringLiteral("\u2715")},
        {QStringLiteral("speaker.wave.2.fill"), QStringLiteral("\U0001F50A")},
        {QStringLiteral("speaker.slash.fill"), QStringLiteral("\U0001F507")},
        {QStringLiteral("chevron.left"), QStringLiteral("\u2039")},
        {QStringLiteral("chevron.right"), QStringLiteral("\u203A")},
        {QStringLiteral("text.bubble"), QStringLiteral("\U0001F5E8")},
        {QStringLiteral("text.bubble.fill"), QStringLiteral("\U0001F4AC")},
        {QStringLiteral("ellipsis.circle"), QStringLiteral("\u22EF")},
        {QStringLiteral("xmark.circle"), QStringLiteral("\u2297")},
        {QStringLiteral("exclamationmark.triangle"), QStringLiteral("\u26A0")},
        {QStringLiteral("exclamationmark.triangle.fill"), QStringLiteral("\u26A0")},
        {QStringLiteral("exclamationmark.shield"), QStringLiteral("\u26A0")},
        {QStringLiteral("checkmark.circle"), QStringLiteral("\u2713")},
        {QStringLiteral("checkmark.circle.fill"), QStringLiteral("\u2714")},
        {QStringLiteral("checkmark.seal"), QStringLiteral("\u2714")},
        {QStringLiteral("network.slash"), QStringLiteral("\u2298")},
        {QStringLiteral("arrow.uturn.backward"), QStringLiteral("\u21A9")},
        {QStringLiteral("square.grid.2x2"), QStringLiteral("\u25A6")},
        {QStringLiteral("gauge.with.dots.needle.67percent"), QStringLiteral("\u25D4")},
        {QStringLiteral("speaker.wave.2"), QStringLiteral("\U0001F509")},
        {QStringLiteral("slider.horizontal.3"), QStringLiteral("\u2630")},
    };
    return glyphs.value(symbolName, symbolName);
}

void tag(QWidget& widget, const QString& symbolName)
{
    widget.setProperty("symbolName", symbolName);
}

} // namespace brisvane::SymbolGlyph
