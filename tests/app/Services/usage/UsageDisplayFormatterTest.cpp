#include "app/Services/usage/UsageDisplayFormatter.hpp"

#include "tests/app/Dates.hpp"
#include "tests/app/Printers.hpp"

#include <QCoreApplication>
#include <QTranslator>

#include <gtest/gtest.h>

#include <limits>

using namespace brisvane;
using test::at;

namespace {

const Calendar kTokyo(QTimeZone("Asia/Tokyo"));
const Calendar kNewYork(QTimeZone("America/New_York"));
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Stands in for the English translation file: answers the formatter's context only.
class EnglishTranslator final : public QTranslator {
public:
    QString translate(const char* context, const char* sourceText, const char*, int) const override
    {
        if (QByteArray(context) == "UsageDisplayFormatter" && QString::fromUtf8(sourceText) == u"最終更新 %1") {
            return QStringLiteral("Updated %1");
        }
        return {};
    }
    bool isEmpty() const override { return false; }
};

} // namespace

TEST(UsageDisplayFormatter, TokenCounts)
{
    const struct {
        int64_t tokens;
        const char* expected;
    } cases[] = {
        {0, "0 tok"},
        {999, "999 tok"},
        {1000, "1.0K tok"},
        {1234, "1.2K tok"},
        {999'999, "1000.0K tok"},
        {1'000'000, "1.0M tok"},
        {25'500'000, "25.5M tok"},
        {-5, "-5 tok"},
        {-2'000'000, "-2000000 tok"},
        {std::numeric_limits<int64_t>::max(), "9223372036854.8M tok"},
    };
    for (const auto& c : cases) EXPECT_EQ(UsageDisplayFormatter::formatTokenCount(c.tokens), c.expected) << c.tokens;

    EXPECT_EQ(UsageDisplayFormatter::formatTokensWithOptionalCost(1234, 2.5), "1.2K tok ($2.50)");
    EXPECT_EQ(UsageDisplayFormatter::formatTokensWithOptionalCost(1234, 0), "1.2K tok");
    EXPECT_EQ(UsageDisplayFormatter::formatTokensWithOptionalCost(1234, -0.004), "1.2K tok ($-0.00)");
    EXPECT_EQ(UsageDisplayFormatter::formatTokensWithOptionalCost(10, -1.5), "10 tok ($-1.50)");
    EXPECT_EQ(UsageDisplayFormatter::formatTokensWithOptionalCost(10, kNaN), "10 tok ($nan)");
    EXPECT_TRUE(UsageDisplayFormatter::formatTokensWithOptionalCost(10, 1e300).startsWith("10 tok ($1000000000"));
}

TEST(UsageDisplayFormatter, LastUpdatedIsLocalised)
{
    EXPECT_EQ(UsageDisplayFormatter::formatLastUpdated(std::nullopt, kTokyo), std::nullopt);
    // The start of 1 March in Tokyo is still 28 February in New York.
    const QDateTime firstOfMarch = at("2026-03-01T00:00:00+09:00");
    EXPECT_EQ(UsageDisplayFormatter::formatLastUpdated(firstOfMarch, kTokyo), QString::fromUtf8("最終更新 03-01"));
    EXPECT_EQ(UsageDisplayFormatter::formatLastUpdated(firstOfMarch, kNewYork), QString::fromUtf8("最終更新 02-28"));

    EnglishTranslator english;
    ASSERT_TRUE(QCoreApplication::installTranslator(&english));
    EXPECT_EQ(UsageDisplayFormatter::formatLastUpdated(firstOfMarch, kTokyo), "Updated 03-01");
    QCoreApplication::removeTranslator(&english);
}
