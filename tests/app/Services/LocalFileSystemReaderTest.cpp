#include "app/Services/LocalFileSystemReader.hpp"

#include "tests/app/AgentHome.hpp"
#include "tests/app/Printers.hpp"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace brisvane;
using Kind = FileSystemReadingError::Kind;

namespace {

class LocalFileSystemReaderTest : public testing::Test {
protected:
    QString path(const char* name) const { return dir.path() + u'/' + QString::fromUtf8(name); }

    QTemporaryDir dir;
    LocalFileSystemReader reader;
};

QByteArray hundredBytes()
{
    QByteArray data;
    for (int i = 0; i < 100; ++i) data.append(char('a' + i % 26));
    return data;
}

} // namespace

TEST_F(LocalFileSystemReaderTest, ReadsTails)
{
    const QByteArray data = hundredBytes();
    test::writeFile(path("file"), data);
    test::writeFile(path("empty"), {});
    const struct {
        const char* name;
        int64_t maxBytes;
        FileTail expected;
    } cases[] = {
        {"file", 65536, {data, false}},
        {"file", 100, {data, false}},
        {"file", 10, {data.right(10), true}},
        {"file", 0, {{}, true}},
        {"file", -5, {{}, true}},
        {"empty", 65536, {{}, false}},
        {"empty", 0, {{}, false}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << " " << c.maxBytes);
        const auto tail = reader.readTail(path(c.name), c.maxBytes);
        ASSERT_TRUE(tail);
        EXPECT_EQ(*tail, c.expected);
    }
    EXPECT_EQ(reader.readTail(path("missing"), 10).error(), (FileSystemReadingError{Kind::fileNotFound, path("missing")}));
}

TEST_F(LocalFileSystemReaderTest, ReadsOnlyRegularFilesAndNeverBlocks)
{
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("fifo.json")).constData(), 0600), 0);
    QDir().mkdir(path("folder.json"));
    QElapsedTimer timer;
    timer.start();
    for (const char* name : {"fifo.json", "folder.json"}) {
        SCOPED_TRACE(name);
        const FileSystemReadingError notRegular{Kind::notRegularFile, path(name)};
        EXPECT_EQ(reader.readData(path(name)).error(), notRegular);
        EXPECT_EQ(reader.readTail(path(name), 10).error(), notRegular);
    }
    EXPECT_LT(timer.elapsed(), 1000);
}

TEST_F(LocalFileSystemReaderTest, CapsWholeFileReads)
{
    test::writeFile(path("small"), "{}");
    EXPECT_EQ(reader.readData(path("small")).value(), "{}");

    // Sparse files: the size costs no disk.
    for (const auto& [name, size] : {std::pair{"atCap", LocalFileSystemReader::kMaxWholeFileBytes},
                                     std::pair{"overCap", LocalFileSystemReader::kMaxWholeFileBytes + 1}}) {
        const int fd = ::open(QFile::encodeName(path(name)).constData(), O_WRONLY | O_CREAT, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, size), 0);
        ::close(fd);
    }
    const auto atCap = reader.readData(path("atCap"));
    ASSERT_TRUE(atCap);
    EXPECT_EQ(atCap->size(), LocalFileSystemReader::kMaxWholeFileBytes);
    EXPECT_EQ(reader.readData(path("overCap")).error(), (FileSystemReadingError{Kind::tooLarge, path("overCap")}));
    // A tail of a big file is fine.
    EXPECT_EQ(reader.readTail(path("overCap"), 4)->data, QByteArray(4, '\0'));
}

TEST_F(LocalFileSystemReaderTest, ListsFoldersWithHiddenNames)
{
    test::writeFile(path("a.json"), "{}");
    test::writeFile(path(".hidden"), "");
    QDir().mkdir(path("sub"));
    auto names = reader.contentsOfDirectory(dir.path());
    ASSERT_TRUE(names);
    QStringList sorted = *names;
    sorted.sort();
    EXPECT_EQ(sorted, QStringList({".hidden", "a.json", "sub"}));

    EXPECT_EQ(reader.contentsOfDirectory(path("missing")).error(), (FileSystemReadingError{Kind::fileNotFound, path("missing")}));
    // A file where a folder belongs is not "missing".
    EXPECT_EQ(reader.contentsOfDirectory(path("a.json")).error(), (FileSystemReadingError{Kind::ioFailed, path("a.json")}));
}

TEST_F(LocalFileSystemReaderTest, MapsSystemErrors)
{
    const QString p = "/p";
    const struct {
        int errorNumber;
        Kind expected;
    } cases[] = {
        {ENOENT, Kind::fileNotFound}, {EACCES, Kind::permissionDenied}, {EPERM, Kind::permissionDenied},
        {EIO, Kind::ioFailed},        {EMFILE, Kind::ioFailed},         {ENOTDIR, Kind::ioFailed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.errorNumber);
        EXPECT_EQ(LocalFileSystemReader::errorFor(c.errorNumber, p), (FileSystemReadingError{c.expected, p}));
    }
}

TEST_F(LocalFileSystemReaderTest, RefusedFolderIsPermissionDenied)
{
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every folder; the mapping is covered above";
    QDir().mkdir(path("closed"));
    ::chmod(QFile::encodeName(path("closed")).constData(), 0);
    EXPECT_EQ(reader.contentsOfDirectory(path("closed")).error(),
              (FileSystemReadingError{Kind::permissionDenied, path("closed")}));
    ::chmod(QFile::encodeName(path("closed")).constData(), 0700);
}

TEST_F(LocalFileSystemReaderTest, ReportsModificationDatesAndExistence)
{
    test::writeFile(path("file"), "x");
    const timespec times[2] = {{0, UTIME_OMIT}, {1'700'000'000, 250'000'000}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path("file")).constData(), times, 0), 0);
    EXPECT_EQ(reader.modificationDate(path("file")).value(), QDateTime::fromMSecsSinceEpoch(1'700'000'000'250, Qt::UTC));
    EXPECT_EQ(reader.modificationDate(path("missing")).error(), (FileSystemReadingError{Kind::fileNotFound, path("missing")}));

    ASSERT_EQ(::symlink("missing", QFile::encodeName(path("dangling")).constData()), 0);
    EXPECT_TRUE(reader.fileExists(path("file")));
    EXPECT_TRUE(reader.fileExists(dir.path()));
    EXPECT_FALSE(reader.fileExists(path("missing")));
    EXPECT_FALSE(reader.fileExists(path("dangling")));
}
