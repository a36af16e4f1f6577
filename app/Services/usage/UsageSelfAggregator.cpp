#include "app/Services/usage/UsageSelfAggregator.hpp"

#include "app/Models/Saturating.hpp"
#include "app/Models/StrictJson.hpp"

#include <QJsonDocument>
#include <QLoggingCategory>
#include <QJsonObject>
#include <QSet>
#include <QStringView>

#include <simdjson.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

Q_LOGGING_CATEGORY(lcUsageSelfAggregator, "brisvane.UsageSelfAggregator")

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
    template <typename OnLine>
    void feed(QByteArrayView chunk, OnLine&& onLine)
    {
        while (!chunk.isEmpty()) {
            const qsizetype lineFeed = chunk.indexOf('\n');
            const QByteArrayView piece = lineFeed < 0 ? chunk : chunk.first(lineFeed);
            if (lineFeed >= 0 && pending_.isEmpty() && !overlong_) {
                deliver(piece, onLine); // the whole line lies in this chunk: no copy
            } else {
                append(piece);
                if (lineFeed >= 0) {
                    if (!overlong_) deliver(pending_, onLine);
                    pending_.clear();
                    overlong_ = false;
                }
            }
            if (lineFeed < 0) return;
            chunk = chunk.sliced(lineFeed + 1);
        }
    }

    // The bytes after the last line feed, when they can still make a line: at the end of a file
    // they are its last line.
    std::optional<QByteArrayView> pendingLine() const
    {
        if (overlong_ || pending_.isEmpty()) return std::nullopt;
        return QByteArrayView(pending_);
    }

private:
    void append(QByteArrayView piece)
    {
        if (overlong_) return;
        if (piece.size() > kMaxLineBytes - pending_.size()) {
            overlong_ = true;
            pending_ = QByteArray();
            return;
        }
        pending_.append(piece);
    }

    template <typename OnLine>
    static void deliver(QByteArrayView line, OnLine& onLine)
    {
        if (!line.isEmpty() && line.size() <= kMaxLineBytes) onLine(line);
    }

    QByteArray pending_;
    bool overlong_ = false;
};

// Exact sums, clamped to 64 bits only for the result: a reply first counted in one place and
// then found elsewhere is taken back out.
__extension__ typedef __int128 Sum;

int64_t clamped(Sum sum)
{
    if (sum > Sum(std::numeric_limits<int64_t>::max())) return std::numeric_limits<int64_t>::max();
    if (sum < Sum(std::numeric_limits<int64_t>::min())) return std::numeric_limits<int64_t>::min();
    return int64_t(sum);
}

// Lines are summed per slot of time. Periods starting and ending at quarter hours (every day
// start of every time zone in use) take whole slots; any other period gets one slot per
// millisecond.
constexpr int64_t kQuarterHourMs = 15 * 60 * 1000;

int64_t floorDivide(int64_t value, int64_t divisor)
{
    const int64_t quotient = value / divisor;
    return (value % divisor != 0 && value < 0) ? quotient - 1 : quotient;
}

} // namespace

struct TranscriptStore::State {
    struct File;

    // Where a reply was found: the first line of it in each slot of each file.
    struct Occurrence {
        File* file = nullptr;
        int64_t slot = 0;
        uint32_t model = 0;
        int64_t tokens = 0;
    };
    struct Reply {
        // Its key in `replies`.
        const std::string* key = nullptr;
        // Per file in the order read.
        std::vector<Occurrence> occurrences;
        // Found more than once: decided at each pass (which file comes first, which slots are
        // in the period) instead of being summed with its file's lines.
        bool shared = false;
    };
    // A model's lines in one slot of one file.
    struct SlotSum {
        int64_t slot = 0;
        uint32_t model = 0;
        Sum tokens = 0;
        int64_t lines = 0;
    };
    // A line as read for the sums.
    struct Line {
        int64_t slot = 0;
        uint32_t model = 0;
        int64_t tokens = 0;
        std::optional<std::string> reply;
    };
    struct File {
        QString path;
        // As opened by the last read.
        FileVersion version;
        // The bytes read so far; the splitter holds those after the last line feed.
        int64_t offset = 0;
        LineSplitter lines;
        // Lines without reply ids, and replies found only here and in one slot, in slot order.
        std::vector<SlotSum> sums;
        // The replies with an occurrence here.
        std::vector<Reply*> replies;
        // The last line when the file, read to its end, does not end with a line feed. It is
        // counted but not kept, since the writer may still be adding to it.
        std::optional<Line> lastLine;
        bool loggedReadingInParts = false;
        // This pass: the position in the listing, and in which of the periods it lies.
        qsizetype listed = 0;
        std::vector<char> inPeriod;
    };

