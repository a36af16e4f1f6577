#include "app/Views/DashboardStyle.hpp"

#include <QApplication>
#include <QFontDatabase>
#include <QFrame>
#include <QLabel>

namespace brisvane::DashboardStyle {

QColor toneColor(SessionStateAppearance::Tone tone)
{
    using Tone = SessionStateAppearance::Tone;
    switch (tone) {
    case Tone::busy:
        return green();
    case Tone::waiting:
        return red();
    case Tone::terminated:
        return white();
    case Tone::idle:
    case Tone::unknown:
        break;
    }
    return grey();
}

QString scrollBarStyleSheet(const QColor& track, const QColor& handle)
{
    const QString trackName = track.name(QColor::HexArgb);
    const QString handleName = handle.name(QColor::HexArgb);
    // No width: the owner of the bar may size it by the platform's metric.
    return QStringLiteral("QScrollBar { background: %1; margin: 0; border: none; }"
                          "QScrollBar::handle:vertical { background: %2; min-height: 20px; border-radius: 3px;"
                          " margin: 2px; }"
                          "QScrollBar::handle:horizontal { background: %2; min-width: 20px; border-radius: 3px;"
                          " margin: 2px; }"
                          // Nothing to scroll: an empty track, not a bar as long as the track.
                          "QScrollBar::handle:disabled { background: transparent; }"
                          "QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; border: none; }"
                          "QScrollBar::add-page, QScrollBar::sub-page { background: none; }")
        .arg(trackName, handleName);
}

QFont font(int pixelSize, QFont::Weight weight)
{
    QFont result = QApplication::font();
    result.setPixelSize(pixelSize);
    result.setWeight(weight);
    return result;
}

QFont monospacedFont(int pixelSize)
{
    QFont result = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    result.setPixelSize(pixelSize);
    return result;
}

QLabel* makeLabel(const QString& text, const QFont& font, const QColor& color, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(false);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

QFrame* makeDivider(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setObjectName(QStringLiteral("divider"));
    line->setFrameShape(QFrame::NoFrame);
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, QColor(255, 255, 255, 38));
    line->setPalette(palette);
    return line;
}

} // namespace brisvane::DashboardStyle
