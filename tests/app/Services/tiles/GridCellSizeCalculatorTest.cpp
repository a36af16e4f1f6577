#include "app/Services/tiles/GridCellSizeCalculator.hpp"

#include <gtest/gtest.h>

using namespace brisvane;
using RowLayout = GridCellSizeCalculator::RowLayout;

TEST(GridCellSizeCalculator, RowsShareTheHeightAndCellsTheWidth)
{
    const QList<RowLayout> rows = GridCellSizeCalculator::rowLayouts(QSizeF(100, 50), {2, 3}, 10);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0], (RowLayout{2, 20, 45}));
    EXPECT_EQ(rows[1].columnCount, 3);
    EXPECT_DOUBLE_EQ(rows[1].cellWidth, 80.0 / 3);
    // A row of no cells counts as one; sizes never go below 0.
    EXPECT_EQ(GridCellSizeCalculator::rowLayouts(QSizeF(100, 50), {0}, 10), (QList<RowLayout>{{1, 50, 100}}));
    EXPECT_EQ(GridCellSizeCalculator::rowLayouts(QSizeF(5, 5), {3, 3}, 10), (QList<RowLayout>{{3, 0, 0}, {3, 0, 0}}));
    EXPECT_TRUE(GridCellSizeCalculator::rowLayouts(QSizeF(100, 50), {}, 10).isEmpty());
}
