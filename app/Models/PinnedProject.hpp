#pragma once

#include <QString>
#include <QUuid>

namespace brisvane {

// A saved project folder that the user can open in a new tile.
struct PinnedProject {
    QUuid id;
    QString displayName;
    QString path;
    friend bool operator==(const PinnedProject&, const PinnedProject&) = default;
};

} // namespace brisvane
