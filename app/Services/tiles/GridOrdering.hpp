#pragma once

#include "app/Models/GridTile.hpp"

#include <QList>
#include <QStringList>

namespace brisvane {

// The user's drag order of grid tiles, by id. It may name tiles that are gone and
// "new-session"; both are harmless.
struct GridOrdering {
    QStringList orderedIds;

    // The tiles in display order: the ordered ones first, then the rest as given, the
    // new-terminal tile always last.
    QList<GridTile> sorted(const QList<GridTile>& items) const;
    // The ordering with the ids of tiles it does not know yet added at its end, in item order.
    GridOrdering registeringUnknownIds(const QList<GridTile>& items) const;
    // `ids` with `id` moved just before `beforeId` (to the end when that is absent).
    static GridOrdering moving(const QString& id, const QString& beforeId, const QStringList& ids);

    friend bool operator==(const GridOrdering&, const GridOrdering&) = default;
};

// Consecutive pages of `capacity` tiles; only the last may be shorter.
namespace GridPaginator {
QList<QList<GridTile>> paginate(const QList<GridTile>& items, int capacity);
}

} // namespace brisvane