    int64_t slotMs = 0;
    std::unordered_map<QString, std::unique_ptr<File>> files;
    // By "message"."id", a NUL and "requestId". Nodes stay where they are: files point at them.
    std::unordered_map<std::string, Reply> replies;
    std::unordered_set<Reply*> sharedReplies;
    std::vector<std::string> models;
    std::unordered_map<std::string, uint32_t> modelIndex;
    AssistantLineReader reader;
    bool unread = false;

    uint32_t model(const std::string& name)
    {
        const auto [entry, inserted] = modelIndex.try_emplace(name, uint32_t(models.size()));
        if (inserted) models.push_back(name);
        return entry->second;
    }

    std::optional<Line> parse(QByteArrayView bytes)
    {
        std::optional<AssistantUsageLine> line = reader.read(bytes);
        if (!line) return std::nullopt;
        return Line{floorDivide(line->timestamp, slotMs), model(line->model), line->tokens, std::move(line->reply)};
    }

    static void addToSums(File& file, int64_t slot, uint32_t model, Sum tokens, int64_t lines)
    {
        // Transcripts are written in time order: nearly every line lands in the last slot or a
        // new one after it.
        auto at = file.sums.end();
        const auto before = [](const SlotSum& sum, std::pair<int64_t, uint32_t> key) {
            return std::pair(sum.slot, sum.model) < key;
        };
        if (!file.sums.empty() && before(file.sums.back(), {slot, model}) == false)
            at = std::lower_bound(file.sums.begin(), file.sums.end(), std::pair(slot, model), before);
        if (at == file.sums.end() || at->slot != slot || at->model != model) at = file.sums.insert(at, {slot, model, 0, 0});
        at->tokens += tokens;
        at->lines += lines;
    }

    void add(File& file, Line line)
    {
        if (!line.reply) {
            addToSums(file, line.slot, line.model, line.tokens, 1);
            return;
        }
        const auto [entry, inserted] = replies.try_emplace(std::move(*line.reply));
        Reply& reply = entry->second;
        if (inserted) reply.key = &entry->first;
        bool fileHasIt = false;
        for (const Occurrence& occurrence : reply.occurrences) {
            if (occurrence.file != &file) continue;
            // The same reply again in the same slot: its first line stands, whatever the period.
            if (occurrence.slot == line.slot) return;
            fileHasIt = true;
        }
        if (!reply.occurrences.empty() && !reply.shared) {
            const Occurrence& only = reply.occurrences.front();
            addToSums(*only.file, only.slot, only.model, -Sum(only.tokens), -1);
            reply.shared = true;
            sharedReplies.insert(&reply);
        }
        reply.occurrences.push_back({&file, line.slot, line.model, line.tokens});
        if (!fileHasIt) file.replies.push_back(&reply);
        if (!reply.shared) addToSums(file, line.slot, line.model, line.tokens, 1);
    }

    // Forgets what was read of the file, to read it again from its start.
    void reset(File& file)
    {
        for (Reply* reply : file.replies) {
            std::erase_if(reply->occurrences, [&](const Occurrence& occurrence) { return occurrence.file == &file; });
            if (!reply->occurrences.empty()) continue;
            sharedReplies.erase(reply);
            const std::string key = *reply->key;
            replies.erase(key);
        }
        file.replies.clear();
        file.sums.clear();
        file.offset = 0;
        file.lines = LineSplitter();
        file.lastLine.reset();
        file.version = {};
    }

    void clear()
    {
        files.clear();
        replies.clear();
        sharedReplies.clear();
        models.clear();
        modelIndex.clear();
    }

    // Reads the file on from where the last read stopped, at most `maxBytes`; the bytes read.
    int64_t readOn(File& file, const FileSystemReading& fileSystem, const FileVersion& listed, int64_t maxBytes,
                   const std::function<bool()>& stopRequested)
    {
        int64_t read = 0;
        const auto opened = fileSystem.readChunks(
            file.path, kChunkBytes,
            [&](QByteArrayView chunk) {
                file.lines.feed(chunk, [&](QByteArrayView bytes) {
                    if (std::optional<Line> line = parse(bytes)) add(file, std::move(*line));
                });
                file.offset += chunk.size();
                read += chunk.size();
                // Asked after each chunk, before the next is read.
                return !(stopRequested && stopRequested());
            },
            ChunkRange{file.offset, maxBytes, listed});
        // A file that fails part-way keeps the lines read before the failure.
        if (opened) file.version = *opened;
        file.lastLine.reset();
        if (file.offset == file.version.size) {
            if (const std::optional<QByteArrayView> last = file.lines.pendingLine()) file.lastLine = parse(*last);
        }
        return read;
    }

