#pragma once

#include "app/Models/Calendar.hpp"
#include "app/Models/PlanUsageSummary.hpp"
#include "app/Models/UsageSummary.hpp"

#include <QAbstractButton>
#include <QColor>
#include <QDateTime>

#include <optional>

namespace brisvane {

class PopoverFrame;

// How close one window of the plan is to its limit.
enum class PlanUsageLevel {
    normal,   // below 70 %
    high,     // 70 % up to below 90 %
    critical, // 90 % and above, or no number
};

PlanUsageLevel planUsageLevel(double usedPercentage);

// A short capsule bar: the track, and the fill for the percentage (empty at 0 or below, full at
// 100 or above).
class GaugeBar final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 44;
    static constexpr int kHeight = 6;

    GaugeBar(double percentage, QColor color, QWidget* parent = nullptr);

    double percentage() const { return percentage_; }
    QColor color() const { return color_; }
    // The filled share of the bar, 0 ... 1.
    double fillFraction() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double percentage_;
    QColor color_;
};

// The first strip of the top bar: the plan's five-hour and seven-day windows, each with a bar,
// its percentage and when it resets, and optionally today's tokens and cost. The whole strip is
// one button that opens a popover with the exact reset times and the usage meter. It shows the
// values it was last given and changes nothing.
class PlanUsageGaugeView final : public QAbstractButton {
    Q_OBJECT
public:
    struct Values {
        std::optional<PlanUsageSummary> planUsage;
        UsageSummary tokenUsageSummary;
        // The countdown's reference time.
        QDateTime now;
        Calendar calendar;
        bool isInlineCostDisplayEnabled = false;
        bool isJapaneseLocale = true;
    };

    explicit PlanUsageGaugeView(QWidget* parent = nullptr);

    // Rebuilds the strip (and an open popover) from the values.
    void setValues(Values values);
    const Values& values() const { return values_; }

    bool isShowingPopover() const { return isShowingPopover_; }
    PopoverFrame& popover() const { return *popover_; }

    // The strip's texts in order, for reading it without looking.
    QStringList stripTexts() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void rebuildStrip();
    void openPopover();
    // Builds the popover's content anew from the values.
    void refreshPopover();
    QString accessibilityLabel() const;

    Values values_;
    bool isShowingPopover_ = false;
    PopoverFrame* popover_;
};

} // namespace brisvane
