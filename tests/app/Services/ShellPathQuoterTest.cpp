#include "app/Services/ShellPathQuoter.hpp"

#include "tests/app/Printers.hpp"

#include <gtest/gtest.h>

using namespace brisvane;

TEST(ShellPathQuoterTest, QuotesEachPathForAPosixShell)
{
    const struct {
        QStringList paths;
        QString expected;
    } cases[] = {
        {{}, ""},
        {{"/tmp/it's here.txt"}, R"('/tmp/it'\''s here.txt')"},
        {{"/a b", "/c$d`e`\\n"}, R"('/a b' '/c$d`e`\n')"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected.toStdString());
        EXPECT_EQ(ShellPathQuoter::quoteAll(c.paths), c.expected);
    }
}
