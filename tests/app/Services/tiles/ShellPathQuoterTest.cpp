#include "app/Services/tiles/ShellPathQuoter.hpp"

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

TEST(ShellPathQuoterTest, ADropWithAControlCharacterInAnyPathTypesNothing)
{
    // The shell's line editor acts on these even inside quotes.
    for (const char16_t control : {u'\x03', u'\x15', u'\x1b', u'\r', u'\n', u'\t', u'\x7f', u'\x85', u'\x9b'}) {
        SCOPED_TRACE(int(control));
        const QString bad = QStringLiteral("/tmp/a") + QChar(control) + QStringLiteral("b");
        EXPECT_EQ(ShellPathQuoter::insertionText({"/tmp/fine.txt", bad}), std::nullopt);
    }
    EXPECT_EQ(ShellPathQuoter::insertionText({"/tmp/it's here.txt", "/tmp/\u65E5\u672C.md"}),
              R"('/tmp/it'\''s here.txt' '/tmp/日本.md')");
    EXPECT_EQ(ShellPathQuoter::insertionText({}), "");
}
