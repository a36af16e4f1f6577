#include "app/Services/sessions/SessionWatcher.hpp"

#include "app/Services/platform/LocalFileSystemReader.hpp"
#include "tests/EventLoopMarker.hpp"
#include "tests/app/AgentHome.hpp"
#include "tests/app/Printers.hpp"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

using namespace brisvane;

namespace {

// The real reader, counting the scans (one listing each).
class CountingReader final : public FileSystemReading {
public:
    Result<QStringList, FileSystemReadingError> contentsOfDirectory(const QString& path) const override
    {
        ++listings;
        return local.contentsOfDirectory(path);
    }
    Result<QDateTime, FileSystemReadingError> modificationDate(const QString& path) const override
    {
        return local.modificationDate(path);
    }
    Result<FileTail, FileSystemReadingError> readTail(const QString& path, int64_t maxBytes) const override
    {
        return local.readTail(path, maxBytes);
    }
    Result<QByteArray, FileSystemReadingError> readData(const QString& path) const override
    {
        return local.readData(path);
    }
    bool fileExists(const QString& path) const override { return local.fileExists(path); }

    LocalFileSystemReader local;
    mutable int listings = 0;
};

void runEventLoop(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until `done` holds; false after five seconds.
bool waitUntil(const std::function<bool()>& done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > 5000) return false;
        runEventLoop(2);
    }
    return true;
}

