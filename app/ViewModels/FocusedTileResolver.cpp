#include "app/ViewModels/FocusedTileResolver.hpp"

#include <QWidget>

namespace brisvane::FocusedTileResolver {

std::optional<QUuid> resolve(const QWidget* responder, const QMap<QUuid, QWidget*>& terminalViews)
{
    if (!responder) return std::nullopt;
    for (auto it = terminalViews.begin(); it != terminalViews.end(); ++it) {
        const QWidget* view = it.value();
        if (view && (view == responder || view->isAncestorOf(responder))) return it.key();
    }
    return std::nullopt;
}

} // namespace brisvane::FocusedTileResolver
