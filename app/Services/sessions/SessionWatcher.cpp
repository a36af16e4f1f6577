#include "app/Services/sessions/SessionWatcher.hpp"

#include <QFile>
#include <QSocketNotifier>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>

#include <sys/inotify.h>
#include <unistd.h>

namespace brisvane {

namespace {

// Events inside the folder (a rename into place, a write, a touch) and the folder's own end.
constexpr uint32_t kWatchMask = IN_CREATE | IN_DELETE | IN_MODIFY | IN_ATTRIB | IN_MOVED_FROM | IN_MOVED_TO
    | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

// Timer intervals from seconds: at least 1 ms, so that no timer spins, and at most a day.
std::chrono::milliseconds interval(double seconds)
{
    const double milliseconds = std::isnan(seconds) ? 1.0 : std::clamp(seconds * 1000.0, 1.0, 86'400'000.0);
    return std::chrono::milliseconds(static_cast<int64_t>(milliseconds));
}

} // namespace

SessionWatcher::SessionWatcher(QString directoryPath, std::shared_ptr<const FileSystemReading> fileSystem,
                               Options options, QObject* parent)
    : SessionChangeWatching(parent)
    , directoryPath_(std::move(directoryPath))
    , fileSystem_(std::move(fileSystem))
    , options_(options)
{
    pollTimer_.setInterval(interval(options_.pollingInterval));
    connect(&pollTimer_, &QTimer::timeout, this, &SessionWatcher::checkForChanges);
    latencyTimer_.setSingleShot(true);
    latencyTimer_.setInterval(interval(options_.latency));
    connect(&latencyTimer_, &QTimer::timeout, this, &SessionWatcher::handleLatencyEnd);
}

SessionWatcher::~SessionWatcher()
{
    stop();
}

void SessionWatcher::start()
{
    Q_ASSERT(QThread::currentThread() == thread());
    if (running_) return;
    running_ = true;
    if (options_.watchesFileEvents) {
        inotifyDescriptor_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        // Without inotify the poll is the only source, as it is for a missing folder.
        if (inotifyDescriptor_ >= 0) {
            notifier_ = std::make_unique<QSocketNotifier>(inotifyDescriptor_, QSocketNotifier::Read);
            connect(notifier_.get(), &QSocketNotifier::activated, this, &SessionWatcher::readFileEvents);
            armFileEvents();
        }
    }
    pollTimer_.start();
}

void SessionWatcher::stop()
{
    Q_ASSERT(QThread::currentThread() == thread());
    running_ = false;
    pollTimer_.stop();
    latencyTimer_.stop();
    fileEventPending_ = false;
    notifier_.reset();
    if (inotifyDescriptor_ >= 0) ::close(inotifyDescriptor_);
    inotifyDescriptor_ = -1;
    watchDescriptor_ = -1;
}

void SessionWatcher::pollNow()
{
    Q_ASSERT(QThread::currentThread() == thread());
    checkForChanges();
}

void SessionWatcher::armFileEvents()
{
    // Only while started with file events: the descriptor exists then.
    if (inotifyDescriptor_ < 0 || watchDescriptor_ >= 0) return;
    // Fails while the folder is missing; every check tries again.
    watchDescriptor_ = ::inotify_add_watch(inotifyDescriptor_, QFile::encodeName(directoryPath_).constData(), kWatchMask);
}

void SessionWatcher::readFileEvents()
{
    alignas(inotify_event) char buffer[4096];
    bool any = false;
    for (;;) {
        const ssize_t length = ::read(inotifyDescriptor_, buffer, sizeof buffer);
        if (length < 0 && errno == EINTR) continue;
        if (length <= 0) break;
        any = true;
        for (ssize_t offset = 0; offset < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            if (event->wd == watchDescriptor_ && event->wd >= 0) {
                // A moved folder would be followed to its new place: drop the watch; the path is
                // watched again once a check finds a folder there.
                if (event->mask & IN_MOVE_SELF) ::inotify_rm_watch(inotifyDescriptor_, watchDescriptor_);
                if (event->mask & (IN_IGNORED | IN_MOVE_SELF)) watchDescriptor_ = -1;
            }
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    // One check per delivery, however many events it held.
    if (any) handleFileEvent();
}

void SessionWatcher::handleFileEvent()
{
    if (latencyTimer_.isActive()) {
        fileEventPending_ = true;
        return;
    }
    latencyTimer_.start();
    checkForChanges();
}

void SessionWatcher::handleLatencyEnd()
{
    if (!fileEventPending_) return;
    fileEventPending_ = false;
    latencyTimer_.start();
    checkForChanges();
}

void SessionWatcher::checkForChanges()
{
    // Before the listing, so that nothing changed after it goes unseen.
    armFileEvents();
    auto names = fileSystem_->contentsOfDirectory(directoryPath_);
    // A folder the agent has not made yet (it has never run) holds no sessions: nothing failed.
    // The poll finds it once it is there and file events follow from then on.
    if (!names && names.error().isNotFound()) names = QStringList();
    if (!names) {
        if (running_) emit sessionEvent(SessionWatcherEvent::scanFailed);
        return;
    }
    SessionDirectorySnapshot snapshot;
    for (const QString& name : *names) {
        // A file removed between the listing and here is left out; its absence is a change.
        if (const auto date = fileSystem_->modificationDate(directoryPath_ + u'/' + name)) {
            snapshot.modificationDatesByFileName.insert(name, *date);
        }
    }
    if (lastSnapshot_ == snapshot) return;
    lastSnapshot_ = std::move(snapshot);
    if (running_) emit sessionEvent(SessionWatcherEvent::changed);
}

} // namespace brisvane
