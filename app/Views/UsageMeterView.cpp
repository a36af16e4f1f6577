#include "app/Views/UsageMeterView.hpp"

#include "app/Services/usage/UsageDisplayFormatter.hpp"
#include "app/Views/DashboardStyle.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QStringList>
#include <QVBoxLayout>

namespace brisvane {

UsageMeterView::UsageMeterView(UsageSummary summary, Calendar calendar, QWidget* parent)
    : QWidget(parent), summary_(std::move(summary)), calendar_(std::move(calendar))
{
    using namespace DashboardStyle;
    auto* stack = new QVBoxLayout(this);
    stack->setSpacing(2);
    stack->setContentsMargins(16, 8, 16, 8);
    stack->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);

    const auto isUnavailable = [](const UsagePeriodSummary& period) {
        return period.source == UsageDataSource::unavailable;
    };
    if (isUnavailable(summary_.today) && isUnavailable(summary_.thisWeek) && isUnavailable(summary_.allTime)) {
        QLabel* label = makeLabel(tr("使用量: 取得不可"), DashboardStyle::font(12), secondaryText(), this);
        lineLabels_.append(label);
        stack->addWidget(label);
        return;
    }

    auto* line = new QHBoxLayout;
    line->setSpacing(6);
    const auto add = [&](QLabel* label) {
        lineLabels_.append(label);
        line->addWidget(label, 0, Qt::AlignVCenter);
    };
    add(makeLabel(tr("使用量"), DashboardStyle::font(12, QFont::DemiBold), primaryText(), this));
    add(makeLabel(periodText(tr("今日"), summary_.today), DashboardStyle::font(12), primaryText(), this));
    add(makeLabel(QStringLiteral("|"), DashboardStyle::font(12), tertiaryText(), this));
    add(makeLabel(periodText(tr("今週"), summary_.thisWeek), DashboardStyle::font(12), primaryText(), this));
    add(makeLabel(QStringLiteral("|"), DashboardStyle::font(12), tertiaryText(), this));
    add(makeLabel(periodText(tr("全期間"), summary_.allTime), DashboardStyle::font(12), primaryText(), this));
    line->addStretch(1);
    stack->addLayout(line);

    if (const std::optional<QString> caption = captionText()) {
        QLabel* label = makeLabel(*caption, DashboardStyle::font(10), secondaryText(), this);
        label->setObjectName(QStringLiteral("caption"));
        stack->addWidget(label);
    }
}

void UsageMeterView::setCornerRadius(double radius)
{
    cornerRadius_ = radius;
    update();
}

QString UsageMeterView::lineText() const
{
    QStringList texts;
    for (const QLabel* label : lineLabels_) texts.append(label->text());
    return texts.join(QLatin1Char(' '));
}

std::optional<QString> UsageMeterView::captionText() const
{
    QStringList parts;
    if (summary_.today.source == UsageDataSource::selfAggregated ||
        summary_.thisWeek.source == UsageDataSource::selfAggregated)
        parts.append(tr("自前集計で補完済み"));
    if (const std::optional<QString> lastUpdated =
            UsageDisplayFormatter::formatLastUpdated(summary_.allTime.lastUpdated, calendar_))
        parts.append(tr("全期間は%1").arg(*lastUpdated));
    if (parts.isEmpty()) return std::nullopt;
    return parts.join(QStringLiteral("・"));
}

QString UsageMeterView::periodText(const QString& label, const UsagePeriodSummary& period) const
{
    // The cost shows even when it is 0; no thousands separator.
    return tr("%1 %2 (%3)")
        .arg(label, UsageDisplayFormatter::formatTokenCount(period.tokens),
             QString::asprintf("$%.2f", period.estimatedCostUSD));
}

void UsageMeterView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), cornerRadius_, cornerRadius_);
    painter.fillPath(path, DashboardStyle::stripBackground());
}

} // namespace brisvane
