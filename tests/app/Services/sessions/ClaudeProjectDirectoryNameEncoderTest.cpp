#include "app/Services/sessions/ClaudeProjectDirectoryNameEncoder.hpp"

#include "tests/app/Printers.hpp"

#include <gtest/gtest.h>

using namespace brisvane;

TEST(ClaudeProjectDirectoryNameEncoder, NamesFoldersAsTheAgentDoes)
{
    const QString longPath =
        "/home/user/" + QString("very-long-folder-name/").repeated(9) + QString::fromUtf8("プロジェクト");
    const struct {
        QString cwd;
        QString expected;
    } cases[] = {
        // The folders the agent made in the fixture home.
        {"/home/user/work/my_proj.v2", "-home-user-work-my-proj-v2"},
        {QString::fromUtf8("/home/user/work/日本語"), "-home-user-work----"},
        {"/Users/a/my_app.web", "-Users-a-my-app-web"},
        {"/Users/a/My Project (2)", "-Users-a-My-Project--2-"},
        {QString::fromUtf8("/w/a😀b"), "-w-a--b"}, // one per UTF-16 unit
        {"", ""},
        {"/" + QString(199, 'z'), "-" + QString(199, 'z')}, // 200: not cut
        // Over 200: cut, then "-" and the base-36 absolute value of the path's 32-bit hash
        // (negative here, positive for the x's).
        {longPath, "-home-user-" + QString("very-long-folder-name-").repeated(9).left(189) + "-ka3r3c"},
        {"/" + QString(210, 'x'), "-" + QString(199, 'x') + "-j91wtr"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cwd.toStdString());
        EXPECT_EQ(ClaudeProjectDirectoryNameEncoder::encode(c.cwd), c.expected);
    }
}
