#include "app/Services/integration/ClaudeMdAnnouncementBlock.hpp"
#include "app/Services/integration/ClaudeMdEditor.hpp"

#include "app/Services/platform/LocalFileSystemReader.hpp"
#include "app/Services/platform/LocalFileSystemWriter.hpp"
#include "tests/app/AgentHome.hpp"
#include "tests/app/HookPrinters.hpp"
#include "tests/app/Printers.hpp"
#include "tests/app/Services/InterceptingFileSystemWriter.hpp"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace brisvane;
using ErrorKind = ClaudeMdEditorError::Kind;

namespace {

const QDateTime kNow(QDate(2026, 12, 9), QTime(8, 55, 16), Qt::UTC);

QString block()
{
    return ClaudeMdAnnouncementBlock::textJapanese();
}

int mode(const QString& path)
{
    struct stat info {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return static_cast<int>(info.st_mode & 07777);
}

class ClaudeMdEditorTest : public testing::Test {
protected:
    QString path() const { return dir.path() + QStringLiteral("/CLAUDE.md"); }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name); }
    ClaudeMdEditor editor(std::shared_ptr<const FileSystemWriting> writer = std::make_shared<LocalFileSystemWriter>()) const
    {
        return ClaudeMdEditor({path(), true}, std::make_shared<LocalFileSystemReader>(), std::move(writer), [] { return kNow; });
    }

    QTemporaryDir dir;
};

} // namespace

TEST(ClaudeMdAnnouncementBlockTest, BlocksAreTheMarkersAroundTheBody)
{
    for (const QString& text : {ClaudeMdAnnouncementBlock::textJapanese(), ClaudeMdAnnouncementBlock::textEnglish()}) {
        const QStringList lines = text.split(u'\n');
        ASSERT_EQ(lines.size(), 11);
        EXPECT_EQ(lines.first(), "<!-- Brisvane:voice-summary:start -->");
        EXPECT_EQ(lines.last(), "<!-- Brisvane:voice-summary:end -->");
        EXPECT_TRUE(lines[5].startsWith(QStringLiteral("【音声】")));
    }
    EXPECT_EQ(ClaudeMdAnnouncementBlock::text(false).split(u'\n')[1], "## Voice summary for Brisvane");
}

