#include "app/Services/UsageSelfAggregator.hpp"

#include "app/Models/Saturating.hpp"
#include "app/Models/StrictJson.hpp"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QStringView>

#include <simdjson.h>

#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace brisvane::UsageSelfAggregator {

namespace {

struct AssistantUsageLine {
    std::string model;
    int64_t timestamp = 0; // milliseconds since 1970 UTC
    int64_t tokens = 0;
    // "message"."id", a NUL and "requestId", when the line has both.
    std::optional<std::string> reply;
};

// The decimal number in text[from, from + length); -1 when a character is not a digit.
int digits(std::string_view text, size_t from, size_t length)
{
    int value = 0;
    for (size_t i = from; i < from + length; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

// An internet date and time, "2026-12-10T15:43:16Z" or "2026-12-10T15:43:16.579+09:00", as
// milliseconds since 1970 UTC. The time-zone designator is required: a time without one names
// no instant.
std::optional<int64_t> parseTimestamp(std::string_view text)
{
    constexpr size_t kSecondsEnd = 19; // "yyyy-MM-ddTHH:mm:ss"
    if (text.size() < kSecondsEnd + 1) return std::nullopt;
    if (text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' || text[16] != ':') {
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

    size_t position = kSecondsEnd;
    int millisecond = 0;
    if (text[position] == '.') {
        const size_t fractionStart = ++position;
        while (position < text.size() && text[position] >= '0' && text[position] <= '9') ++position;
        if (position == fractionStart) return std::nullopt;
        // Digits past the milliseconds are dropped.
        for (size_t i = fractionStart; i < fractionStart + 3; ++i) {
            millisecond = millisecond * 10 + (i < position ? text[i] - '0' : 0);
        }
    }

    int offsetSeconds = 0;
    const std::string_view zone = text.substr(position);
    if (zone != "Z") {
        if (zone.size() != 6 || (zone[0] != '+' && zone[0] != '-') || zone[3] != ':') return std::nullopt;
        const int offsetHours = digits(zone, 1, 2);
        const int offsetMinutes = digits(zone, 4, 2);
        if (offsetHours < 0 || offsetHours > 23 || offsetMinutes < 0 || offsetMinutes > 59) return std::nullopt;
        offsetSeconds = (offsetHours * 3600 + offsetMinutes * 60) * (zone[0] == '-' ? -1 : 1);
    }
    const QDateTime wallClock(date, QTime(hour, minute, second, millisecond), Qt::UTC);
    return wallClock.toMSecsSinceEpoch() - int64_t{offsetSeconds} * 1000;
}

// 0 when the count is missing or not a whole number within 64 bits.
int64_t count(const QJsonObject& usage, const char* key)
{
    return StrictJson::integer(usage.value(QLatin1String(key))).value_or(0);
}

constexpr const char* kCountKeys[] = {"input_tokens", "output_tokens", "cache_creation_input_tokens",
                                      "cache_read_input_tokens"};

// The reference reading of a line, through Qt's parser: used for the lines the fast reader below
// turns down, so both agree on every line.
std::optional<AssistantUsageLine> parseWithQt(QByteArrayView line)
{
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromRawData(line.data(), line.size()));
    if (!document.isObject()) return std::nullopt;
    const QJsonObject object = document.object();
    if (object.value(QLatin1String("type")).toString() != u"assistant") return std::nullopt;
    const QJsonValue timestampValue = object.value(QLatin1String("timestamp"));
    if (!timestampValue.isString()) return std::nullopt;
    const std::optional<int64_t> timestamp = parseTimestamp(timestampValue.toString().toStdString());
    if (!timestamp) return std::nullopt;
    const QJsonValue messageValue = object.value(QLatin1String("message"));
    if (!messageValue.isObject()) return std::nullopt;
    const QJsonObject message = messageValue.toObject();
    const QJsonValue model = message.value(QLatin1String("model"));
    const QJsonValue usageValue = message.value(QLatin1String("usage"));
    if (!model.isString() || !usageValue.isObject()) return std::nullopt;
    const QJsonObject usage = usageValue.toObject();

    AssistantUsageLine result;
    result.model = model.toString().toStdString();
    result.timestamp = *timestamp;
    for (const char* key : kCountKeys) result.tokens = Saturating::add(result.tokens, count(usage, key));
    const QJsonValue messageId = message.value(QLatin1String("id"));
    const QJsonValue requestId = object.value(QLatin1String("requestId"));
    if (messageId.isString() && requestId.isString())
        result.reply = messageId.toString().toStdString() + '\0' + requestId.toString().toStdString();
    return result;
}

// Reads transcript lines with simdjson, about ten times faster than Qt's parser (a week of a busy
// user's transcripts is gigabytes). A line it cannot parse goes to `parseWithQt`, so numbers past
// 64 bits, escaped surrogates and the like read exactly as they always did.
class AssistantLineReader {
public:
    std::optional<AssistantUsageLine> read(QByteArrayView line)
    {
        // A line that never says "assistant", even escaped, is not an assistant line.
        const bool mayBeAssistant = line.contains("assistant") || line.contains("\\u");
        if (!mayBeAssistant) return std::nullopt;
        padded_.resize(size_t(line.size()) + simdjson::SIMDJSON_PADDING);
        std::memcpy(padded_.data(), line.data(), size_t(line.size()));
        simdjson::dom::element root;
        if (parser_.parse(padded_.data(), size_t(line.size()), false).get(root) != simdjson::SUCCESS)
            return parseWithQt(line);
        return fromDocument(root);
    }

private:
    static std::optional<std::string_view> string(simdjson::dom::object object, std::string_view key)
    {
        std::string_view text;
        if (object.at_key(key).get_string().get(text) != simdjson::SUCCESS) return std::nullopt;
        return text;
    }

    // As `StrictJson::integer` reads the number Qt would have made of it.
    static int64_t count(simdjson::dom::object usage, const char* key)
    {
        simdjson::dom::element value;
        if (usage.at_key(key).get(value) != simdjson::SUCCESS) return 0;
        switch (value.type()) {
        case simdjson::dom::element_type::INT64: return int64_t(value);
        case simdjson::dom::element_type::UINT64: return StrictJson::integer(QJsonValue(double(uint64_t(value)))).value_or(0);
        case simdjson::dom::element_type::DOUBLE: return StrictJson::integer(QJsonValue(double(value))).value_or(0);
        default: return 0;
        }
    }

    static std::optional<AssistantUsageLine> fromDocument(simdjson::dom::element root)
    {
        simdjson::dom::object object;
        if (root.get_object().get(object) != simdjson::SUCCESS) return std::nullopt;
        if (string(object, "type") != std::optional<std::string_view>("assistant")) return std::nullopt;
        const std::optional<std::string_view> timestampText = string(object, "timestamp");
        if (!timestampText) return std::nullopt;
        const std::optional<int64_t> timestamp = parseTimestamp(*timestampText);
        if (!timestamp) return std::nullopt;
        simdjson::dom::object message;
        if (object.at_key("message").get_object().get(message) != simdjson::SUCCESS) return std::nullopt;
        const std::optional<std::string_view> model = string(message, "model");
        simdjson::dom::object usage;
        if (!model || message.at_key("usage").get_object().get(usage) != simdjson::SUCCESS) return std::nullopt;

        AssistantUsageLine result;
        result.model = std::string(*model);
        result.timestamp = *timestamp;
        for (const char* key : kCountKeys) result.tokens = Saturating::add(result.tokens, count(usage, key));
        const std::optional<std::string_view> messageId = string(message, "id");
        const std::optional<std::string_view> requestId = string(object, "requestId");
        if (messageId && requestId) result.reply = std::string(*messageId) + '\0' + std::string(*requestId);
        return result;
    }

    simdjson::dom::parser parser_;
    std::vector<char> padded_;
};

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

// The transcripts modified in [periodStart, periodEnd) with their modification times, in listing
// order.
QList<std::pair<QString, QDateTime>> jsonlFiles(const QString& projectsDirectory, const FileSystemReading& fileSystem,
                                                const QDateTime& periodStart, const QDateTime& periodEnd)
{
    QList<std::pair<QString, QDateTime>> files;
    const auto projects = fileSystem.contentsOfDirectory(projectsDirectory);
    if (!projects) return files;
    for (const QString& project : *projects) {
        const QString directory = projectsDirectory + u'/' + project;
        const auto names = fileSystem.contentsOfDirectory(directory);
        if (!names) continue;
        for (const QString& name : *names) {
            if (!name.endsWith(QLatin1String(".jsonl"), Qt::CaseSensitive)) continue;
            const QString path = directory + u'/' + name;
            const auto modified = fileSystem.modificationDate(path);
            if (modified && periodStart <= *modified && *modified < periodEnd) files.append({path, *modified});
        }
    }
    return files;
}

} // namespace

QList<QMap<QString, int64_t>> aggregateTokensByModel(const QString& projectsDirectory, const FileSystemReading& fileSystem,
                                                    const QList<Period>& periods)
{
    // Each period counts exactly what it would alone: its own files, lines and replies.
    struct PeriodSums {
        int64_t start = 0;
        int64_t end = 0;
        std::unordered_map<std::string, int64_t> byModel;
        std::unordered_set<std::string> countedReplies;
    };
    std::vector<PeriodSums> sums;
    for (const Period& period : periods)
        sums.push_back({period.start.toMSecsSinceEpoch(), period.end.toMSecsSinceEpoch(), {}, {}});

    QDateTime earliest;
    QDateTime latest;
    for (const Period& period : periods) {
        if (!earliest.isValid() || period.start < earliest) earliest = period.start;
        if (!latest.isValid() || period.end > latest) latest = period.end;
    }

    AssistantLineReader reader;
    std::vector<PeriodSums*> fileSums;
    LineSplitter lines([&](QByteArrayView bytes) {
        std::optional<AssistantUsageLine> line = reader.read(bytes);
        if (!line) return;
        for (PeriodSums* period : fileSums) {
            if (line->timestamp < period->start || line->timestamp >= period->end) continue;
            if (line->reply && !period->countedReplies.insert(*line->reply).second) continue;
            int64_t& sum = period->byModel[line->model];
            sum = Saturating::add(sum, line->tokens);
        }
    });
    if (!periods.isEmpty()) {
        for (const auto& [path, modified] : jsonlFiles(projectsDirectory, fileSystem, earliest, latest)) {
            fileSums.clear();
            for (qsizetype i = 0; i < periods.size(); ++i)
                if (periods[i].start <= modified && modified < periods[i].end) fileSums.push_back(&sums[size_t(i)]);
            if (fileSums.empty()) continue;
            // A file that fails part-way keeps the lines read before the failure.
            (void)fileSystem.readChunks(path, kChunkBytes, [&](QByteArrayView chunk) {
                lines.feed(chunk);
                return true;
            });
            lines.finish();
        }
    }

    QList<QMap<QString, int64_t>> tables;
    for (const PeriodSums& period : sums) {
        QMap<QString, int64_t> table;
        for (const auto& [model, tokens] : period.byModel) table.insert(QString::fromStdString(model), tokens);
        tables.append(table);
    }
    return tables;
}

QMap<QString, int64_t> aggregateTokensByModel(const QString& projectsDirectory, const FileSystemReading& fileSystem,
                                              const QDateTime& periodStart, const QDateTime& periodEnd)
{
    return aggregateTokensByModel(projectsDirectory, fileSystem, {Period{periodStart, periodEnd}}).first();
}

} // namespace brisvane::UsageSelfAggregator
