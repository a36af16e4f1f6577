#include "app/Services/SessionWatcher.hpp"

#include "app/Services/LocalFileSystemReader.hpp"
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

TEST_F(SessionWatcherTest, RemovedFolderFailsEachCheckAndIsWatchedAgain)
{
    placeFile("1.json", 1'000);
    const auto watcher = makeWatcher(kFileEventsOnly);
    watcher->start();
    watcher->pollNow();

    // Moved away whole: the one event it gives is a failed check.
    const QString away = root.path() + "/away";
    ASSERT_EQ(::rename(QFile::encodeName(sessions()).constData(), QFile::encodeName(away).constData()), 0);
    EXPECT_TRUE(waitUntil([&] { return count(SessionWatcherEvent::scanFailed) == 1; }));
    watcher->pollNow();
    watcher->pollNow();
    EXPECT_EQ(count(SessionWatcherEvent::scanFailed), 3);
    // Changes in the moved folder are no longer this watcher's.
    placeFile("2.json", 1'000, away);
    ASSERT_TRUE(fileEventsSettled());
    EXPECT_EQ(count(SessionWatcherEvent::scanFailed), 3);

    // Made again as it was: the next check finds no difference, and watches the folder again.
    QDir().mkdir(sessions());
    placeFile("1.json", 1'000);
    watcher->pollNow();
    EXPECT_EQ(count(SessionWatcherEvent::changed), 1);
    placeFile("3.json", 1'000);
    EXPECT_TRUE(waitUntil([&] { return count(SessionWatcherEvent::changed) == 2; }));
}

TEST_F(SessionWatcherTest, PollAloneNoticesChangesAndFailures)
{
    const auto watcher = makeWatcher({0.02, kLatency, false});
    watcher->start();
    EXPECT_TRUE(waitUntil([&] { return count(SessionWatcherEvent::changed) == 1; }));
    placeFile("1.json", 1'000);
    EXPECT_TRUE(waitUntil([&] { return count(SessionWatcherEvent::changed) == 2; }));

    QDir(sessions()).removeRecursively();
    EXPECT_TRUE(waitUntil([&] { return count(SessionWatcherEvent::scanFailed) >= 3; }));
    EXPECT_EQ(count(SessionWatcherEvent::changed), 2);
}
