#include "app/Services/tiles/FilePathResolver.hpp"

#include "app/Services/platform/LocalPathExistenceChecker.hpp"
#include "tests/app/TerminalTilePrinters.hpp"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace brisvane;

namespace {

// Answers from a fixed set of paths, and notes every question.
class FakeExistenceChecker final : public PathExistenceChecking {
public:
    FakeExistenceChecker(QSet<QString> files, QSet<QString> folders) : files_(std::move(files)), folders_(std::move(folders)) {}

    bool fileExists(const QString& path, bool* isDirectory) const override
    {
        asked.append(path);
        const bool folder = folders_.contains(path);
        if (!folder && !files_.contains(path)) return false;
        if (isDirectory) *isDirectory = folder;
        return true;
    }

    mutable QStringList asked;

private:
    QSet<QString> files_;
    QSet<QString> folders_;
};

} // namespace

TEST(FilePathResolver, ListsCandidatesInOrder)
{
    struct Case {
        const char* name;
        QString token;
        std::optional<QString> cwd;
        QStringList candidates;
    };
    const Case cases[] = {
        {"absolute: itself only", "/etc/hosts", "/w", {"/etc/hosts"}},
        {"the home folder", "~", "/w", {"/h"}},
        {"under the home folder", "~/a/b", "/w", {"/h/a/b"}},
        {"relative: the shell's folder, the Desktop, Downloads", "a.md", "/w", {"/w/a.md", "/h/Desktop/a.md", "/h/Downloads/a.md"}},
        {"another user's home is just relative text", "~bob/x", "/w", {"/w/~bob/x", "/h/Desktop/~bob/x", "/h/Downloads/~bob/x"}},
        {"unknown shell folder", "a.md", std::nullopt, {"/h/Desktop/a.md", "/h/Downloads/a.md"}},
        {"empty shell folder", "a.md", "", {"/h/Desktop/a.md", "/h/Downloads/a.md"}},
        {"joined as they stand", "../b//c/", "/w/", {"/w//../b//c/", "/h/Desktop/../b//c/", "/h/Downloads/../b//c/"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FilePathResolver::candidatePaths(c.token, c.cwd, "/h"), c.candidates);
    }
}

TEST(FilePathResolver, ResolvesTheFirstCandidateThatExists)
{
    const FakeExistenceChecker checker({"/a/notes.md", "/a/b/same.txt", "/h/Desktop/same.txt", "/h/Desktop/d.txt",
                                        "/h/Downloads/d.txt", "/h/Downloads/only.txt"},
                                       {"/h", "/a/b"});
    struct Case {
        const char* name;
        QString token;
        std::optional<QString> cwd;
        std::optional<ResolvedFilePath> resolved;
    };
    const Case cases[] = {
        {"~ is the home folder", "~", "/a/b", ResolvedFilePath{"/h", true}},
        {"~/ too, standardised", "~/", "/a/b", ResolvedFilePath{"/h", true}},
        {"dot-dot is removed before asking", "../notes.md", "/a/b", ResolvedFilePath{"/a/notes.md", false}},
        {"the shell's folder wins over the Desktop", "same.txt", "/a/b", ResolvedFilePath{"/a/b/same.txt", false}},
        {"unknown folder: the Desktop first", "d.txt", std::nullopt, ResolvedFilePath{"/h/Desktop/d.txt", false}},
        {"then Downloads", "only.txt", "", ResolvedFilePath{"/h/Downloads/only.txt", false}},
        {"an absolute path has no fallback", "/x/same.txt", "/a/b", std::nullopt},
        {"repeated and trailing separators", "/a//b/", std::nullopt, ResolvedFilePath{"/a/b", true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FilePathResolver::resolve(c.token, c.cwd, "/h", checker), c.resolved);
    }

    // One question per candidate, until the first hit.
    checker.asked.clear();
    FilePathResolver::resolve("only.txt", "/a", "/h", checker);
    EXPECT_EQ(checker.asked, (QStringList{"/a/only.txt", "/h/Desktop/only.txt", "/h/Downloads/only.txt"}));
}

TEST(FilePathResolver, WorksOnTheRealDisk)
{
    QTemporaryDir home;
    ASSERT_TRUE(QDir(home.path()).mkpath("Desktop/sub"));
    QFile file(home.path() + "/Desktop/sub/a b.txt");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const LocalPathExistenceChecker checker;
    EXPECT_EQ(FilePathResolver::resolve("sub/a b.txt", std::nullopt, home.path(), checker),
              (ResolvedFilePath{home.path() + "/Desktop/sub/a b.txt", false}));
    EXPECT_EQ(FilePathResolver::resolve("sub", std::nullopt, home.path(), checker),
              (ResolvedFilePath{home.path() + "/Desktop/sub", true}));
}
