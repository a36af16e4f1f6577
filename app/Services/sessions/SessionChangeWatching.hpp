#pragma once

#include "app/Models/SessionWatcherEvent.hpp"

#include <QObject>

namespace brisvane {

// How the dashboard model hears of changes in the agent's sessions folder. Lives on the GUI
// thread; its events are the `sessionEvent` signal.
class SessionChangeWatching : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // Starts watching. Calling it again while watching changes nothing.
    virtual void start() = 0;
    // Stops every source before it returns: no event follows until the next start.
    virtual void stop() = 0;
    // Checks the folder at once (the application became active).
    virtual void pollNow() = 0;

signals:
    void sessionEvent(brisvane::SessionWatcherEvent event);
};

} // namespace brisvane
