#include "app/Services/UsageSelfAggregator.hpp"

#include "app/Models/Saturating.hpp"
#include "app/Models/StrictJson.hpp"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QStringView>

#include <functional>
#include <optional>
#include <utility>

namespace brisvane::UsageSelfAggregator {

namespace {

struct AssistantUsageLine {
    QString model;
    int64_t timestamp = 0; // milliseconds since 1970 UTC
    int64_t tokens = 0;
    // "message"."id" and "requestId", when the line has both.
    std::optional<std::pair<QString, QString>> reply;
};

// The decimal number in text[from, from + length); -1 when a character is not a digit.
int digits(QStringView text, qsizetype from, qsizetype length)
{
    int value = 0;
    for (qsizetype i = from; i < from + length; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9') return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

// An internet date and time, "2026-12-10T15:43:16Z" or "2026-12-10T15:43:16.579+09:00", as
// milliseconds since 1970 UTC. The time-zone designator is required: a time without one names
// no instant.
std::optional<int64_t> parseTimestamp(QStringView text)
{
    constexpr qsizetype kSecondsEnd = 19; // "yyyy-MM-ddTHH:mm:ss"
    if (text.size() < kSecondsEnd + 1) return std::nullopt;
    if (text[4] != u'-' || text[7] != u'-' || text[10] != u'T' || text[13] != u':' || text[16] != u':') {
        return std::nullopt;
    }
    // A year of -1 would be a valid date (1 BC) to QDate.
    const int year = digits(text, 0, 4);
    if (year < 0) return std::nullopt;
    const QDate date(year, digits(text, 5, 2), digits(text, 8, 2));
    const int hour = digits(text, 11, 2);
    const int minute = digits(text, 14, 2);
    const int second = digits(text, 17, 2);
    if (!date.isValid() || !QTime::isValid(hour, minute, second, 0)) return std::nullopt;

    qsizetype position = kSecondsEnd;
    int millisecond = 0;
    if (text[position] == u'.') {
        const qsizetype fractionStart = ++position;
        while (position < text.size() && text[position] >= u'0' && text[position] <= u'9') ++position;
        if (position == fractionStart) return std::nullopt;
        // Digits past the milliseconds are dropped.
        for (qsizetype i = fractionStart; i < fractionStart + 3; ++i) {
            millisecond = millisecond * 10 + (i < position ? text[i].unicode() - u'0' : 0);
        }
    }

    int offsetSeconds = 0;
    const QStringView zone = text.sliced(position);
    if (zone != u"Z") {
        if (zone.size() != 6 || (zone[0] != u'+' && zone[0] != u'-') || zone[3] != u':') return std::nullopt;
        const int offsetHours = digits(zone, 1, 2);
        const int offsetMinutes = digits(zone, 4, 2);
        if (offsetHours < 0 || offsetHours > 23 || offsetMinutes < 0 || offsetMinutes > 59) return std::nullopt;
        offsetSeconds = (offsetHours * 3600 + offsetMinutes * 60) * (zone[0] == u'-' ? -1 : 1);
    }
    const QDateTime wallClock(date, QTime(hour, minute, second, millisecond), Qt::UTC);
    return wallClock.toMSecsSinceEpoch() - int64_t{offsetSeconds} * 1000;
}

// 0 when the count is missing or not a whole number within 64 bits.
int64_t count(const QJsonObject& usage, const char* key)
{
    return StrictJson::integer(usage.value(QLatin1String(key))).value_or(0);
}

std::optional<AssistantUsageLine> parseAssistantUsageLine(QByteArrayView line)
{
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromRawData(line.data(), line.size()));
    if (!document.isObject()) return std::nullopt;
    const QJsonObject object = document.object();
    if (object.value(QLatin1String("type")).toString() != u"assistant") return std::nullopt;
    const QJsonValue timestampValue = object.value(QLatin1String("timestamp"));
    if (!timestampValue.isString()) return std::nullopt;
    const std::optional<int64_t> timestamp = parseTimestamp(timestampValue.toString());
    if (!timestamp) return std::nullopt;
    const QJsonValue messageValue = object.value(QLatin1String("message"));
    if (!messageValue.isObject()) return std::nullopt;
    const QJsonObject message = messageValue.toObject();
    const QJsonValue model = message.value(QLatin1String("model"));
    const QJsonValue usageValue = message.value(QLatin1String("usage"));
    if (!model.isString() || !usageValue.isObject()) return std::nullopt;
    const QJsonObject usage = usageValue.toObject();

    AssistantUsageLine result;
    result.model = model.toString();
    result.timestamp = *timestamp;
    for (const char* key : {"input_tokens", "output_tokens", "cache_creation_input_tokens", "cache_read_input_tokens"}) {
        result.tokens = Saturating::add(result.tokens, count(usage, key));
    }
    const QJsonValue messageId = message.value(QLatin1String("id"));
    const QJsonValue requestId = object.value(QLatin1String("requestId"));
    if (messageId.isString() && requestId.isString()) result.reply = {messageId.toString(), requestId.toString()};
    return result;
}

// Cuts a stream of chunks into lines at line feeds while holding at most one line: a line that
// grows beyond `kMaxLineBytes` is dropped as it streams past. Empty lines are not handed on.
class LineSplitter {
public:
    explicit LineSplitter(std::function<void(QByteArrayView)> onLine) : onLine_(std::move(onLine)) {}

    void feed(QByteArrayView chunk)
    {
        while (!chunk.isEmpty()) {
            const qsizetype lineFeed = chunk.indexOf('\n');
            const QByteArrayView piece = lineFeed < 0 ? chunk : chunk.first(lineFeed);
            if (lineFeed >= 0 && pending_.isEmpty() && !overlong_) {
                deliver(piece); // the whole line lies in this chunk: no copy
            } else {
                append(piece);
                if (lineFeed >= 0) finish();
            }
            if (lineFeed < 0) return;
            chunk = chunk.sliced(lineFeed + 1);
        }
    }

    // Ends the pending line, also one without a final line feed.
    void finish()
    {
        if (!overlong_) deliver(pending_);
        pending_.clear();
        overlong_ = false;
    }

private:
    void append(QByteArrayView piece)
    {
        if (overlong_) return;
        if (piece.size() > kMaxLineBytes - pending_.size()) {
            overlong_ = true;
            pending_.clear();
            return;
        }
        pending_.append(piece);
    }

    void deliver(QByteArrayView line)
    {
        if (!line.isEmpty() && line.size() <= kMaxLineBytes) onLine_(line);
    }

    std::function<void(QByteArrayView)> onLine_;
    QByteArray pending_;
    bool overlong_ = false;
};

// The transcripts modified in [periodStart, periodEnd), in listing order.
QStringList jsonlFilePaths(const QString& projectsDirectory, const FileSystemReading& fileSystem,
                           const QDateTime& periodStart, const QDateTime& periodEnd)
{
    QStringList paths;
    const auto projects = fileSystem.contentsOfDirectory(projectsDirectory);
    if (!projects) return paths;
    for (const QString& project : *projects) {
        const QString directory = projectsDirectory + u'/' + project;
        const auto names = fileSystem.contentsOfDirectory(directory);
        if (!names) continue;
        for (const QString& name : *names) {
            if (!name.endsWith(QLatin1String(".jsonl"), Qt::CaseSensitive)) continue;
            const QString path = directory + u'/' + name;
            const auto modified = fileSystem.modificationDate(path);
            if (modified && periodStart <= *modified && *modified < periodEnd) paths.append(path);
        }
    }
    return paths;
}

} // namespace

QMap<QString, int64_t> aggregateTokensByModel(const QString& projectsDirectory, const FileSystemReading& fileSystem,
                                              const QDateTime& periodStart, const QDateTime& periodEnd)
{
    QMap<QString, int64_t> table;
    QSet<std::pair<QString, QString>> countedReplies;
    const int64_t start = periodStart.toMSecsSinceEpoch();
    const int64_t end = periodEnd.toMSecsSinceEpoch();

    LineSplitter lines([&](QByteArrayView bytes) {
        std::optional<AssistantUsageLine> line = parseAssistantUsageLine(bytes);
        if (!line || line->timestamp < start || line->timestamp >= end) return;
        if (line->reply) {
            if (countedReplies.contains(*line->reply)) return;
            countedReplies.insert(std::move(*line->reply));
        }
        int64_t& sum = table[line->model];
        sum = Saturating::add(sum, line->tokens);
    });
    for (const QString& path : jsonlFilePaths(projectsDirectory, fileSystem, periodStart, periodEnd)) {
        // A file that fails part-way keeps the lines read before the failure.
        (void)fileSystem.readChunks(path, kChunkBytes, [&](QByteArrayView chunk) {
            lines.feed(chunk);
            return true;
        });
        lines.finish();
    }
    return table;
}

} // namespace brisvane::UsageSelfAggregator
