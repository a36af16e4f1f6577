#include "app/Views/DashboardStyle.hpp"
#include "app/Views/PlanUsageGaugeView.hpp"
#include "app/Views/PopoverFrame.hpp"
#include "app/Views/UsageMeterView.hpp"
#include "tests/app/Dates.hpp"
#include "tests/app/Views/LabelTexts.hpp"

#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

using namespace brisvane;
using brisvane::test::at;

namespace {

const Calendar kTokyo(QTimeZone("Asia/Tokyo"));
const QDateTime kNow = at("2026-03-01T09:00:00+09:00");
const PlanUsageWindow kFiveHour{43.4, at("2026-03-01T10:30:00+09:00")};
const PlanUsageWindow kSevenDay{71, at("2026-03-02T09:05:00+09:00")}; // a Monday

PlanUsageSummary plan(std::optional<PlanUsageWindow> fiveHour, std::optional<PlanUsageWindow> sevenDay)
{
    return {fiveHour, sevenDay, at("2026-03-01T08:58:00+09:00")};
}

UsageSummary todayUsage()
{
    UsageSummary summary;
    summary.today = {1234, 2.5, UsageDataSource::cache, std::nullopt};
    return summary;
}

PlanUsageGaugeView::Values values(std::optional<PlanUsageSummary> planUsage, bool inlineCost = false)
{
    return {std::move(planUsage), todayUsage(), kNow, kTokyo, inlineCost, true};
}

QColor textColor(const QLabel* label)
{
    return label->palette().color(QPalette::WindowText);
}

const QLabel* labelWithText(const QWidget& widget, const QString& text,
                            Qt::FindChildOptions options = Qt::FindChildrenRecursively)
{
    for (const QLabel* label : widget.findChildren<QLabel*>(QString(), options))
        if (label->text() == text) return label;
    return nullptr;
}

} // namespace

TEST(PlanUsageGaugeView, StripShowsThePresentWindowsInOrderOrTheWaitingText)
{
    const QString waiting = "使用率: 取得待ち（claudeセッションを1度開くと取得されます）";
    const PlanUsageWindow passed{10, at("2026-03-01T08:00:00+09:00")};
    struct Case {
        const char* name;
        PlanUsageGaugeView::Values values;
        QStringList texts;
        QString accessibility;
    };
    const Case cases[] = {
        {"both windows", values(plan(kFiveHour, kSevenDay)),
         {"セッション", "43%", "(1h30mでリセット)", "｜", "週間", "71%", "(月9:05リセット)"},
         "プラン使用率: セッション43%・週間71%"},
        {"five-hour alone", values(plan(kFiveHour, std::nullopt)),
         {"セッション", "43%", "(1h30mでリセット)"}, "プラン使用率: セッション43%"},
        {"seven-day alone", values(plan(std::nullopt, kSevenDay)),
         {"週間", "71%", "(月9:05リセット)"}, "プラン使用率: 週間71%"},
        {"no summary", values(std::nullopt), {waiting}, "プラン使用率: 取得待ち"},
        {"a summary without windows", values(plan(std::nullopt, std::nullopt)), {waiting}, "プラン使用率: 取得待ち"},
        {"inline cost without plan data", values(std::nullopt, true),
         {waiting, "｜", "1.2K tok ($2.50)"}, "プラン使用率: 取得待ち"},
        {"inline cost after the windows", values(plan(kFiveHour, std::nullopt), true),
         {"セッション", "43%", "(1h30mでリセット)", "｜", "1.2K tok ($2.50)"}, "プラン使用率: セッション43%"},
        {"a reset already passed counts down to zero", values(plan(passed, std::nullopt)),
         {"セッション", "10%", "(0mでリセット)"}, "プラン使用率: セッション10%"},
    };
    PlanUsageGaugeView gauge;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        gauge.setValues(c.values);
        EXPECT_EQ(gauge.stripTexts(), c.texts);
        EXPECT_EQ(gauge.accessibleName(), c.accessibility);
        EXPECT_EQ(gauge.findChildren<GaugeBar*>(Qt::FindDirectChildrenOnly).size(),
                  qsizetype(c.values.planUsage && c.values.planUsage->fiveHour) +
                      qsizetype(c.values.planUsage && c.values.planUsage->sevenDay));
    }
}

