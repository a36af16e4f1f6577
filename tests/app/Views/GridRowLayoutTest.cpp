#include "app/Views/GridLayoutIconView.hpp"
#include "app/Views/GridRowLayout.hpp"

#include <QWidget>

#include <gtest/gtest.h>

using namespace brisvane;

namespace {

struct RowLayoutCase {
    const char* name;
    QList<int> rows;
    int widgets;
    QSize size;
    double spacing;
    // The widgets' rectangles in order; an empty rectangle for a widget left out.
    QList<QRect> expected;
};

class GridRowLayoutTable : public ::testing::TestWithParam<RowLayoutCase> {};

TEST_P(GridRowLayoutTable, PlacesTheWidgetsRowByRow)
{
    const RowLayoutCase& c = GetParam();
    QWidget host;
    auto* layout = new GridRowLayout(c.rows, c.spacing, &host);
    QList<QWidget*> widgets;
    for (int i = 0; i < c.widgets; ++i) {
        widgets << new QWidget(&host);
        layout->addWidget(widgets.back());
    }
    host.resize(c.size);
    layout->setGeometry(QRect(QPoint(0, 0), c.size));
    ASSERT_EQ(widgets.size(), c.expected.size());
    for (int i = 0; i < widgets.size(); ++i) {
        if (c.expected[i].isEmpty()) {
            EXPECT_TRUE(widgets[i]->geometry().isEmpty()) << "widget " << i;
        } else {
            EXPECT_EQ(widgets[i]->geometry(), c.expected[i]) << "widget " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GridRowLayoutTable,
    ::testing::Values(
        // One cell takes everything; a second widget has no place.
        RowLayoutCase{"OneCell", {1}, 2, {300, 200}, 12, {QRect(0, 0, 300, 200), QRect()}},
        // Two above, two of three below; the third cell below stays empty.
        RowLayoutCase{"TwoOverThree",
                      {2, 3},
                      4,
                      {312, 212},
                      12,
                      {QRect(0, 0, 150, 100), QRect(162, 0, 150, 100), QRect(0, 112, 96, 100), QRect(108, 112, 96, 100)}},
        // A row of 0 cells counts as one cell.
        RowLayoutCase{"ZeroCountRow", {0, 2}, 3, {100, 100}, 0,
                      {QRect(0, 0, 100, 50), QRect(0, 50, 50, 50), QRect(50, 50, 50, 50)}},
        // No rows: nothing is placed.
        RowLayoutCase{"NoRows", {}, 1, {100, 100}, 12, {QRect()}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GridRowLayout, AsksForNothingAndTakesAllItIsGiven)
{
    GridRowLayout layout({2, 2}, 12);
    EXPECT_EQ(layout.sizeHint(), QSize(10, 10));
    EXPECT_EQ(layout.minimumSize(), QSize(0, 0));
    EXPECT_EQ(layout.expandingDirections(), Qt::Horizontal | Qt::Vertical);
}

TEST(GridLayoutIconView, DrawsOneCellPerPlaceWithTheLayoutsArithmetic)
{
    // The bar's icon: 18 x 13 with 1.5 between cells.
    GridLayoutIconView icon({2, 3}, 18, 13, 1.5, 1.5, Qt::white);
    EXPECT_EQ(icon.size(), QSize(18, 13));
    const QList<QRectF> cells = icon.cellRects();
    ASSERT_EQ(cells.size(), 5);
    EXPECT_DOUBLE_EQ(cells[0].width(), 8.25);
    EXPECT_DOUBLE_EQ(cells[0].height(), 5.75);
    EXPECT_DOUBLE_EQ(cells[1].x(), 9.75);
    EXPECT_DOUBLE_EQ(cells[2].y(), 7.25);
    EXPECT_DOUBLE_EQ(cells[4].right(), 18);

    // A row of 0 draws one cell; no rows draw nothing.
    icon.setRows({0});
    EXPECT_EQ(icon.cellRects(), QList<QRectF>{QRectF(0, 0, 18, 13)});
    icon.setRows({});
    EXPECT_TRUE(icon.cellRects().isEmpty());

    // The picker's size, drawn: the colour fills a cell.
    GridLayoutIconView picker({2}, 32, 24, 1.5, 1.5, Qt::red);
    EXPECT_EQ(picker.grab().toImage().pixelColor(7, 12), QColor(Qt::red));
}

} // namespace