TEST(ClaudeMdAnnouncementBlockTest, InsertsOneBlockAtTheEnd)
{
    const QString b = block();
    const struct {
        const char* name;
        QString text;
        QString expected;
        QString expectedAgain; // empty: a second insertion changes nothing
    } cases[] = {
        {"empty", "", b + "\n", {}},
        {"one line and newlines", "line\n\n\n", "line\n\n" + b + "\n", {}},
        // Until the next insertion, whose removal of the block tidies the whole text.
        {"runs of blank lines inside the user's text stay", "  a\n\n\n\nb  \n", "a\n\n\n\nb\n\n" + b + "\n",
         "a\n\nb\n\n" + b + "\n"},
        {"a block in the middle moves to the end", "a\n\n\n" + b + "\n\nb\n\n\nc", "a\n\nb\n\nc\n\n" + b + "\n", {}},
        {"an English block is replaced", "a\n\n" + ClaudeMdAnnouncementBlock::textEnglish() + "\n", "a\n\n" + b + "\n", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString inserted = ClaudeMdAnnouncementBlock::inserting(c.text, true);
        EXPECT_EQ(inserted, c.expected);
        EXPECT_EQ(ClaudeMdAnnouncementBlock::inserting(inserted, true), c.expectedAgain.isEmpty() ? inserted : c.expectedAgain);
    }
}

TEST(ClaudeMdAnnouncementBlockTest, RemovesOnlyAPairedBlock)
{
    const QString b = block();
    const QString start = ClaudeMdAnnouncementBlock::startMarker();
    const QString end = ClaudeMdAnnouncementBlock::endMarker();
    const struct {
        const char* name;
        QString text;
        QString expected;
    } cases[] = {
        {"no block", "a\n\n\nb\n", "a\n\n\nb\n"},
        {"a start marker with no end after it", "a\n" + start + "\nnotes\n", "a\n" + start + "\nnotes\n"},
        {"an end marker before the start", end + "\nnotes\n" + start + "\n", end + "\nnotes\n" + start + "\n"},
        // The orphan start stays, and so does the user's text after it.
        {"an orphan start above a block", "intro\n" + start + "\nmy notes\n\n" + b + "\n",
         "intro\n" + start + "\nmy notes\n"},
        {"the block alone", b + "\n", ""},
        {"a line of spaces is blank, kept when first of its run", "a\n  \n\nb\n\n" + b + "\n", "a\n  \nb\n"},
        {"only the first block goes", "a\n" + b + "\nb\n" + b, "a\n\nb\n" + b + "\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ClaudeMdAnnouncementBlock::removingBlock(c.text), c.expected);
    }
}

TEST_F(ClaudeMdEditorTest, InstallThenUninstallGivesTheUsersFileBack)
{
    const QByteArray original = "# My rules\n\nUse tabs.\nNever push on Fridays.\n";
    test::writeFile(path(), original);
    ASSERT_EQ(::chmod(QFile::encodeName(path()).constData(), 0640), 0);

    ASSERT_TRUE(editor().install());
    EXPECT_EQ(test::readFile(path()), original + "\n" + block().toUtf8() + "\n");
    ASSERT_TRUE(editor().install());
    ASSERT_TRUE(editor().uninstall());
    EXPECT_EQ(test::readFile(path()), original);
    EXPECT_EQ(mode(path()), 0640);

    // One backup per change, never overwritten, as private as the file.
    const QString backup = QStringLiteral("CLAUDE.md.brisvane-backup-20261209T085516Z");
    EXPECT_EQ(files(), QStringList({"CLAUDE.md", backup, backup + "-2"}));
    EXPECT_EQ(test::readFile(dir.path() + u'/' + backup), original);
    EXPECT_EQ(mode(dir.path() + u'/' + backup), 0640);
}

TEST_F(ClaudeMdEditorTest, AMissingFileGetsTheBlockAloneAndNoBackup)
{
    ASSERT_TRUE(editor().uninstall());
    EXPECT_TRUE(files().isEmpty());
    ASSERT_TRUE(editor().install());
    EXPECT_EQ(test::readFile(path()), block().toUtf8() + "\n");
    EXPECT_EQ(files(), QStringList{"CLAUDE.md"});
}

TEST_F(ClaudeMdEditorTest, LeavesAFileItCannotDecodeOrThatChangesMeanwhile)
{
    const QByteArray latin1 = "caf\xe9\n";
    test::writeFile(path(), latin1);
    EXPECT_EQ(editor().install().error(), ClaudeMdEditorError{ErrorKind::readFailed});
    EXPECT_EQ(editor().uninstall().error(), ClaudeMdEditorError{ErrorKind::readFailed});
    EXPECT_EQ(test::readFile(path()), latin1);
    EXPECT_EQ(files(), QStringList{"CLAUDE.md"});

    const QByteArray original = "notes\n";
    const QByteArray edited = "notes, edited in another window\n";
    test::writeFile(path(), original);
    auto writer = std::make_shared<test::InterceptingFileSystemWriter>();
    writer->after = [&](test::InterceptingFileSystemWriter::Operation operation, const QString& written) {
        if (operation == test::InterceptingFileSystemWriter::Operation::createFile && written.contains(".brisvane-tmp-")) {
            test::writeFile(path(), edited);
        }
    };
    EXPECT_EQ(editor(writer).install().error(), ClaudeMdEditorError{ErrorKind::verificationFailed});
    EXPECT_EQ(test::readFile(path()), edited);
    EXPECT_TRUE(QDir(dir.path()).entryList({"*.brisvane-tmp-*"}, QDir::Files | QDir::Hidden).isEmpty());
}

TEST_F(ClaudeMdEditorTest, EditsTheTargetOfASymbolicLink)
{
    const QString target = dir.path() + QStringLiteral("/dotfiles/CLAUDE.md");
    test::writeFile(target, "rules\n");
    ASSERT_TRUE(QFile::link(target, path()));
    ASSERT_TRUE(editor().install());
    EXPECT_TRUE(QFileInfo(path()).isSymLink());
    EXPECT_EQ(test::readFile(target), "rules\n\n" + block().toUtf8() + "\n");
}
