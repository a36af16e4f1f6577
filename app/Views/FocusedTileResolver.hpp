#pragma once

#include <QMap>
#include <QUuid>

#include <optional>

class QWidget;

namespace brisvane {

// Which terminal tile holds the keyboard focus.
namespace FocusedTileResolver {

// The tile whose terminal view is the focus widget or one of its ancestors; none without one.
std::optional<QUuid> resolve(const QWidget* responder, const QMap<QUuid, QWidget*>& terminalViews);
// The tile whose terminal widget holds the application's keyboard focus.
std::optional<QUuid> focusedTerminalTile();

} // namespace FocusedTileResolver

} // namespace brisvane
