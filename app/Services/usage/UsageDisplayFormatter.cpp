#include "app/Services/usage/UsageDisplayFormatter.hpp"

#include <QCoreApplication>

namespace brisvane::UsageDisplayFormatter {

QString formatTokenCount(int64_t tokens)
{
    if (tokens >= 1'000'000) return QString::asprintf("%.1fM tok", double(tokens) / 1'000'000.0);
    if (tokens >= 1'000) return QString::asprintf("%.1fK tok", double(tokens) / 1'000.0);
    return QString::asprintf("%lld tok", static_cast<long long>(tokens));
}

QString formatTokensWithOptionalCost(int64_t tokens, double costUSD)
{
    const QString count = formatTokenCount(tokens);
    if (costUSD == 0) return count;
    return count + QString::asprintf(" ($%.2f)", costUSD);
}

std::optional<QString> formatLastUpdated(const std::optional<QDateTime>& date, const Calendar& calendar)
{
    if (!date) return std::nullopt;
    return QCoreApplication::translate("UsageDisplayFormatter", "最終更新 %1")
        .arg(calendar.format(*date, QStringLiteral("MM-dd")));
}

} // namespace brisvane::UsageDisplayFormatter
