#include "app/Models/ReadingDictionary.hpp"

#include "tests/app/AnnouncementPrinters.hpp"

#include <gtest/gtest.h>

using namespace brisvane;

namespace {

ReadingEntry entry(const char* projectName, const char* reading)
{
    return {QUuid::createUuid(), QString::fromUtf8(projectName), QString::fromUtf8(reading)};
}

} // namespace

TEST(ReadingDictionary, LookupTakesTheFirstCompleteEntryWithTheExactName)
{
    const ReadingDictionary dictionary{{
        entry("", "なし"),
        entry("app", ""),
        entry("app", "アップ"),
        entry("app", "アプリ"),
        entry("日本語", "にほんご"),
    }};
    struct Case {
        const char* name;
        std::optional<QString> reading;
    };
    const Case cases[] = {
        // The empty reading above does not hide the complete entry after it.
        {"app", QString::fromUtf8("アップ")},
        {"App", std::nullopt},
        {"日本語", QString::fromUtf8("にほんご")},
        {"", std::nullopt},
        {"app ", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(dictionary.reading(QString::fromUtf8(c.name)), c.reading) << c.name;
    }
}

TEST(ReadingDictionary, TheBuiltInDictionaryReadsTheProductName)
{
    const ReadingDictionary& builtIn = ReadingDictionary::builtIn();
    ASSERT_EQ(builtIn.entries.size(), 1);
    EXPECT_EQ(builtIn.reading("Brisvane"), QString::fromUtf8("ブリスベイン"));
    EXPECT_EQ(builtIn.reading("brisvane"), std::nullopt);
    EXPECT_FALSE(builtIn.entries.front().id.isNull());
    // One id for the whole run.
    EXPECT_EQ(ReadingDictionary::builtIn().entries.front().id, builtIn.entries.front().id);
}
