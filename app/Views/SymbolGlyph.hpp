#pragma once

#include <QString>

class QWidget;

// The named symbols of the dashboard's buttons, drawn as text: each name maps to one glyph of the
// bundled fonts. Widgets showing a symbol carry its name in the "symbolName" property, so tests
// (and the accessibility tree) see which symbol is meant without looking at pixels.
namespace brisvane::SymbolGlyph {

// The glyph for "plus.circle", "gearshape", "xmark", ...; the name itself when unknown.
QString text(const QString& symbolName);

// Sets the widget's "symbolName" property.
void tag(QWidget& widget, const QString& symbolName);

} // namespace brisvane::SymbolGlyph
