#include "app/Models/GridTile.hpp"

#include "app/Models/UuidText.hpp"

namespace brisvane {

QString GridTile::id() const
{
    if (!terminal) return kNewSessionId;
    return QStringLiteral("terminal-") + UuidText::format(terminal->id);
}

} // namespace brisvane