    // Per model: the tokens and the lines counted (a model with counted lines is in the table,
    // also at 0 tokens).
    struct PeriodTotals {
        std::vector<Sum> tokens;
        std::vector<int64_t> lines;

        void add(uint32_t model, Sum count, int64_t lineCount = 1)
        {
            if (model >= tokens.size()) {
                tokens.resize(model + 1, 0);
                lines.resize(model + 1, 0);
            }
            tokens[model] += count;
            lines[model] += lineCount;
        }
    };

    // The sums of one period over the files listed this pass, each in the period or not.
    QMap<QString, int64_t> total(size_t period, int64_t startMs, int64_t endMs, const std::vector<File*>& listed)
    {
        const int64_t firstSlot = floorDivide(startMs, slotMs);
        const int64_t endSlot = floorDivide(endMs, slotMs);
        const auto counts = [&](const File& file, int64_t slot) {
            return file.inPeriod[period] && firstSlot <= slot && slot < endSlot;
        };
        PeriodTotals totals;
        for (const File* file : listed) {
            if (!file->inPeriod[period]) continue;
            auto sum = std::lower_bound(file->sums.begin(), file->sums.end(), firstSlot,
                                        [](const SlotSum& s, int64_t slot) { return s.slot < slot; });
            for (; sum != file->sums.end() && sum->slot < endSlot; ++sum)
                totals.add(sum->model, sum->tokens, sum->lines);
        }

        // A reply counts once: in the first file of the listing that has it in the period, as
        // its first line there. A file's unfinished last line comes after all its other lines.
        struct Candidate {
            const File* file;
            uint32_t model;
            int64_t tokens;
        };
        const auto first = [&](const Reply& reply) {
            std::optional<Candidate> best;
            for (const Occurrence& occurrence : reply.occurrences) {
                if (counts(*occurrence.file, occurrence.slot) && (!best || occurrence.file->listed < best->file->listed))
                    best = Candidate{occurrence.file, occurrence.model, occurrence.tokens};
            }
            return best;
        };
        std::unordered_set<std::string_view> decidedByLastLine;
        std::unordered_set<const Reply*> decided;
        for (const File* file : listed) {
            const std::optional<Line>& last = file->lastLine;
            if (!last || !counts(*file, last->slot)) continue;
            if (!last->reply) {
                totals.add(last->model, last->tokens);
                continue;
            }
            // An earlier file's last line was the same reply, and decided it.
            if (!decidedByLastLine.insert(*last->reply).second) continue;
            std::optional<Candidate> best;
            if (const auto entry = replies.find(*last->reply); entry != replies.end()) {
                const Reply& reply = entry->second;
                decided.insert(&reply);
                best = first(reply);
                // Summed with its file's lines: taken back out to be decided here.
                if (!reply.shared && best) totals.add(best->model, -Sum(best->tokens), -1);
            }
            if (!best || file->listed < best->file->listed) best = Candidate{file, last->model, last->tokens};
            totals.add(best->model, best->tokens);
        }
        for (const Reply* reply : sharedReplies) {
            if (decided.contains(reply)) continue;
            if (const std::optional<Candidate> best = first(*reply)) totals.add(best->model, best->tokens);
        }

        QMap<QString, int64_t> table;
        for (size_t model = 0; model < totals.tokens.size(); ++model)
            if (totals.lines[model] > 0) table.insert(QString::fromStdString(models[model]), clamped(totals.tokens[model]));
        return table;
    }
};

TranscriptStore::TranscriptStore() : state_(std::make_unique<State>()) {}

TranscriptStore::~TranscriptStore() = default;

bool TranscriptStore::hasUnreadBytes() const
{
    const std::lock_guard lock(mutex_);
    return state_->unread;
}

