#include "app/Views/GridLayoutIconView.hpp"

#include "app/Services/tiles/GridCellSizeCalculator.hpp"

#include <QPainter>

#include <cmath>

namespace brisvane {

GridLayoutIconView::GridLayoutIconView(QList<int> rows, double width, double height, double spacing,
                                       double cornerRadius, QColor color, QWidget* parent)
    : QWidget(parent), rows_(std::move(rows)), size_(width, height), spacing_(spacing), cornerRadius_(cornerRadius),
      color_(color)
{
    setFixedSize(sizeHint());
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setAccessibleName(QString());
}

void GridLayoutIconView::setRows(QList<int> rows)
{
    if (rows == rows_) return;
    rows_ = std::move(rows);
    update();
}

void GridLayoutIconView::setColor(QColor color)
{
    if (color == color_) return;
    color_ = color;
    update();
}

QSize GridLayoutIconView::sizeHint() const
{
    return QSize(int(std::ceil(size_.width())), int(std::ceil(size_.height())));
}

QList<QRectF> GridLayoutIconView::cellRects() const
{
    QList<QRectF> cells;
    double y = 0;
    for (const auto& row : GridCellSizeCalculator::rowLayouts(size_, rows_, spacing_)) {
        double x = 0;
        for (int column = 0; column < row.columnCount; ++column) {
            cells.push_back(QRectF(x, y, row.cellWidth, row.height));
            x += spacing_ + row.cellWidth;
        }
        y += spacing_ + row.height;
    }
    return cells;
}

void GridLayoutIconView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color_);
    for (const QRectF& cell : cellRects()) painter.drawRoundedRect(cell, cornerRadius_, cornerRadius_);
}

} // namespace brisvane
