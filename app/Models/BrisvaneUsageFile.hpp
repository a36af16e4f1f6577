#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace brisvane {

// The plan-usage file that the application's status-line script writes into the agent's home:
// when the script ran and the used share of the subscription's five-hour and seven-day windows.
// Times are seconds since 1970-01-01 00:00 UTC, as written.
struct BrisvaneUsageFile {
    struct RateLimits {
        struct Window {
            // Percent, not clamped: 50 is half the window.
            std::optional<double> usedPercentage;
            std::optional<double> resetsAt;

            friend bool operator==(const Window&, const Window&) = default;
        };

        std::optional<Window> fiveHour;
        std::optional<Window> sevenDay;

        friend bool operator==(const RateLimits&, const RateLimits&) = default;
    };

    std::optional<double> fetchedAt;
    std::optional<RateLimits> rateLimits;

    // The file is written in snake case ("fetched_at"); keys match after this conversion, so
    // lower camel case ("fetchedAt") matches as well. Underscores that separate two words are
    // dropped and the following letter is upper-cased; leading and trailing ones stay.
    static QString convertFromSnakeCase(const QString& key);
    // Every field is optional and null counts as missing; unknown keys are ignored. A value of
    // the wrong type anywhere (a string where a number belongs, a number where an object
    // belongs), text that is not JSON or a document that is not an object gives nothing.
    static std::optional<BrisvaneUsageFile> decode(const QByteArray& json);

    friend bool operator==(const BrisvaneUsageFile&, const BrisvaneUsageFile&) = default;
};

} // namespace brisvane
