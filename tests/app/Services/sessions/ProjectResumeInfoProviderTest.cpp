#include "app/Services/sessions/ProjectResumeInfoProvider.hpp"

#include "tests/app/Printers.hpp"
#include "tests/app/Services/FakeFileSystemReader.hpp"

#include <gtest/gtest.h>

using namespace brisvane;

TEST(ProjectResumeInfoProvider, DatesTheLatestTranscript)
{
    test::FakeFileSystemReader fileSystem;
    const QString projects = "/h/.claude/projects";
    const QString folder = projects + QString::fromUtf8("/-h-my-app-v2");
    const QDateTime base = QDateTime::fromMSecsSinceEpoch(1'700'000'000'000, Qt::UTC);
    fileSystem.setListing(folder, {"a.jsonl", "b.jsonl", "notes.txt", "c.jsonl", "d.jsonl"});
    fileSystem.setFile(folder + "/a.jsonl", {}, base);
    fileSystem.setFile(folder + "/b.jsonl", {}, base.addSecs(60));
    fileSystem.setFile(folder + "/notes.txt", {}, base.addSecs(600));
    fileSystem.setError(folder + "/c.jsonl", FileSystemReadingError::Kind::permissionDenied);
    fileSystem.setFile(folder + "/d.jsonl", {}, base.addSecs(30));

    // The folder is named by the agent's rule: "_" and "." become "-".
    EXPECT_EQ(ProjectResumeInfoProvider::lastConversationDate("/h/my_app.v2", projects, fileSystem), base.addSecs(60));
    EXPECT_EQ(ProjectResumeInfoProvider::lastConversationDate("/h/other", projects, fileSystem), std::nullopt);
    fileSystem.setListing(projects + "/-h-empty", {"notes.txt"});
    EXPECT_EQ(ProjectResumeInfoProvider::lastConversationDate("/h/empty", projects, fileSystem), std::nullopt);
}
