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

} // namespace FocusedTileResolver

} // namespace brisvane