TEST(PlanUsageGaugeView, LevelsColourBarAndPercentage)
{
    using namespace DashboardStyle;
    struct Case {
        double percentage;
        PlanUsageLevel level;
        QColor bar;
        QColor stripText;
        QColor popoverText;
    };
    const Case cases[] = {
        {0, PlanUsageLevel::normal, accent(), primaryText(), accent()},
        {69.9, PlanUsageLevel::normal, accent(), primaryText(), accent()},
        {70, PlanUsageLevel::high, yellow(), yellow(), yellow()},
        {89.9, PlanUsageLevel::high, yellow(), yellow(), yellow()},
        {90, PlanUsageLevel::critical, red(), red(), red()},
        {250, PlanUsageLevel::critical, red(), red(), red()},
        {std::nan(""), PlanUsageLevel::critical, red(), red(), red()},
    };
    PlanUsageGaugeView gauge;
    gauge.resize(900, 40);
    gauge.show();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.percentage);
        EXPECT_EQ(planUsageLevel(c.percentage), c.level);
        gauge.setValues(values(plan(PlanUsageWindow{c.percentage, kFiveHour.resetsAt}, std::nullopt)));
        const auto* bar = gauge.findChild<GaugeBar*>();
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ(bar->color(), c.bar);
        const QStringList texts = gauge.stripTexts();
        ASSERT_EQ(texts.size(), 3);
        EXPECT_EQ(textColor(labelWithText(gauge, texts[1], Qt::FindDirectChildrenOnly)), c.stripText);

        QTest::mouseClick(&gauge, Qt::LeftButton, {}, QPoint(400, 20));
        ASSERT_TRUE(gauge.popover().isPresented());
        const QLabel* detail = labelWithText(gauge.popover(), texts[1]);
        ASSERT_NE(detail, nullptr);
        EXPECT_EQ(textColor(detail), c.popoverText);
        gauge.popover().dismiss();
    }
}

TEST(PlanUsageGaugeView, BarFillsBetweenEmptyAndFull)
{
    const std::pair<double, double> cases[] = {{-5, 0}, {0, 0}, {25, 0.25}, {100, 1}, {180, 1}, {std::nan(""), 0}};
    for (const auto& [percentage, fraction] : cases) {
        const GaugeBar bar(percentage, Qt::red);
        EXPECT_DOUBLE_EQ(bar.fillFraction(), fraction) << percentage;
        EXPECT_EQ(bar.size(), QSize(GaugeBar::kWidth, GaugeBar::kHeight));
    }
    // Drawn: an empty bar shows only the track, a full one the fill to its right end.
    for (const auto& [percentage, filled] : {std::pair{0.0, false}, std::pair{100.0, true}}) {
        GaugeBar bar(percentage, QColor(255, 0, 0));
        const QColor pixel = bar.grab().toImage().pixelColor(GaugeBar::kWidth - 4, 3);
        EXPECT_EQ(pixel.red() > 200 && pixel.green() < 60, filled) << percentage;
    }
}

TEST(PlanUsageGaugeView, ClickOpensThePopoverWithTheDetailsAndTheUsageMeter)
{
    PlanUsageGaugeView gauge;
    gauge.setValues(values(plan(kFiveHour, kSevenDay)));
    gauge.resize(900, 40);
    gauge.show();
    EXPECT_FALSE(gauge.isShowingPopover());
    // Anywhere on the strip, empty space included.
    QTest::mouseClick(&gauge, Qt::LeftButton, {}, QPoint(880, 20));
    EXPECT_TRUE(gauge.isShowingPopover());
    ASSERT_TRUE(gauge.popover().isPresented());
    const auto* meter = gauge.popover().findChild<UsageMeterView*>();
    ASSERT_NE(meter, nullptr);
    EXPECT_EQ(meter->summary(), todayUsage());
    QStringList expected{"プラン使用率", "セッション（5時間）", "43%", "リセット: 03-01 10:30",
                         "週間（7日）", "71%", "リセット: 月9:05 (03-02 09:05)", "データ最終更新: 03-01 08:58",
                         "トークン使用量"};
    EXPECT_EQ(test::labelTexts(gauge.popover()).mid(0, expected.size()), expected);
    EXPECT_EQ(gauge.popover().findChildren<QWidget*>("divider").size(), 1);

    // The model changed while it is open: the popover follows.
    gauge.setValues(values(std::nullopt));
    const QStringList noData = test::labelTexts(gauge.popover());
    ASSERT_GE(noData.size(), 3);
    EXPECT_EQ(noData.mid(0, 3),
              (QStringList{"プラン使用率",
                           "使用率データはまだ取得されていません。claudeセッションを1つ開くと、数分以内に取得されます。",
                           "トークン使用量"}));
    EXPECT_FALSE(noData.join("").contains("データ最終更新"));

    // Closed the platform's way: the flag follows.
    gauge.popover().dismiss();
    EXPECT_FALSE(gauge.isShowingPopover());
}
