#pragma once

#include <QDateTime>
#include <QMap>
#include <QString>

namespace brisvane {

// The names in the sessions folder with their modification times: what the watcher compares
// between two scans.
struct SessionDirectorySnapshot {
    QMap<QString, QDateTime> modificationDatesByFileName;

    friend bool operator==(const SessionDirectorySnapshot&, const SessionDirectorySnapshot&) = default;
};

} // namespace brisvane
