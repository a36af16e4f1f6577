#pragma once

#include <QDateTime>
#include <QString>
#include <QUuid>

#include <cstdint>
#include <optional>

namespace brisvane {

// Errors stay until dismissed; the others expire.
enum class AppNotificationSeverity {
    error,
    warning,
    info,
};

// An in-app notice. A recurring problem (same `dedupeKey`) refreshes one notice in place.
struct AppNotification {
    QUuid id;
    AppNotificationSeverity severity = AppNotificationSeverity::error;
    // Already localised by the poster.
    QString title;
    std::optional<QString> detail;
    QString dedupeKey;
    // The latest occurrence.
    QDateTime occurredAt;
    int64_t occurrenceCount = 1;

    friend bool operator==(const AppNotification&, const AppNotification&) = default;
};

} // namespace brisvane
