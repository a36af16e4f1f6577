#pragma once

#include <QMetaType>

namespace brisvane {

// What the session watcher reports: the sessions folder differs from the last scan, or it could
// not be listed.
enum class SessionWatcherEvent {
    changed = 0,
    scanFailed = 1,
};

} // namespace brisvane

Q_DECLARE_METATYPE(brisvane::SessionWatcherEvent)
