#pragma once

#include "app/Views/DashboardStyle.hpp"
#include "app/Views/SettingsForm.hpp"

#include <QColor>
#include <QFont>
#include <QString>

class QLabel;
class QVBoxLayout;
class QWidget;

// The small widgets the onboarding's steps share, on the sheet's dark background. Sizes are pixels
// (one point of the layout is one pixel at scale 1). Every text is shown as given: callers localise
// it first.
namespace brisvane::OnboardingComponents {

// The colours the steps name are the dashboard's: green, red, blue (the accent), yellow and
// orange (warnings), and the primary and secondary text colours.
using DashboardStyle::green;
using DashboardStyle::primaryText;
using DashboardStyle::red;
using DashboardStyle::secondaryText;
using DashboardStyle::yellow;
using SettingsForm::orange;
inline QColor blue() { return DashboardStyle::accent(); }

// Lays out a step's content: a vertical stack aligned to the leading edge with spacing 14. The
// sheet pads it and scrolls it.
QVBoxLayout* makeStepLayout(QWidget& step);

// Lead text: regular weight at `pixelSize`, wrapping to its full height (never truncated).
QLabel* makeLeadText(const QString& text, int pixelSize = 12);
// The same from a Markdown text: "**...**" is shown bold, "`...`" as code.
QLabel* makeMarkdownLeadText(const QString& markdown, int pixelSize = 12);
// A caption: `pixelSize` (10 for the small caption) in the secondary colour, wrapping.
QLabel* makeCaption(const QString& text, int pixelSize = 11);
// A warning: 11 pixels in orange, wrapping.
QLabel* makeWarning(const QString& text);
// A path or a command: monospaced at `pixelSize` in the secondary colour, selectable.
QLabel* makeCodeLine(const QString& text, int pixelSize = 11);
// A symbol followed by a text, both in `color` unless `symbolColor` is given. The symbol's name is
// in the "symbolName" property of the row and of its symbol.
QWidget* makeSymbolLabel(const QString& icon, const QString& text, const QFont& font, const QColor& color,
                         const QColor& symbolColor = {});

// A symbol in the accent colour in a column 20 wide, then the title (12 semibold) over the detail
// (11, secondary, wrapping), aligned to the top with spacing 10.
QWidget* bulletRow(const QString& icon, const QString& title, const QString& detail);
// The same with the symbol in `color`.
QWidget* accessFactRow(const QString& icon, const QColor& color, const QString& title, const QString& detail);

} // namespace brisvane::OnboardingComponents
