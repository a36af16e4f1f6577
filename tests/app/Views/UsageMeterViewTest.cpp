#include "app/Views/UsageMeterView.hpp"
#include "tests/app/Dates.hpp"
#include "tests/app/Views/LabelTexts.hpp"

#include <QLabel>

#include <gtest/gtest.h>

using namespace brisvane;
using brisvane::test::at;

namespace {

const Calendar kTokyo(QTimeZone("Asia/Tokyo"));

UsagePeriodSummary period(int64_t tokens, double cost, UsageDataSource source,
                          std::optional<QDateTime> lastUpdated = std::nullopt)
{
    return {tokens, cost, source, lastUpdated};
}

} // namespace

TEST(UsageMeterView, NothingToShowSaysSoAndNothingElse)
{
    const UsageMeterView meter(UsageSummary::unavailable(), kTokyo);
    EXPECT_EQ(test::labelTexts(meter), QStringList{"使用量: 取得不可"});
    EXPECT_FALSE(meter.captionText().has_value());
}

TEST(UsageMeterView, LineShowsEveryPeriodWithItsCostAndTheCaptionSaysWhereFiguresCameFrom)
{
    const QDateTime march1 = at("2026-03-01T00:00:00+09:00");
    struct Case {
        const char* name;
        UsageSummary summary;
        QString line;
        std::optional<QString> caption;
    };
    const Case cases[] = {
        {"one period unavailable shows zero tokens and $0.00; cost above a thousand without separator",
         {period(1234, 0.5, UsageDataSource::cache), period(0, 0, UsageDataSource::unavailable),
          period(2'500'000, 1234.5, UsageDataSource::cache, march1)},
         "使用量 今日 1.2K tok ($0.50) | 今週 0 tok ($0.00) | 全期間 2.5M tok ($1234.50)",
         "全期間は最終更新 03-01"},
        {"this week summed from the transcripts",
         {period(10, 0, UsageDataSource::cache), period(999, 0.01, UsageDataSource::selfAggregated),
          period(999, 0.01, UsageDataSource::cache)},
         "使用量 今日 10 tok ($0.00) | 今週 999 tok ($0.01) | 全期間 999 tok ($0.01)", "自前集計で補完済み"},
        {"all from the cache without a date: no caption",
         {period(1, 0, UsageDataSource::cache), period(1, 0, UsageDataSource::cache),
          period(1, 0, UsageDataSource::cache)},
         "使用量 今日 1 tok ($0.00) | 今週 1 tok ($0.00) | 全期間 1 tok ($0.00)", std::nullopt},
        {"both caption parts on one line",
         {period(5, 0, UsageDataSource::selfAggregated), period(5, 0, UsageDataSource::selfAggregated),
          period(5, 0, UsageDataSource::cache, march1)},
         "使用量 今日 5 tok ($0.00) | 今週 5 tok ($0.00) | 全期間 5 tok ($0.00)",
         "自前集計で補完済み・全期間は最終更新 03-01"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const UsageMeterView meter(c.summary, kTokyo);
        EXPECT_EQ(meter.lineText(), c.line);
        EXPECT_EQ(meter.captionText(), c.caption);
        const auto* caption = meter.findChild<QLabel*>("caption");
        ASSERT_EQ(caption != nullptr, c.caption.has_value());
        if (caption) {
            EXPECT_EQ(caption->text(), *c.caption);
        }
    }
}
