#pragma once

#include <QColor>
#include <QFont>
#include <QPushButton>

// Buttons of the dashboard's bars and cards that show only their label: no bevel, no
// background, a pointing-hand cursor, and the font and colour given.
namespace brisvane::PlainButton {

// A text (or symbol glyph) button with `padding` around its label.
QPushButton* make(const QString& text, int pixelSize, QFont::Weight weight, QColor color, QWidget* parent = nullptr,
                  QMargins padding = {});

// Re-colours a button made by `make`.
void setColor(QPushButton& button, QColor color);

} // namespace brisvane::PlainButton
