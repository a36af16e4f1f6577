#include "app/ViewModels/DashboardPages.hpp"

#include "app/Services/tiles/DashboardStores.hpp"

#include <algorithm>

namespace brisvane {

namespace {

const QString kGridOrderedIdsKey = QStringLiteral("Brisvane.gridOrderedIds");

} // namespace

DashboardPages::DashboardPages(std::shared_ptr<Preferences> store) : store_(std::move(store))
{
    layoutPreset_ = GridLayoutStore::load(*store_);
    ordering_ = GridOrdering{store_->stringListValue(kGridOrderedIdsKey).value_or(QStringList())};
}

bool DashboardPages::setLayoutPreset(const GridLayoutPreset& preset)
{
    if (preset == layoutPreset_) return false;
    layoutPreset_ = preset;
    return true;
}

void DashboardPages::setOrdering(GridOrdering ordering)
{
    ordering_ = std::move(ordering);
    store_->setValue(kGridOrderedIdsKey, ordering_.orderedIds);
}

QList<QList<GridTile>> DashboardPages::pages(const QList<GridTile>& tiles) const
{
    return GridPaginator::paginate(ordering_.sorted(tiles), std::max(layoutPreset_.capacity(), 1));
}

int DashboardPages::currentPageIndex(const QList<GridTile>& tiles) const
{
    const qsizetype count = pages(tiles).size();
    return int(std::clamp<qsizetype>(pageIndexRaw_, 0, std::max<qsizetype>(count - 1, 0)));
}

bool DashboardPages::nextPage(const QList<GridTile>& tiles)
{
    const int next = pages(tiles).isEmpty() ? 1 : currentPageIndex(tiles) + 1;
    if (next == pageIndexRaw_) return false;
    pageIndexRaw_ = next;
    return true;
}

bool DashboardPages::previousPage(const QList<GridTile>& tiles)
{
    const int previous = pages(tiles).isEmpty() ? -1 : currentPageIndex(tiles) - 1;
    if (previous == pageIndexRaw_) return false;
    pageIndexRaw_ = previous;
    return true;
}

} // namespace brisvane
