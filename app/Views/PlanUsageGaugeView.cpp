#include "app/Views/PlanUsageGaugeView.hpp"

#include "app/Services/usage/PlanUsageDisplayFormatter.hpp"
#include "app/Services/usage/UsageDisplayFormatter.hpp"
#include "app/Views/DashboardStyle.hpp"
#include "app/Views/PopoverFrame.hpp"
#include "app/Views/UsageMeterView.hpp"

#include <QHBoxLayout>
#include <QCoreApplication>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include <cmath>

namespace brisvane {

using namespace DashboardStyle;
namespace Format = PlanUsageDisplayFormatter;

PlanUsageLevel planUsageLevel(double usedPercentage)
{
    if (std::isnan(usedPercentage) || usedPercentage >= 90) return PlanUsageLevel::critical;
    if (usedPercentage >= 70) return PlanUsageLevel::high;
    return PlanUsageLevel::normal;
}

namespace {

QColor barColor(PlanUsageLevel level)
{
    switch (level) {
    case PlanUsageLevel::normal:
        return accent();
    case PlanUsageLevel::high:
        return yellow();
    case PlanUsageLevel::critical:
        break;
    }
    return red();
}

// The strip writes a normal percentage in the text colour; the popover in the accent colour.
QColor percentageColor(PlanUsageLevel level, bool inPopover)
{
    if (level == PlanUsageLevel::normal) return inPopover ? accent() : primaryText();
    return barColor(level);
}

bool showsWindow(const std::optional<PlanUsageSummary>& planUsage)
{
    return planUsage && (planUsage->fiveHour || planUsage->sevenDay);
}

QString fiveHourResetText(const PlanUsageGaugeView::Values& v)
{
    return QCoreApplication::translate("PlanUsageGaugeView", "%1でリセット")
        .arg(Format::formatCountdown(v.now, v.planUsage->fiveHour->resetsAt));
}

QString sevenDayResetText(const PlanUsageGaugeView::Values& v)
{
    return QCoreApplication::translate("PlanUsageGaugeView", "%1リセット")
        .arg(Format::formatWeekdayTime(v.planUsage->sevenDay->resetsAt, v.calendar, v.isJapaneseLocale));
}

QLabel* separator(QWidget* parent)
{
    return makeLabel(QStringLiteral("｜"), DashboardStyle::font(12), tertiaryText(), parent);
}

// Label, bar, percentage and "(reset)" of one window, 5 px apart.
QHBoxLayout* segment(const QString& label, const PlanUsageWindow& window, const QString& resetText, QWidget* parent)
{
    const PlanUsageLevel level = planUsageLevel(window.usedPercentage);
    auto* row = new QHBoxLayout;
    row->setSpacing(5);
    row->addWidget(makeLabel(label, DashboardStyle::font(12), secondaryText(), parent), 0, Qt::AlignVCenter);
    auto* bar = new GaugeBar(window.usedPercentage, barColor(level), parent);
    bar->setAttribute(Qt::WA_TransparentForMouseEvents);
    row->addWidget(bar, 0, Qt::AlignVCenter);
    row->addWidget(makeLabel(Format::formatPercentage(window.usedPercentage), DashboardStyle::font(12),
                             percentageColor(level, false), parent),
                   0, Qt::AlignVCenter);
    row->addWidget(makeLabel(QCoreApplication::translate("PlanUsageGaugeView", "(%1)").arg(resetText), DashboardStyle::font(10),
                             secondaryText(), parent),
                   0, Qt::AlignVCenter);
    return row;
}

// A popover row: label, spacer and percentage over the reset detail.
QVBoxLayout* detailRow(const QString& label, double percentage, const QString& resetDetail, QWidget* parent)
{
    auto* row = new QVBoxLayout;
    row->setSpacing(2);
    auto* top = new QHBoxLayout;
    top->setSpacing(6);
    top->addWidget(makeLabel(label, DashboardStyle::font(11, QFont::Medium), primaryText(), parent), 0, Qt::AlignVCenter);
    top->addSpacing(4);
    top->addStretch(1);
    top->addWidget(makeLabel(Format::formatPercentage(percentage), DashboardStyle::font(11),
                             percentageColor(planUsageLevel(percentage), true), parent),
                   0, Qt::AlignVCenter);
    row->addLayout(top);
    row->addWidget(makeLabel(resetDetail, DashboardStyle::font(10), secondaryText(), parent));
    return row;
}

} // namespace

// ---- GaugeBar -------------------------------------------------------------------------------------

GaugeBar::GaugeBar(double percentage, QColor color, QWidget* parent)
    : QWidget(parent), percentage_(percentage), color_(color)
{
    setFixedSize(kWidth, kHeight);
}

double GaugeBar::fillFraction() const
{
    const double f = percentage_ / 100.0;
    if (!(f > 0)) return 0; // also no number
    return std::min(f, 1.0);
}

void GaugeBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const double radius = height() / 2.0;
    QPainterPath track;
    track.addRoundedRect(QRectF(rect()), radius, radius);
    painter.fillPath(track, QColor(255, 255, 255, 38));
    const double fillWidth = width() * fillFraction();
    if (fillWidth <= 0) return;
    QPainterPath fill;
    fill.addRoundedRect(QRectF(0, 0, fillWidth, height()), std::min(radius, fillWidth / 2), radius);
    painter.fillPath(fill, color_);
}

// ---- PlanUsageGaugeView -----------------------------------------------------------------------------

