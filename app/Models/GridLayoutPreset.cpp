#include "app/Models/GridLayoutPreset.hpp"

#include <QCoreApplication>
#include <QStringList>

#include <numeric>

namespace brisvane {

namespace {

QString idOf(const QList<int>& rows)
{
    QStringList parts;
    for (int count : rows) parts << QString::number(count);
    return parts.join(u'-');
}

QString tr(const char* key)
{
    return QCoreApplication::translate("GridLayoutPreset", key);
}

} // namespace

GridLayoutPreset::GridLayoutPreset(QList<int> rows) : id(idOf(rows)), rows(std::move(rows)) {}

const GridLayoutPreset GridLayoutPreset::oneByOne{{1}};
const GridLayoutPreset GridLayoutPreset::horizontalTwo{{2}};
const GridLayoutPreset GridLayoutPreset::oneByTwo{{1, 1}};
const GridLayoutPreset GridLayoutPreset::horizontalThree{{3}};
const GridLayoutPreset GridLayoutPreset::twoByTwo{{2, 2}};
const GridLayoutPreset GridLayoutPreset::topTwoBottomThree{{2, 3}};
const GridLayoutPreset GridLayoutPreset::twoByThree{{2, 2, 2}};
const GridLayoutPreset GridLayoutPreset::threeByTwo{{3, 3}};
const GridLayoutPreset GridLayoutPreset::threeByThree{{3, 3, 3}};

const QList<GridLayoutPreset>& GridLayoutPreset::allCases()
{
    static const QList<GridLayoutPreset> all{oneByOne,          horizontalTwo, oneByTwo,   horizontalThree, twoByTwo,
                                             topTwoBottomThree, twoByThree,    threeByTwo, threeByThree};
    return all;
}

std::optional<GridLayoutPreset> GridLayoutPreset::preset(const QString& presetId)
{
    for (const GridLayoutPreset& p : allCases())
        if (p.id == presetId) return p;
    return std::nullopt;
}

int GridLayoutPreset::capacity() const
{
    return std::accumulate(rows.begin(), rows.end(), 0);
}

QString GridLayoutPreset::displayLabel(bool isJapaneseLocale) const
{
    const int total = capacity();
    if (rows.isEmpty() || total < 2) return tr("1分割");
    const int first = rows.front();
    const bool uniform = std::all_of(rows.begin(), rows.end(), [first](int c) { return c == first; });
    if (uniform) {
        if (rows.size() == 1) return tr("%1分割（横並び）").arg(total);
        if (first == 1) return tr("%1分割（縦並び）").arg(total);
        return tr("%1分割（横%2×縦%3）").arg(total).arg(first).arg(rows.size());
    }
    if (rows.size() == 2) return tr("%1分割（上%2・下%3）").arg(total).arg(rows[0]).arg(rows[1]);
    QStringList counts;
    for (int c : rows) counts << QString::number(c);
    return tr("%1分割（上から%2）").arg(total).arg(counts.join(isJapaneseLocale ? QStringLiteral("・") : QStringLiteral(", ")));
}

} // namespace brisvane
