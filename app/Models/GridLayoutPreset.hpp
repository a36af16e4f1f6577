#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace brisvane {

// A page layout of the dashboard grid: the number of cells in each row, top to bottom. Its id is
// the counts joined by "-" ("2-3").
struct GridLayoutPreset {
    QString id;
    QList<int> rows;

    explicit GridLayoutPreset(QList<int> rows);

    static const GridLayoutPreset oneByOne;
    static const GridLayoutPreset horizontalTwo;
    static const GridLayoutPreset oneByTwo;
    static const GridLayoutPreset horizontalThree;
    static const GridLayoutPreset twoByTwo;
    static const GridLayoutPreset topTwoBottomThree;
    static const GridLayoutPreset twoByThree;
    static const GridLayoutPreset threeByTwo;
    static const GridLayoutPreset threeByThree;

    // The nine built-in layouts, in the order the layout picker lists them.
    static const QList<GridLayoutPreset>& allCases();
    static const GridLayoutPreset& defaultPreset() { return twoByTwo; }
    static std::optional<GridLayoutPreset> preset(const QString& presetId);

    // Cells on one page: the sum of the rows.
    int capacity() const;
    // "4分割（横2×縦2）" and the like; `isJapaneseLocale` picks the separator of mixed rows.
    QString displayLabel(bool isJapaneseLocale) const;

    friend bool operator==(const GridLayoutPreset&, const GridLayoutPreset&) = default;
};

} // namespace brisvane
