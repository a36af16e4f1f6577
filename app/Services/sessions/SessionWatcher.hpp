#pragma once

#include "app/Models/SessionDirectorySnapshot.hpp"
#include "app/Services/platform/FileSystemReading.hpp"
#include "app/Services/sessions/SessionChangeWatching.hpp"

#include <QString>
#include <QTimer>

#include <memory>
#include <optional>

class QSocketNotifier;

namespace brisvane {

// Watches the agent's sessions folder through inotify, with a slow poll as a safety net for
// missed events. Each check compares the folder's names and modification times with the last
// successful check and emits `changed` only when they differ, `scanFailed` when the folder exists
// and cannot be listed. A missing folder is an empty one. File contents are never read.
//
// The first file event of a burst is checked at once; further events within the latency are
// merged into one check at its end. A folder that is missing at start, or removed and made
// again, is watched again at the next check (the poll makes one).
class SessionWatcher final : public SessionChangeWatching {
    Q_OBJECT

public:
    struct Options {
        double pollingInterval = 10.0; // seconds
        double latency = 0.5;          // seconds
        bool watchesFileEvents = true; // off: the poll and pollNow only
    };

    SessionWatcher(QString directoryPath, std::shared_ptr<const FileSystemReading> fileSystem, Options options,
                   QObject* parent = nullptr);
    // Stops everything: nothing refers to a destroyed watcher.
    ~SessionWatcher() override;

    void start() override;
    void stop() override;
    // Checks even when stopped, keeping the snapshot, but emits only while started.
    void pollNow() override;

private:
    void armFileEvents();
    void readFileEvents();
    void handleFileEvent();
    void handleLatencyEnd();
    void checkForChanges();

    QString directoryPath_;
    std::shared_ptr<const FileSystemReading> fileSystem_;
    Options options_;
    bool running_ = false;
    int inotifyDescriptor_ = -1;
    int watchDescriptor_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    QTimer pollTimer_;
    QTimer latencyTimer_;
    bool fileEventPending_ = false;
    std::optional<SessionDirectorySnapshot> lastSnapshot_;
};

} // namespace brisvane
