#include "app/Views/GridRowLayout.hpp"

#include "app/Services/tiles/GridCellSizeCalculator.hpp"

#include <cmath>

namespace brisvane {

GridRowLayout::GridRowLayout(QList<int> rows, double spacing, QWidget* parent)
    : QLayout(parent), rows_(std::move(rows)), spacing_(spacing)
{
    setContentsMargins(0, 0, 0, 0);
}

GridRowLayout::~GridRowLayout()
{
    clear();
}

void GridRowLayout::setRows(QList<int> rows)
{
    if (rows == rows_) return;
    rows_ = std::move(rows);
    invalidate();
}

void GridRowLayout::setCellSpacing(double spacing)
{
    if (spacing == spacing_) return;
    spacing_ = spacing;
    invalidate();
}

void GridRowLayout::clear()
{
    while (QLayoutItem* item = takeAt(0)) delete item;
}

void GridRowLayout::addItem(QLayoutItem* item)
{
    items_.push_back(item);
    invalidate();
}

QLayoutItem* GridRowLayout::itemAt(int index) const
{
    return index >= 0 && index < items_.size() ? items_[index] : nullptr;
}

QLayoutItem* GridRowLayout::takeAt(int index)
{
    if (index < 0 || index >= items_.size()) return nullptr;
    QLayoutItem* item = items_.takeAt(index);
    invalidate();
    return item;
}

int GridRowLayout::count() const
{
    return int(items_.size());
}

// The layout asks for nothing in particular: it fills what it is offered.
QSize GridRowLayout::sizeHint() const
{
    return QSize(10, 10);
}

QSize GridRowLayout::minimumSize() const
{
    return QSize(0, 0);
}

Qt::Orientations GridRowLayout::expandingDirections() const
{
    return Qt::Horizontal | Qt::Vertical;
}

void GridRowLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    const QRect bounds = contentsRect();
    const auto layouts = GridCellSizeCalculator::rowLayouts(QSizeF(bounds.size()), rows_, spacing_);
    // Edges are rounded, not sizes, so neighbouring cells keep the spacing exactly.
    const auto edge = [](double origin, double offset) { return int(std::lround(origin + offset)); };
    qsizetype index = 0;
    double y = 0;
    for (const auto& row : layouts) {
        if (index >= items_.size()) break;
        double x = 0;
        for (int column = 0; column < row.columnCount && index < items_.size(); ++column, ++index) {
            const int left = edge(bounds.x(), x);
            const int top = edge(bounds.y(), y);
            items_[index]->setGeometry(QRect(left, top, edge(bounds.x(), x + row.cellWidth) - left,
                                             edge(bounds.y(), y + row.height) - top));
            x += row.cellWidth + spacing_;
        }
        y += row.height + spacing_;
    }
    for (; index < items_.size(); ++index) items_[index]->setGeometry(QRect(bounds.topLeft(), QSize(0, 0)));
}

} // namespace brisvane