QList<QMap<QString, int64_t>> TranscriptStore::aggregate(const QString& projectsDirectory,
                                                        const FileSystemReading& fileSystem,
                                                        const QList<Period>& periods, const PassLimits& limits)
{
    const std::lock_guard lock(mutex_);
    State& state = *state_;
    state.unread = false;
    if (periods.isEmpty()) return {};

    std::vector<std::pair<int64_t, int64_t>> bounds;
    int64_t slotMs = kQuarterHourMs;
    for (const Period& period : periods) {
        bounds.emplace_back(period.start.toMSecsSinceEpoch(), period.end.toMSecsSinceEpoch());
        if (bounds.back().first % kQuarterHourMs != 0 || bounds.back().second % kQuarterHourMs != 0) slotMs = 1;
    }
    if (slotMs != state.slotMs) {
        state.clear();
        state.slotMs = slotMs;
    }
    int64_t earliest = bounds.front().first;
    int64_t latest = bounds.front().second;
    for (const auto& [start, end] : bounds) {
        earliest = std::min(earliest, start);
        latest = std::max(latest, end);
    }

    // The transcripts modified in the periods, in listing order, with what each holds unread.
    std::vector<State::File*> listed;
    std::vector<std::pair<State::File*, FileVersion>> toRead;
    std::unordered_set<QString> seen;
    if (const auto projects = fileSystem.contentsOfDirectory(projectsDirectory)) {
        for (const QString& project : *projects) {
            const QString directory = projectsDirectory + u'/' + project;
            const auto names = fileSystem.contentsOfDirectory(directory);
            if (!names) continue;
            for (const QString& name : *names) {
                if (!name.endsWith(QLatin1String(".jsonl"), Qt::CaseSensitive)) continue;
                const QString path = directory + u'/' + name;
                const auto modified = fileSystem.modificationDate(path);
                if (!modified) continue;
                const int64_t modifiedMs = modified->toMSecsSinceEpoch();
                if (modifiedMs < earliest || modifiedMs >= latest) continue;
                const auto version = fileSystem.fileVersion(path);
                if (!version) continue;
                auto& slot = state.files[path];
                if (!slot) {
                    slot = std::make_unique<State::File>();
                    slot->path = path;
                }
                State::File& file = *slot;
                const bool rewritten = version->size == file.version.size
                    && version->modifiedNanoseconds != file.version.modifiedNanoseconds;
                if (!version->isSameFile(file.version) || version->size < file.offset || rewritten) state.reset(file);
                file.listed = qsizetype(listed.size());
                file.inPeriod.assign(bounds.size(), 0);
                for (size_t i = 0; i < bounds.size(); ++i)
                    file.inPeriod[i] = bounds[i].first <= modifiedMs && modifiedMs < bounds[i].second;
                listed.push_back(&file);
                seen.insert(path);
                if (version->size > file.offset) toRead.emplace_back(&file, *version);
            }
        }
    }
    // Files gone, unreadable or out of the periods are read again should they come back.
    for (auto entry = state.files.begin(); entry != state.files.end();) {
        if (seen.contains(entry->first)) {
            ++entry;
            continue;
        }
        state.reset(*entry->second);
        entry = state.files.erase(entry);
    }

    // What was appended to small files first, so that one huge file does not hold up the rest.
    std::stable_sort(toRead.begin(), toRead.end(), [](const auto& a, const auto& b) {
        return a.second.size - a.first->offset < b.second.size - b.first->offset;
    });
    int64_t budget = std::max<int64_t>(limits.maxBytes, 0);
    for (auto& [file, version] : toRead) {
        if (limits.stopRequested && limits.stopRequested()) {
            state.unread = true;
            break;
        }
        const int64_t unread = version.size - file->offset;
        if (unread > budget) {
            state.unread = true;
            // Said of a file beyond a whole pass's bound, not of one the rest of a pass missed.
            if (unread > limits.maxBytes && !file->loggedReadingInParts) {
                file->loggedReadingInParts = true;
                qCInfo(lcUsageSelfAggregator, "大きな記録を数回に分けて読みます: %s (%lld バイト)",
                       qUtf8Printable(file->path), qlonglong(version.size));
            }
        }
        if (budget == 0) break;
        budget -= state.readOn(*file, fileSystem, version, std::min(unread, budget), limits.stopRequested);
        if (file->offset < version.size) state.unread = true;
    }

    QList<QMap<QString, int64_t>> tables;
    for (size_t i = 0; i < bounds.size(); ++i) tables.append(state.total(i, bounds[i].first, bounds[i].second, listed));
    return tables;
}

QList<QMap<QString, int64_t>> aggregateTokensByModel(const QString& projectsDirectory, const FileSystemReading& fileSystem,
                                                    const QList<Period>& periods)
{
    TranscriptStore store;
    return store.aggregate(projectsDirectory, fileSystem, periods, {std::numeric_limits<int64_t>::max(), {}});
}

QMap<QString, int64_t> aggregateTokensByModel(const QString& projectsDirectory, const FileSystemReading& fileSystem,
                                              const QDateTime& periodStart, const QDateTime& periodEnd)
{
    return aggregateTokensByModel(projectsDirectory, fileSystem, {Period{periodStart, periodEnd}}).first();
}

} // namespace brisvane::UsageSelfAggregator
