#include "app/Services/platform/LocalPathExistenceChecker.hpp"

#include "tests/app/AgentHome.hpp"
#include "tests/app/Printers.hpp"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace brisvane;

TEST(LocalPathExistenceChecker, TellsFilesFromFolders)
{
    QTemporaryDir dir;
    test::writeFile(dir.path() + "/file", "x");
    ASSERT_EQ(::symlink(QFile::encodeName(dir.path()).constData(), QFile::encodeName(dir.path() + "/link").constData()), 0);
    const LocalPathExistenceChecker checker;
    const struct {
        QString path;
        bool exists;
        bool isDirectory;
    } cases[] = {
        {dir.path() + "/file", true, false},
        {dir.path(), true, true},
        {dir.path() + "/link", true, true}, // followed
        {dir.path() + "/missing", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        bool isDirectory = false;
        EXPECT_EQ(checker.fileExists(c.path, &isDirectory), c.exists);
        EXPECT_EQ(isDirectory, c.isDirectory);
    }
    EXPECT_TRUE(checker.fileExists(dir.path()));
}