void setModificationTime(const QString& path, int64_t seconds)
{
    const timespec times[2] = {{0, UTIME_OMIT}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

class SessionWatcherTest : public testing::Test {
protected:
    static constexpr double kLatency = 0.04;
    static constexpr SessionWatcher::Options kFileEventsOnly{3600.0, kLatency, true};

    QString sessions() const { return root.path() + "/sessions"; }

    void SetUp() override { QDir().mkdir(sessions()); }

    std::unique_ptr<SessionWatcher> makeWatcher(SessionWatcher::Options options)
    {
        auto watcher = std::make_unique<SessionWatcher>(sessions(), reader, options);
        QObject::connect(watcher.get(), &SessionWatcher::sessionEvent,
                         [this](SessionWatcherEvent event) { events.append(event); });
        return watcher;
    }

    // Writes a file outside the folder, dates it, and renames it into place, as the agent does.
    void placeFile(const QString& name, int64_t modified, const QString& folder = {})
    {
        const QString staged = root.path() + "/staged";
        test::writeFile(staged, "{}");
        setModificationTime(staged, modified);
        const QString target = (folder.isEmpty() ? sessions() : folder) + u'/' + name;
        ASSERT_EQ(::rename(QFile::encodeName(staged).constData(), QFile::encodeName(target).constData()), 0);
    }

    qsizetype count(SessionWatcherEvent kind) const { return events.count(kind); }

    // Returns once everything the file changes made so far can bring has come. Their inotify
    // events were queued before the change returned; one pass of the event loop reads them and
    // makes the leading check, and a marker past two latency windows comes after the trailing one.
    [[nodiscard]] static bool fileEventsSettled()
    {
        QCoreApplication::processEvents();
        return waitForEventsDueWithin(int(kLatency * 1000) * 3);
    }

    QTemporaryDir root;
    std::shared_ptr<CountingReader> reader = std::make_shared<CountingReader>();
    QList<SessionWatcherEvent> events;
};

} // namespace

TEST_F(SessionWatcherTest, ReportsEachChangeOnceTheFolderDiffers)
{
    const auto watcher = makeWatcher(kFileEventsOnly);
    watcher->start();
    // The first successful check always differs from nothing.
    watcher->pollNow();
    ASSERT_EQ(events, QList{SessionWatcherEvent::changed});

    const std::function<void()> changes[] = {
        [&] { placeFile("1.json", 1'000); },                                      // created
        [&] { placeFile("1.json", 2'000); },                                      // replaced
        [&] { setModificationTime(sessions() + "/1.json", 3'000); },              // touched
        [&] { placeFile("notes.txt", 1'000); },                                   // any file counts
        [&] { ASSERT_TRUE(QFile::remove(sessions() + "/notes.txt")); },           // removed
    };
    for (size_t i = 0; i < std::size(changes); ++i) {
        SCOPED_TRACE(i);
        const qsizetype before = count(SessionWatcherEvent::changed);
        changes[i]();
        EXPECT_TRUE(waitUntil([&] { return count(SessionWatcherEvent::changed) > before; }));
    }
    ASSERT_TRUE(fileEventsSettled());
    const QList<SessionWatcherEvent> settled = events;
    ASSERT_TRUE(fileEventsSettled());
    EXPECT_EQ(events, settled);

    // A touch that leaves the time as it was is seen, checked, and not reported.
    const int scans = reader->listings;
    setModificationTime(sessions() + "/1.json", 3'000);
    EXPECT_TRUE(waitUntil([&] { return reader->listings > scans; }));
    ASSERT_TRUE(fileEventsSettled());
    EXPECT_EQ(events, settled);
    EXPECT_EQ(count(SessionWatcherEvent::scanFailed), 0);
}

TEST_F(SessionWatcherTest, StartsOnceAndStopsAtOnce)
{
    auto watcher = makeWatcher(kFileEventsOnly);
    watcher->start();
    watcher->start();
    watcher->pollNow();
    ASSERT_EQ(reader->listings, 1);

    // One event, one check: a second start made no second stream.
    placeFile("1.json", 1'000);
    EXPECT_TRUE(waitUntil([&] { return reader->listings == 2; }));
    ASSERT_TRUE(fileEventsSettled());
    EXPECT_EQ(reader->listings, 2);
    EXPECT_EQ(count(SessionWatcherEvent::changed), 2);

    // Stopped: nothing is checked on events and nothing is reported; a poll still checks.
    watcher->stop();
    placeFile("2.json", 1'000);
    ASSERT_TRUE(fileEventsSettled());
    EXPECT_EQ(reader->listings, 2);
    watcher->pollNow();
    EXPECT_EQ(reader->listings, 3);
    EXPECT_EQ(count(SessionWatcherEvent::changed), 2);

    // Started again, it compares with what it saw while stopped.
    watcher->start();
    watcher->pollNow();
    EXPECT_EQ(count(SessionWatcherEvent::changed), 2);
    placeFile("3.json", 1'000);
    EXPECT_TRUE(waitUntil([&] { return count(SessionWatcherEvent::changed) == 3; }));

    // Dropped while running: its notifier and timers go with it.
    watcher.reset();
    placeFile("4.json", 1'000);
    ASSERT_TRUE(fileEventsSettled());
    EXPECT_EQ(count(SessionWatcherEvent::changed), 3);
}

TEST_F(SessionWatcherTest, RemovedFolderIsEmptyAndIsWatchedAgain)
{
    placeFile("1.json", 1'000);
    const auto watcher = makeWatcher(kFileEventsOnly);
    watcher->start();
    watcher->pollNow();
    ASSERT_EQ(count(SessionWatcherEvent::changed), 1);

    // Moved away whole: its sessions are gone, which is one change and no failure.
    const QString away = root.path() + "/away";
    ASSERT_EQ(::rename(QFile::encodeName(sessions()).constData(), QFile::encodeName(away).constData()), 0);
    EXPECT_TRUE(waitUntil([&] { return count(SessionWatcherEvent::changed) == 2; }));
    watcher->pollNow();
    watcher->pollNow();
    EXPECT_EQ(count(SessionWatcherEvent::changed), 2);
    // Changes in the moved folder are no longer this watcher's.
    placeFile("2.json", 1'000, away);
    ASSERT_TRUE(fileEventsSettled());
    EXPECT_EQ(count(SessionWatcherEvent::changed), 2);

    // Made again: the next check finds its file, and watches the folder again.
    QDir().mkdir(sessions());
    placeFile("1.json", 1'000);
    watcher->pollNow();
    EXPECT_EQ(count(SessionWatcherEvent::changed), 3);
    placeFile("3.json", 1'000);
    EXPECT_TRUE(waitUntil([&] { return count(SessionWatcherEvent::changed) == 4; }));
    EXPECT_EQ(count(SessionWatcherEvent::scanFailed), 0);
}

// A new user: neither the sessions folder nor the agent's home exists. The first check reports
// the empty folder as a change (the first one always is), not a failure; once the agent makes
// the folder and writes a session, the poll finds it and file events follow.
TEST_F(SessionWatcherTest, AFolderMadeAfterStartIsWatched)
{
    for (const char* missing : {"sessions", ""}) {
        SCOPED_TRACE(missing);
        QDir(sessions()).removeRecursively();
        const QString home = root.path() + "/.claude";
        QDir(home).removeRecursively();
        const QString folder = home + "/sessions";
        if (*missing) QDir().mkpath(home); // only the sessions folder is missing
        events.clear();
        auto watcher = std::make_unique<SessionWatcher>(folder, reader, SessionWatcher::Options{0.05, kLatency, true});
        QObject::connect(watcher.get(), &SessionWatcher::sessionEvent,
                         [this](SessionWatcherEvent event) { events.append(event); });
        watcher->start();
        watcher->pollNow();
        EXPECT_EQ(events, QList{SessionWatcherEvent::changed});

        QDir().mkpath(folder);
        placeFile("1.json", 1'000, folder);
        EXPECT_TRUE(waitUntil([&] { return count(SessionWatcherEvent::changed) == 2; }));
        // From now on file events: a poll an hour away would not see the next one in time.
        watcher.reset();
        events.clear();
        watcher = std::make_unique<SessionWatcher>(folder, reader, kFileEventsOnly);
        QObject::connect(watcher.get(), &SessionWatcher::sessionEvent,
                         [this](SessionWatcherEvent event) { events.append(event); });
        watcher->start();
        watcher->pollNow();
        placeFile("2.json", 1'000, folder);
        EXPECT_TRUE(waitUntil([&] { return count(SessionWatcherEvent::changed) == 2; }));
        EXPECT_EQ(count(SessionWatcherEvent::scanFailed), 0);
    }
}

// A path that is there but cannot be listed is still a failure, at every check.
TEST_F(SessionWatcherTest, APathThatCannotBeListedFailsEachCheck)
{
    QDir(sessions()).removeRecursively();
    test::writeFile(sessions(), "not a folder");
    const auto watcher = makeWatcher(kFileEventsOnly);
    watcher->start();
    watcher->pollNow();
    watcher->pollNow();
    EXPECT_EQ(events, (QList{SessionWatcherEvent::scanFailed, SessionWatcherEvent::scanFailed}));
}

TEST_F(SessionWatcherTest, PollAloneNoticesChangesAndFailures)
{
    const auto watcher = makeWatcher({0.02, kLatency, false});
    watcher->start();
    EXPECT_TRUE(waitUntil([&] { return count(SessionWatcherEvent::changed) == 1; }));
    placeFile("1.json", 1'000);
    EXPECT_TRUE(waitUntil([&] { return count(SessionWatcherEvent::changed) == 2; }));

    // A folder that goes is an empty one: one change, then quiet.
    QDir(sessions()).removeRecursively();
    EXPECT_TRUE(waitUntil([&] { return count(SessionWatcherEvent::changed) == 3; }));
    // A path there but not listable fails at every poll.
    test::writeFile(sessions(), "not a folder");
    EXPECT_TRUE(waitUntil([&] { return count(SessionWatcherEvent::scanFailed) >= 3; }));
    EXPECT_EQ(count(SessionWatcherEvent::changed), 3);
}
