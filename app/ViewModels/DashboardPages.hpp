#pragma once

#include "app/Models/GridLayoutPreset.hpp"
#include "app/Models/GridTile.hpp"
#include "app/Services/platform/Preferences.hpp"
#include "app/Services/tiles/GridOrdering.hpp"

#include <memory>

namespace brisvane {

// The grid's layout, the user's tile order (stored) and the page shown. Every operation takes the
// tiles in their unsorted order; the setters say whether anything changed.
class DashboardPages {
public:
    explicit DashboardPages(std::shared_ptr<Preferences> store);

    const GridLayoutPreset& layoutPreset() const { return layoutPreset_; }
    bool setLayoutPreset(const GridLayoutPreset& preset);
    const GridOrdering& ordering() const { return ordering_; }
    // Stores the order.
    void setOrdering(GridOrdering ordering);

    QList<QList<GridTile>> pages(const QList<GridTile>& tiles) const;
    int currentPageIndex(const QList<GridTile>& tiles) const;
    // Neither clamps: every reader does, so a page added later can be shown by an index kept here.
    bool nextPage(const QList<GridTile>& tiles);
    bool previousPage(const QList<GridTile>& tiles);

private:
    std::shared_ptr<Preferences> store_;
    GridLayoutPreset layoutPreset_ = GridLayoutPreset::defaultPreset();
    GridOrdering ordering_;
    int pageIndexRaw_ = 0;
};

} // namespace brisvane