PlanUsageGaugeView::PlanUsageGaugeView(QWidget* parent) : QAbstractButton(parent), popover_(new PopoverFrame(this))
{
    connect(popover_, &PopoverFrame::presentedChanged, this, [this](bool presented) {
        if (!presented) isShowingPopover_ = false;
    });
    auto* stack = new QHBoxLayout(this);
    stack->setSpacing(10);
    stack->setContentsMargins(16, 8, 16, 8);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFocusPolicy(Qt::NoFocus);
    // Sets the flag only; the popover's own closing clears it.
    connect(this, &QAbstractButton::clicked, this, &PlanUsageGaugeView::openPopover);
    values_.tokenUsageSummary = UsageSummary::unavailable();
    rebuildStrip();
}

void PlanUsageGaugeView::setValues(Values values)
{
    values_ = std::move(values);
    rebuildStrip();
    if (popover_->isPresented()) refreshPopover();
}

void PlanUsageGaugeView::rebuildStrip()
{
    QLayout* stack = layout();
    while (QLayoutItem* item = stack->takeAt(0)) {
        if (QLayout* inner = item->layout()) {
            while (QLayoutItem* innerItem = inner->takeAt(0)) {
                delete innerItem->widget();
                delete innerItem;
            }
        }
        delete item->widget();
        delete item;
    }
    auto* row = static_cast<QHBoxLayout*>(stack);
    const Values& v = values_;
    if (showsWindow(v.planUsage)) {
        if (v.planUsage->fiveHour)
            row->addLayout(segment(tr("セッション"), *v.planUsage->fiveHour, fiveHourResetText(v), this));
        if (v.planUsage->fiveHour && v.planUsage->sevenDay) row->addWidget(separator(this), 0, Qt::AlignVCenter);
        if (v.planUsage->sevenDay)
            row->addLayout(segment(tr("週間"), *v.planUsage->sevenDay, sevenDayResetText(v), this));
    } else {
        row->addWidget(makeLabel(tr("使用率: 取得待ち（claudeセッションを1度開くと取得されます）"), DashboardStyle::font(12),
                                 secondaryText(), this),
                       0, Qt::AlignVCenter);
    }
    if (v.isInlineCostDisplayEnabled) {
        row->addWidget(separator(this), 0, Qt::AlignVCenter);
        const UsagePeriodSummary& today = v.tokenUsageSummary.today;
        row->addWidget(makeLabel(UsageDisplayFormatter::formatTokensWithOptionalCost(today.tokens,
                                                                                     today.estimatedCostUSD),
                                 DashboardStyle::font(12), secondaryText(), this),
                       0, Qt::AlignVCenter);
    }
    row->addStretch(1);
    setAccessibleName(accessibilityLabel());
    updateGeometry();
}

QString PlanUsageGaugeView::accessibilityLabel() const
{
    const Values& v = values_;
    if (!showsWindow(v.planUsage)) return tr("プラン使用率: 取得待ち");
    QStringList parts;
    if (v.planUsage->fiveHour)
        parts.append(tr("セッション%1").arg(Format::formatPercentage(v.planUsage->fiveHour->usedPercentage)));
    if (v.planUsage->sevenDay)
        parts.append(tr("週間%1").arg(Format::formatPercentage(v.planUsage->sevenDay->usedPercentage)));
    return tr("プラン使用率: ") + parts.join(QStringLiteral("・"));
}

QStringList PlanUsageGaugeView::stripTexts() const
{
    QStringList texts;
    for (const QObject* child : children()) {
        if (const auto* label = qobject_cast<const QLabel*>(child)) texts.append(label->text());
    }
    return texts;
}

void PlanUsageGaugeView::openPopover()
{
    isShowingPopover_ = true;
    refreshPopover();
    popover_->present(this);
}

void PlanUsageGaugeView::refreshPopover()
{
    const Values& v = values_;
    auto* content = new QWidget(popover_);
    content->setMinimumWidth(280);
    auto* stack = new QVBoxLayout(content);
    stack->setSpacing(10);
    stack->setContentsMargins(12, 12, 12, 12);
    stack->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    stack->addWidget(makeLabel(tr("プラン使用率"), DashboardStyle::font(12, QFont::DemiBold), primaryText(), content));
    if (showsWindow(v.planUsage)) {
        if (const auto& fiveHour = v.planUsage->fiveHour) {
            stack->addLayout(detailRow(
                tr("セッション（5時間）"), fiveHour->usedPercentage,
                tr("リセット: %1").arg(Format::formatExactDateTime(fiveHour->resetsAt, v.calendar)), content));
        }
        if (const auto& sevenDay = v.planUsage->sevenDay) {
            const QString detail =
                tr("リセット: %1 ").arg(Format::formatWeekdayTime(sevenDay->resetsAt, v.calendar, v.isJapaneseLocale)) +
                QStringLiteral("(") + Format::formatExactDateTime(sevenDay->resetsAt, v.calendar) + QStringLiteral(")");
            stack->addLayout(detailRow(tr("週間（7日）"), sevenDay->usedPercentage, detail, content));
        }
        stack->addWidget(makeLabel(
            tr("データ最終更新: %1").arg(Format::formatExactDateTime(v.planUsage->fetchedAt, v.calendar)), DashboardStyle::font(10),
            secondaryText(), content));
    } else {
        QLabel* noData = makeLabel(
            tr("使用率データはまだ取得されていません。claudeセッションを1つ開くと、数分以内に取得されます。"), DashboardStyle::font(11),
            secondaryText(), content);
        noData->setWordWrap(true);
        noData->setMaximumWidth(260);
        stack->addWidget(noData);
    }
    stack->addWidget(makeDivider(content));
    stack->addWidget(makeLabel(tr("トークン使用量"), DashboardStyle::font(12, QFont::DemiBold), primaryText(), content));
    auto* meter = new UsageMeterView(v.tokenUsageSummary, v.calendar, content);
    meter->setCornerRadius(6);
    stack->addWidget(meter);
    popover_->setContent(content);
}

void PlanUsageGaugeView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), stripBackground());
}

} // namespace brisvane
