#include "app/Views/FocusedTileResolver.hpp"

#include "app/Views/BrisvaneTerminalView.hpp"
#include "app/Views/TerminalTileView.hpp"

#include <QApplication>
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

std::optional<QUuid> focusedTerminalTile()
{
    const QWidget* responder = QApplication::focusWidget();
    // The tile around the focus widget; its header's controls do not count, its terminal does.
    for (const QWidget* widget = responder; widget; widget = widget->parentWidget()) {
        if (const auto* tile = qobject_cast<const TerminalTileView*>(widget)) {
            QMap<QUuid, QWidget*> views;
            if (tile->terminalView()) views.insert(tile->tile().id, tile->terminalView());
            return resolve(responder, views);
        }
    }
    return std::nullopt;
}

} // namespace brisvane::FocusedTileResolver
