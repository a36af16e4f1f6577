#include "app/Models/StatsCacheFile.hpp"

#include "app/Models/StrictJson.hpp"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace brisvane {

namespace {

using StrictJson::read;

QJsonValue field(const QJsonObject& object, const char* key)
{
    return object.value(QLatin1String(key));
}

bool readActivity(const QJsonObject& object, StatsCacheFile::DailyActivityEntry& entry)
{
    return read(field(object, "date"), entry.date) && read(field(object, "messageCount"), entry.messageCount)
        && read(field(object, "sessionCount"), entry.sessionCount)
        && read(field(object, "toolCallCount"), entry.toolCallCount);
}

bool readTokens(const QJsonValue& value, std::optional<QMap<QString, int64_t>>& table)
{
    if (StrictJson::isAbsent(value)) return true;
    if (!value.isObject()) return false;
    QMap<QString, int64_t> tokens;
    const QJsonObject object = value.toObject();
    for (auto entry = object.begin(); entry != object.end(); ++entry) {
        const std::optional<int64_t> count = StrictJson::integer(entry.value());
        if (!count) return false;
        tokens.insert(entry.key(), *count);
    }
    table = std::move(tokens);
    return true;
}

bool readModelTokens(const QJsonObject& object, StatsCacheFile::DailyModelTokensEntry& entry)
{
    return read(field(object, "date"), entry.date) && readTokens(field(object, "tokensByModel"), entry.tokensByModel);
}

bool readModelUsage(const QJsonObject& object, StatsCacheFile::ModelUsageEntry& entry)
{
    return read(field(object, "inputTokens"), entry.inputTokens)
        && read(field(object, "outputTokens"), entry.outputTokens)
        && read(field(object, "cacheReadInputTokens"), entry.cacheReadInputTokens)
        && read(field(object, "cacheCreationInputTokens"), entry.cacheCreationInputTokens)
        && read(field(object, "webSearchRequests"), entry.webSearchRequests)
        && read(field(object, "costUSD"), entry.costUSD) && read(field(object, "contextWindow"), entry.contextWindow)
        && read(field(object, "maxOutputTokens"), entry.maxOutputTokens);
}

// A list whose every element is an object that `readEntry` accepts.
template <typename Entry>
bool readList(const QJsonValue& value, std::optional<QList<Entry>>& list,
              bool (*readEntry)(const QJsonObject&, Entry&))
{
    if (StrictJson::isAbsent(value)) return true;
    if (!value.isArray()) return false;
    QList<Entry> entries;
    for (const QJsonValue element : value.toArray()) {
        Entry entry;
        if (!element.isObject() || !readEntry(element.toObject(), entry)) return false;
        entries.append(std::move(entry));
    }
    list = std::move(entries);
    return true;
}

bool readModelUsageTable(const QJsonValue& value, std::optional<QMap<QString, StatsCacheFile::ModelUsageEntry>>& table)
{
    if (StrictJson::isAbsent(value)) return true;
    if (!value.isObject()) return false;
    QMap<QString, StatsCacheFile::ModelUsageEntry> entries;
    const QJsonObject object = value.toObject();
    for (auto element = object.begin(); element != object.end(); ++element) {
        StatsCacheFile::ModelUsageEntry entry;
        if (!element.value().isObject() || !readModelUsage(element.value().toObject(), entry)) return false;
        entries.insert(element.key(), entry);
    }
    table = std::move(entries);
    return true;
}

} // namespace

std::optional<StatsCacheFile> StatsCacheFile::decode(const QByteArray& json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    const QJsonObject object = document.object();

    StatsCacheFile file;
    const bool decoded = read(field(object, "lastComputedDate"), file.lastComputedDate)
        && readList(field(object, "dailyActivity"), file.dailyActivity, &readActivity)
        && readList(field(object, "dailyModelTokens"), file.dailyModelTokens, &readModelTokens)
        && readModelUsageTable(field(object, "modelUsage"), file.modelUsage)
        && read(field(object, "totalSessions"), file.totalSessions)
        && read(field(object, "totalMessages"), file.totalMessages);
    if (!decoded) return std::nullopt;
    return file;
}

} // namespace brisvane
