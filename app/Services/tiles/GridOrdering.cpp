#include "app/Services/tiles/GridOrdering.hpp"

#include <QHash>
#include <QSet>

namespace brisvane {

QList<GridTile> GridOrdering::sorted(const QList<GridTile>& items) const
{
    QHash<QString, qsizetype> byId;
    for (qsizetype i = 0; i < items.size(); i++) byId.insert(items[i].id(), i);
    QList<GridTile> result;
    QSet<QString> placed;
    for (const QString& id : orderedIds) {
        if (id == GridTile::kNewSessionId || placed.contains(id)) continue;
        auto it = byId.find(id);
        if (it == byId.end()) continue;
        result.push_back(items[*it]);
        placed.insert(id);
    }
    for (const GridTile& item : items) {
        const QString id = item.id();
        if (id != GridTile::kNewSessionId && !placed.contains(id)) result.push_back(item);
    }
    for (const GridTile& item : items) {
        if (item.id() == GridTile::kNewSessionId) {
            result.push_back(item);
            break;
        }
    }
    return result;
}

GridOrdering GridOrdering::registeringUnknownIds(const QList<GridTile>& items) const
{
    const QSet<QString> known(orderedIds.begin(), orderedIds.end());
    QStringList collected;
    for (const GridTile& item : items) {
        const QString id = item.id();
        if (id == GridTile::kNewSessionId || known.contains(id) || collected.contains(id)) continue;
        collected.push_back(id);
    }
    if (collected.isEmpty()) return *this;
    return {orderedIds + collected};
}

GridOrdering GridOrdering::moving(const QString& id, const QString& beforeId, const QStringList& ids)
{
    if (id == beforeId) return {ids};
    QStringList result;
    for (const QString& each : ids)
        if (each != id) result.push_back(each);
    const qsizetype at = result.indexOf(beforeId);
    if (at < 0) {
        result.push_back(id);
    } else {
        result.insert(at, id);
    }
    return {result};
}

QList<QList<GridTile>> GridPaginator::paginate(const QList<GridTile>& items, int capacity)
{
    QList<QList<GridTile>> pages;
    const qsizetype size = std::max(capacity, 1);
    for (qsizetype start = 0; start < items.size(); start += size) pages.push_back(items.mid(start, size));
    return pages;
}

} // namespace brisvane
