#include "app/Services/platform/LocalFileSystemWriter.hpp"

#include "tests/app/AgentHome.hpp"
#include "tests/app/Printers.hpp"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>

using namespace brisvane;
using Kind = FileSystemWritingError::Kind;

namespace {

class LocalFileSystemWriterTest : public testing::Test {
protected:
    QString path(const char* name) const { return dir.path() + u'/' + QString::fromUtf8(name); }
    QStringList entries() const { return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot); }
    static mode_t mode(const QString& path)
    {
        struct stat info {};
        ::stat(QFile::encodeName(path).constData(), &info);
        return info.st_mode & 07777;
    }

    QTemporaryDir dir;
    LocalFileSystemWriter writer;
};

// Makes every write beyond `bytes` fail with EFBIG for the lifetime of the object.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit saved_{};
    void (*previousHandler_)(int) = nullptr;
};

} // namespace

TEST_F(LocalFileSystemWriterTest, WritesAndReplacesWholeFiles)
{
    EXPECT_TRUE(writer.write("first", path("settings.json")));
    EXPECT_TRUE(writer.write("second, longer", path("settings.json")));
    EXPECT_EQ(test::readFile(path("settings.json")), "second, longer");
    EXPECT_EQ(entries(), QStringList{"settings.json"});
    EXPECT_EQ(writer.write("x", path("missing/settings.json")).error(),
              (FileSystemWritingError{Kind::writeFailed, path("missing/settings.json")}));
}

TEST_F(LocalFileSystemWriterTest, FailedWriteLeavesTheOldFileWhole)
{
    const QByteArray old = R"({"statusLine":{"command":"old"}})";
    ASSERT_TRUE(writer.write(old, path("settings.json")));
    {
        const FileSizeLimit limit(8);
        EXPECT_EQ(writer.write(QByteArray(4096, 'n'), path("settings.json")).error(),
                  (FileSystemWritingError{Kind::writeFailed, path("settings.json")}));
    }
    EXPECT_EQ(test::readFile(path("settings.json")), old);
    // The temporary file went with the failure.
    EXPECT_EQ(entries(), QStringList{"settings.json"});

    // A folder in the way fails at the rename, and cleans up too.
    QDir().mkdir(path("taken"));
    EXPECT_FALSE(writer.write("x", path("taken")));
    EXPECT_EQ(entries(), QStringList({"settings.json", "taken"}));
}

TEST_F(LocalFileSystemWriterTest, CreatesFoldersAndRemovesItems)
{
    EXPECT_TRUE(writer.createDirectory(path("a/b/c")));
    EXPECT_TRUE(writer.createDirectory(path("a/b/c")));
    EXPECT_TRUE(QFileInfo(path("a/b/c")).isDir());
    ASSERT_TRUE(writer.write("x", path("a/b/c/file")));
    EXPECT_EQ(writer.createDirectory(path("a/b/c/file/d")).error(),
              (FileSystemWritingError{Kind::createDirectoryFailed, path("a/b/c/file/d")}));

    EXPECT_TRUE(writer.removeItem(path("a")));
    EXPECT_FALSE(QFileInfo::exists(path("a")));
    EXPECT_TRUE(writer.removeItem(path("a")));
}

TEST_F(LocalFileSystemWriterTest, ReplacesItemsKeepingTheTargetsMode)
{
    // Onto a missing target: a move.
    ASSERT_TRUE(writer.write("new", path("source")));
    EXPECT_TRUE(writer.replaceItem(path("target"), path("source")));
    EXPECT_EQ(test::readFile(path("target")), "new");
    EXPECT_FALSE(QFileInfo::exists(path("source")));

    // Onto a private file: the content changes, the privacy stays.
    ASSERT_EQ(::chmod(QFile::encodeName(path("target")).constData(), 0600), 0);
    ASSERT_TRUE(writer.write("newer", path("source")));
    ASSERT_EQ(::chmod(QFile::encodeName(path("source")).constData(), 0644), 0);
    EXPECT_TRUE(writer.replaceItem(path("target"), path("source")));
    EXPECT_EQ(test::readFile(path("target")), "newer");
    EXPECT_EQ(mode(path("target")), 0600u);

    EXPECT_EQ(writer.replaceItem(path("target"), path("gone")).error(),
              (FileSystemWritingError{Kind::replaceFailed, path("target")}));
    EXPECT_EQ(test::readFile(path("target")), "newer");
}

TEST_F(LocalFileSystemWriterTest, MakesFilesExecutable)
{
    ASSERT_TRUE(writer.write("#!/bin/sh\n", path("hook.sh")));
    EXPECT_TRUE(writer.setExecutable(path("hook.sh")));
    EXPECT_EQ(mode(path("hook.sh")), 0755u);
    EXPECT_EQ(writer.setExecutable(path("missing")).error(), (FileSystemWritingError{Kind::writeFailed, path("missing")}));
}

TEST_F(LocalFileSystemWriterTest, CreatesNewFilesExclusivelyWithExactPermissions)
{
    const mode_t savedMask = ::umask(077);
    EXPECT_TRUE(writer.createFile("backup", path("a"), 0640));
    EXPECT_EQ(mode(path("a")), 0640u);
    EXPECT_EQ(test::readFile(path("a")), "backup");
    ::umask(022);
    EXPECT_TRUE(writer.createFile("x", path("b"), std::nullopt));
    EXPECT_EQ(mode(path("b")), 0644u);
    ::umask(savedMask);

    // Nothing at the path is ever replaced, not even through a dangling link.
    ASSERT_TRUE(QFile::link("elsewhere", path("link")));
    for (const char* taken : {"a", "link"}) {
        EXPECT_EQ(writer.createFile("new", path(taken), 0600).error(), (FileSystemWritingError{Kind::itemExists, path(taken)}));
    }
    EXPECT_EQ(test::readFile(path("a")), "backup");
    EXPECT_FALSE(QFileInfo::exists(path("elsewhere")));

    EXPECT_EQ(writer.createFile("x", path("missing/c"), 0600).error(), (FileSystemWritingError{Kind::writeFailed, path("missing/c")}));
    {
        const FileSizeLimit limit(8);
        EXPECT_EQ(writer.createFile(QByteArray(4096, 'n'), path("d"), 0600).error(), (FileSystemWritingError{Kind::writeFailed, path("d")}));
    }
    // A failed creation leaves nothing behind (the dangling link is not listed).
    EXPECT_EQ(entries(), QStringList({"a", "b"}));
}
