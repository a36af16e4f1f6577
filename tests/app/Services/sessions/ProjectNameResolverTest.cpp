#include "app/Services/sessions/ProjectNameResolver.hpp"

#include "tests/app/Printers.hpp"

#include <gtest/gtest.h>

using namespace brisvane;

TEST(ProjectNameResolver, LabelsByFolderAndSessionName)
{
    const QString unknown = QString::fromUtf8("不明なプロジェクト");
    const std::optional<QString> none;
    const struct {
        std::optional<QString> cwd;
        std::optional<QString> name;
        ProjectDisplayName expected;
    } cases[] = {
        {"/home/user/work/my_proj.v2", "my-proj-v2-74", {"my_proj.v2", "my-proj-v2-74", false}},
        {"/Users/a/app/", none, {"app", none, false}},
        {"/Users/a/app//", "app", {"app", none, false}}, // the name says nothing new
        {"  /Users/a/app \n", "  fix bug\t", {"app", "fix bug", false}},
        {"/Users/a/app", "   ", {"app", none, false}},
        {QString::fromUtf8("/home/user/work/日本語"), "claude-a0", {QString::fromUtf8("日本語"), "claude-a0", false}},
        {"relative", none, {"relative", none, false}},
        // No folder: the name, or the fallback; either way a fallback.
        {"/", "session", {"session", none, true}},
        {"//", none, {unknown, none, true}},
        {"   ", none, {unknown, none, true}},
        {none, none, {unknown, none, true}},
        {none, " named ", {"named", none, true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cwd.value_or("<none>").toStdString() + " / " + c.name.value_or("<none>").toStdString());
        EXPECT_EQ(ProjectNameResolver::resolve(c.cwd, c.name), c.expected);
    }
}
