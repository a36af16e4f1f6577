#include "app/Views/ColorDot.hpp"

#include <QPainter>

namespace brisvane {

ColorDot::ColorDot(int diameter, const QColor& color, QWidget* parent) : QLabel(parent)
{
    setFixedSize(diameter, diameter);
    setColor(color);
}

void ColorDot::setColor(const QColor& color)
{
    color_ = color;
    setProperty("dotColor", color);
    update();
}

void ColorDot::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color_);
    painter.drawEllipse(QRectF(rect()));
}

} // namespace brisvane
