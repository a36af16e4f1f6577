#pragma once

#include <QList>
#include <QSizeF>

namespace brisvane {

// The geometry of the cells of one grid page.
namespace GridCellSizeCalculator {

struct RowLayout {
    int columnCount = 1;
    double height = 0;
    double cellWidth = 0;
    friend bool operator==(const RowLayout&, const RowLayout&) = default;
};

// One layout per row: every row equally high, the cells of a row equally wide, `spacing` between
// rows and between cells; a row of 0 cells counts as one; nothing is below 0.
QList<RowLayout> rowLayouts(QSizeF forAvailableSize, const QList<int>& rows, double spacing);

} // namespace GridCellSizeCalculator

} // namespace brisvane
