#include "app/Views/PlainButton.hpp"

#include "app/Views/DashboardStyle.hpp"

namespace brisvane::PlainButton {

namespace {

QString styleSheet(QColor color, QMargins padding)
{
    return QStringLiteral("QPushButton { border: none; background: transparent; color: %1;"
                          " padding: %2px %3px %4px %5px; text-align: left; }")
        .arg(color.name(QColor::HexArgb))
        .arg(padding.top())
        .arg(padding.right())
        .arg(padding.bottom())
        .arg(padding.left());
}

} // namespace

QPushButton* make(const QString& text, int pixelSize, QFont::Weight weight, QColor color, QWidget* parent,
                  QMargins padding)
{
    auto* button = new QPushButton(text, parent);
    button->setFlat(true);
    button->setFont(DashboardStyle::font(pixelSize, weight));
    button->setCursor(Qt::PointingHandCursor);
    button->setProperty("plainPadding", QVariant::fromValue(padding));
    button->setStyleSheet(styleSheet(color, padding));
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return button;
}

void setColor(QPushButton& button, QColor color)
{
    button.setStyleSheet(styleSheet(color, button.property("plainPadding").value<QMargins>()));
}

} // namespace brisvane::PlainButton
