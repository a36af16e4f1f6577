#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

#include <cstdint>
#include <optional>

namespace brisvane {

// The keys this application reads from the agent's statistics cache (`stats-cache.json` in its
// home), which the agent writes and recomputes itself. Day strings are "yyyy-MM-dd".
struct StatsCacheFile {
    struct DailyActivityEntry {
        std::optional<QString> date;
        std::optional<int64_t> messageCount;
        std::optional<int64_t> sessionCount;
        std::optional<int64_t> toolCallCount;

        friend bool operator==(const DailyActivityEntry&, const DailyActivityEntry&) = default;
    };

    struct DailyModelTokensEntry {
        std::optional<QString> date;
        // Tokens of that day by model name.
        std::optional<QMap<QString, int64_t>> tokensByModel;

        friend bool operator==(const DailyModelTokensEntry&, const DailyModelTokensEntry&) = default;
    };

    struct ModelUsageEntry {
        std::optional<int64_t> inputTokens;
        std::optional<int64_t> outputTokens;
        std::optional<int64_t> cacheReadInputTokens;
        std::optional<int64_t> cacheCreationInputTokens;
        std::optional<int64_t> webSearchRequests;
        // The model's all-time cost in US dollars, as the agent computed it.
        std::optional<double> costUSD;
        std::optional<int64_t> contextWindow;
        std::optional<int64_t> maxOutputTokens;

        friend bool operator==(const ModelUsageEntry&, const ModelUsageEntry&) = default;
    };

    std::optional<QString> lastComputedDate;
    std::optional<QList<DailyActivityEntry>> dailyActivity;
    std::optional<QList<DailyModelTokensEntry>> dailyModelTokens;
    // All-time usage by model name.
    std::optional<QMap<QString, ModelUsageEntry>> modelUsage;
    std::optional<int64_t> totalSessions;
    std::optional<int64_t> totalMessages;

    // Keys match exactly as written. Missing keys and null are absent and other keys are
    // ignored; a value of another type anywhere (a fraction or a number beyond 64 bits in an
    // integer field, a list element or table value of the wrong shape), text that is not JSON
    // or a document that is not an object gives nothing.
    static std::optional<StatsCacheFile> decode(const QByteArray& json);

    friend bool operator==(const StatsCacheFile&, const StatsCacheFile&) = default;
};

} // namespace brisvane
