#pragma once

#include "app/Models/Calendar.hpp"
#include "app/Models/UsageSummary.hpp"

#include <QWidget>

#include <optional>

class QLabel;

namespace brisvane {

// One line of token usage and estimated cost for today, this week and all time, with a caption
// saying where the figures come from. Shown in the plan-usage popover.
class UsageMeterView final : public QWidget {
    Q_OBJECT
public:
    explicit UsageMeterView(UsageSummary summary, Calendar calendar = Calendar::current(), QWidget* parent = nullptr);

    const UsageSummary& summary() const { return summary_; }
    // The background's corners are rounded by this much (the popover clips the meter so).
    void setCornerRadius(double radius);

    // The texts shown, for those who read the meter without looking at it.
    QString lineText() const;
    std::optional<QString> captionText() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString periodText(const QString& label, const UsagePeriodSummary& period) const;

    UsageSummary summary_;
    Calendar calendar_;
    double cornerRadius_ = 0;
    QList<QLabel*> lineLabels_;
};

} // namespace brisvane
