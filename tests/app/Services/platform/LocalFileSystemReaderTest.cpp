#include "app/Services/platform/LocalFileSystemReader.hpp"

#include "tests/app/AgentHome.hpp"
#include "tests/app/Printers.hpp"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <limits>

#include <cerrno>
#include <cstring>
#include <iterator>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
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
    // Root reads every folder (and CI runs as root): the reading happens in a child that gives up
    // root first. An open folder beside the closed one shows the child reaches the place at all.
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    ASSERT_TRUE(QDir().mkdir(path("open")));
    ASSERT_TRUE(QDir().mkdir(path("closed")));
    ASSERT_EQ(::chmod(QFile::encodeName(path("closed")).constData(), 0), 0);
    const passwd* nobody = ::getpwnam("nobody");
    ASSERT_NE(nobody, nullptr) << "no user nobody to read as";
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nobody->pw_gid;

    enum Outcome { refused = 0, stillRoot, openFolderUnreadable, closedFolderRead, otherError };
    const pid_t child = ::fork();
    ASSERT_GE(child, 0) << std::strerror(errno);
    if (child == 0) {
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0))
            ::_exit(stillRoot);
        if (::geteuid() == 0) ::_exit(stillRoot);
        if (!reader.contentsOfDirectory(path("open"))) ::_exit(openFolderUnreadable);
        const auto closed = reader.contentsOfDirectory(path("closed"));
        if (closed) ::_exit(closedFolderRead);
        ::_exit(closed.error() == FileSystemReadingError{Kind::permissionDenied, path("closed")} ? refused : otherError);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ::chmod(QFile::encodeName(path("closed")).constData(), 0700);
    ASSERT_TRUE(WIFEXITED(status)) << "child ended by signal " << WTERMSIG(status);
    const char* const meanings[] = {"permission denied", "could not give up root", "the open folder was unreadable",
                                    "the closed folder was read", "another error than permission denied"};
    const int outcome = WEXITSTATUS(status);
    ASSERT_LT(outcome, int(std::size(meanings)));
    EXPECT_EQ(outcome, int(refused)) << meanings[outcome];
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

TEST_F(LocalFileSystemReaderTest, StreamsFilesInChunks)
{
    const QByteArray data = hundredBytes();
    test::writeFile(path("file"), data);
    test::writeFile(path("empty"), {});
    auto chunksOf = [this](const char* name, int64_t chunkBytes, int stopAfter = -1) {
        QList<QByteArray> chunks;
        const auto result = reader.readChunks(path(name), chunkBytes, [&](QByteArrayView chunk) {
            chunks.append(chunk.toByteArray());
            return int(chunks.size()) != stopAfter;
        });
        EXPECT_TRUE(result) << name;
        return chunks;
    };
    EXPECT_EQ(chunksOf("file", 30), (QList<QByteArray>{data.mid(0, 30), data.mid(30, 30), data.mid(60, 30), data.mid(90)}));
    EXPECT_EQ(chunksOf("file", 1000), QList<QByteArray>{data});
    EXPECT_EQ(chunksOf("file", 0).size(), 100);
    EXPECT_EQ(chunksOf("file", 30, 1), QList<QByteArray>{data.left(30)});
    EXPECT_TRUE(chunksOf("empty", 30).isEmpty());

    // Not bound by the whole-file cap (a sparse file costs no disk).
    const int fd = ::open(QFile::encodeName(path("big")).constData(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, LocalFileSystemReader::kMaxWholeFileBytes + 1), 0);
    ::close(fd);
    int64_t total = 0;
    ASSERT_TRUE(reader.readChunks(path("big"), 1 << 22, [&](QByteArrayView chunk) {
        total += chunk.size();
        return true;
    }));
    EXPECT_EQ(total, LocalFileSystemReader::kMaxWholeFileBytes + 1);

    ASSERT_EQ(::mkfifo(QFile::encodeName(path("fifo")).constData(), 0600), 0);
    const auto never = [](QByteArrayView) { return true; };
    EXPECT_EQ(reader.readChunks(path("fifo"), 10, never).error(), (FileSystemReadingError{Kind::notRegularFile, path("fifo")}));
    EXPECT_EQ(reader.readChunks(path("missing"), 10, never).error(), (FileSystemReadingError{Kind::fileNotFound, path("missing")}));
}

