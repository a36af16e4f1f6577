#include "app/Services/tiles/GridCellSizeCalculator.hpp"

#include <algorithm>

namespace brisvane::GridCellSizeCalculator {

QList<RowLayout> rowLayouts(QSizeF forAvailableSize, const QList<int>& rows, double spacing)
{
    QList<RowLayout> result;
    const qsizetype n = rows.size();
    if (n == 0) return result;
    const double height = std::max(0.0, (forAvailableSize.height() - double(n - 1) * spacing) / double(n));
    for (int count : rows) {
        const int c = std::max(1, count);
        const double width = std::max(0.0, (forAvailableSize.width() - double(c - 1) * spacing) / double(c));
        result.push_back({c, height, width});
    }
    return result;
}

} // namespace brisvane::GridCellSizeCalculator
