#include "app/Services/tiles/FilePathDetector.hpp"

#include "tests/app/TerminalTilePrinters.hpp"

#include <gtest/gtest.h>

using namespace brisvane;

TEST(FilePathDetector, EnumeratesTheTokensOfALine)
{
    struct Case {
        const char* name;
        QString line;
        QList<FilePathToken> tokens;
    };
    const Case cases[] = {
        {"empty", "", {}},
        {"blanks only", "  \t ", {}},
        {"home forms", "~ ~/x ~user", {{"~", 0, 1}, {"~/x", 2, 5}, {"~user", 6, 11}}},
        {"extensions up to six characters", "file.abcdef file.abcdefg", {{"file.abcdef", 0, 11}}},
        {"empty extension, empty stem", "file. .bashrc", {}},
        {"upper case passes, punctuation in the extension does not", "report.PDF data.json-old",
         {{"report.PDF", 0, 10}}},
        {"a stem with dots", "archive.tar.gz", {{"archive.tar.gz", 0, 14}}},
        {"a domain is not a file; unknown last labels are", "notes.io tool.dev x.y.z a-.io",
         {{"x.y.z", 18, 23}, {"a-.io", 24, 29}}},
        {"a slash makes anything a path, web addresses included", "https://example.com/a plain example.com/",
         {{"https://example.com/a", 0, 21}, {"example.com/", 28, 40}}},
        {"trailing punctuation stays", "see src/main.rs:12 (docs/a.md)",
         {{"src/main.rs:12", 4, 18}, {"(docs/a.md)", 19, 30}}},
        {"quoted text with a space, one column after the quote", "open 'my file.txt' now",
         {{"my file.txt", 6, 17}}},
        {"empty quotes and an unmatched quote", "\"\" 'abc", {}},
        {"an unmatched quote: the rest reads bare", "'a/b c", {{"a/b", 1, 4}}},
        {"quotes pair left to right", "\"x\" b/c \"y\"", {{"b/c", 4, 7}}},
        {"a quote ends a bare run", "a/b\"c/d\"", {{"a/b", 0, 3}, {"c/d", 4, 7}}},
        // Columns count user-perceived characters: the family emoji and the accented letter
        // (two scalars each or more) are one column each.
        {"grapheme columns", QString::fromUtf8("👨‍👩‍👧 e\u0301/x.md ./日本語"),
         {{QString::fromUtf8("e\u0301/x.md"), 2, 8}, {QString::fromUtf8("./日本語"), 9, 14}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FilePathDetector::enumerateTokens(c.line), c.tokens);
    }
}

TEST(FilePathDetector, DetectsTheTokenUnderAColumn)
{
    const QString quoted = "\"x\" b/c \"y\"";
    struct Case {
        const char* name;
        QString line;
        int column;
        std::optional<FilePathToken> token;
    };
    const Case cases[] = {
        {"inside a bare run", "cat src/a.rs now", 6, FilePathToken{"src/a.rs", 4, 12}},
        {"at its first character", "cat src/a.rs now", 4, FilePathToken{"src/a.rs", 4, 12}},
        {"on a blank", "cat src/a.rs now", 3, std::nullopt},
        {"on a quote", "'a b/c'", 0, std::nullopt},
        {"past the end", "a/b", 3, std::nullopt},
        {"negative", "a/b", -1, std::nullopt},
        {"a bare word that is no path", "hello world", 2, std::nullopt},
        {"inside quotes, spaces included", "open 'my file.txt' now", 10, FilePathToken{"my file.txt", 6, 17}},
        // Detection takes the nearest quote on the left and the next same one on the right.
        {"between two quoted words", quoted, 5, FilePathToken{" b/c ", 3, 8}},
        {"a quoted reading that fails does not fall back", "'ab cd.md 'z", 5, std::nullopt},
        {"no closing quote: the bare run", "'x a/b", 4, FilePathToken{"a/b", 3, 6}},
        {"column 0 has no quote to its left", "a/b 'c'", 0, FilePathToken{"a/b", 0, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FilePathDetector::detectToken(c.line, c.column), c.token);
    }
    // Enumeration of the same line pairs the quotes differently.
    EXPECT_EQ(FilePathDetector::enumerateTokens(quoted), (QList<FilePathToken>{{"b/c", 4, 7}}));
}

TEST(FilePathDetector, TellsDomainsFromFileNames)
{
    EXPECT_EQ(FilePathDetector::knownTopLevelDomains().size(), 47);
    struct Case {
        const char* text;
        bool domain;
        bool fileName;
    };
    const Case cases[] = {
        {"README.md", false, true},   {"main.rs", false, true},     {"notes.io", true, false},
        {"example.COM", true, false}, {"a.b.dev", true, false},     {"x.y.z", false, true},
        {"-a.io", false, true},       {"a..io", false, true},      {"io", false, false},
        {"naïve.txt", false, true},   {"a.tx_t", false, false},     {"a.日本", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const QString text = QString::fromUtf8(c.text);
        EXPECT_EQ(FilePathDetector::looksLikeURLOrDomain(text), c.domain);
        EXPECT_EQ(FilePathDetector::looksLikeBareFilenameWithExtension(text), c.fileName);
    }
}
