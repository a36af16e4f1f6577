#include "app/Models/GridLayoutPreset.hpp"

#include <gtest/gtest.h>

using namespace brisvane;

TEST(GridLayoutPreset, NinePresetsWithIdsAndLabels)
{
    struct Row {
        QString id;
        int capacity;
        QString label;
    };
    const Row expected[] = {
        {"1", 1, "1分割"},
        {"2", 2, "2分割（横並び）"},
        {"1-1", 2, "2分割（縦並び）"},
        {"3", 3, "3分割（横並び）"},
        {"2-2", 4, "4分割（横2×縦2）"},
        {"2-3", 5, "5分割（上2・下3）"},
        {"2-2-2", 6, "6分割（横2×縦3）"},
        {"3-3", 6, "6分割（横3×縦2）"},
        {"3-3-3", 9, "9分割（横3×縦3）"},
    };
    const QList<GridLayoutPreset>& all = GridLayoutPreset::allCases();
    ASSERT_EQ(all.size(), 9);
    for (int i = 0; i < 9; i++) {
        EXPECT_EQ(all[i].id, expected[i].id);
        EXPECT_EQ(all[i].capacity(), expected[i].capacity);
        EXPECT_EQ(all[i].displayLabel(true), expected[i].label) << expected[i].id.toStdString();
        EXPECT_EQ(GridLayoutPreset::preset(expected[i].id), all[i]);
    }
    EXPECT_EQ(GridLayoutPreset::defaultPreset(), GridLayoutPreset::twoByTwo);
    EXPECT_EQ(GridLayoutPreset::preset("4x4"), std::nullopt);
}

TEST(GridLayoutPreset, LabelsOfOtherShapes)
{
    EXPECT_EQ(GridLayoutPreset({}).displayLabel(true), "1分割");
    EXPECT_EQ(GridLayoutPreset({1, 2, 3}).displayLabel(true), "6分割（上から1・2・3）");
    EXPECT_EQ(GridLayoutPreset({1, 2, 3}).displayLabel(false), "6分割（上から1, 2, 3）");
    EXPECT_EQ(GridLayoutPreset({1, 2, 3}).id, "1-2-3");
}