// A part of a file, read on from where an earlier read stopped, and only from the file expected.
TEST_F(LocalFileSystemReaderTest, ReadsPartsOfTheFileItWasAskedFor)
{
    const QByteArray data = hundredBytes();
    test::writeFile(path("file"), data);
    const auto version = reader.fileVersion(path("file"));
    ASSERT_TRUE(version);
    EXPECT_EQ(version->size, 100);
    const struct {
        const char* label;
        ChunkRange range;
        QByteArray expected;
    } cases[] = {
        {"from an offset", {40, std::numeric_limits<int64_t>::max(), std::nullopt}, data.mid(40)},
        {"at most some bytes", {40, 25, std::nullopt}, data.mid(40, 25)},
        {"from the end", {100, 10, std::nullopt}, {}},
        {"beyond the end", {150, 10, std::nullopt}, {}},
        {"the same file", {90, 100, *version}, data.mid(90)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        QByteArray read;
        const auto opened = reader.readChunks(
            path("file"), 7,
            [&](QByteArrayView chunk) {
                EXPECT_LE(chunk.size(), 7);
                read += chunk.toByteArray();
                return true;
            },
            c.range);
        ASSERT_TRUE(opened);
        EXPECT_EQ(*opened, *version);
        EXPECT_EQ(read, c.expected);
    }

    // Replaced under the same name: another inode, nothing read.
    test::writeFile(path("other"), data);
    ASSERT_TRUE(QFile::remove(path("file")));
    ASSERT_TRUE(QFile::rename(path("other"), path("file")));
    const auto replaced = reader.fileVersion(path("file"));
    ASSERT_TRUE(replaced);
    EXPECT_FALSE(replaced->isSameFile(*version));
    bool called = false;
    const auto refused = reader.readChunks(
        path("file"), 10, [&](QByteArrayView) { return called = true; }, {0, 100, *version});
    EXPECT_EQ(refused.error(), (FileSystemReadingError{Kind::ioFailed, path("file")}));
    EXPECT_FALSE(called);

    // Links are followed to the file read; a folder is no file.
    ASSERT_EQ(::symlink("file", QFile::encodeName(path("link")).constData()), 0);
    EXPECT_EQ(reader.fileVersion(path("link")), replaced);
    EXPECT_EQ(reader.fileVersion(dir.path()).error(), (FileSystemReadingError{Kind::notRegularFile, dir.path()}));
    EXPECT_EQ(reader.fileVersion(path("missing")).error(), (FileSystemReadingError{Kind::fileNotFound, path("missing")}));
}

TEST_F(LocalFileSystemReaderTest, ResolvesSymbolicLinksToWhereAWriteGoes)
{
    test::writeFile(path("dotfiles/settings.json"), "{}");
    QDir().mkdir(path("home"));
    ASSERT_TRUE(QFile::link("../dotfiles/settings.json", path("home/relative")));
    ASSERT_TRUE(QFile::link(path("home/relative"), path("chain")));
    ASSERT_TRUE(QFile::link("missing.json", path("dangling")));
    ASSERT_TRUE(QFile::link("loop-b", path("loop-a")));
    ASSERT_TRUE(QFile::link("loop-a", path("loop-b")));
    const struct {
        const char* name;
        QString expected;
    } cases[] = {
        {"dotfiles/settings.json", path("dotfiles/settings.json")},
        {"missing", path("missing")},
        {"home/relative", path("home/../dotfiles/settings.json")},
        {"chain", path("home/../dotfiles/settings.json")},
        // A link to a file yet to be made: the write makes it there.
        {"dangling", path("missing.json")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto resolved = reader.resolvingSymbolicLinks(path(c.name));
        ASSERT_TRUE(resolved);
        EXPECT_EQ(*resolved, c.expected);
    }
    EXPECT_EQ(reader.resolvingSymbolicLinks(path("loop-a")).error(), (FileSystemReadingError{Kind::ioFailed, path("loop-a")}));
}

TEST_F(LocalFileSystemReaderTest, ReportsPermissionBits)
{
    test::writeFile(path("private"), "secret");
    ASSERT_EQ(::chmod(QFile::encodeName(path("private")).constData(), 0640), 0);
    ASSERT_TRUE(QFile::link(path("private"), path("link")));
    EXPECT_EQ(reader.permissions(path("private")), (Result<int, FileSystemReadingError>(0640)));
    EXPECT_EQ(reader.permissions(path("link")), (Result<int, FileSystemReadingError>(0640)));
    EXPECT_EQ(reader.permissions(path("missing")).error(), (FileSystemReadingError{Kind::fileNotFound, path("missing")}));
}
