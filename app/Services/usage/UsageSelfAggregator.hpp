#pragma once

#include "app/Services/platform/FileSystemReading.hpp"

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

// Token usage summed from the agent's transcripts, for when its statistics cache is not current.
// Transcripts are `<projectsDirectory>/<project folder>/<name>.jsonl` (one level deep, the
// suffix case-sensitive); their "assistant" lines carry a model, a timestamp and the usage of one
// reply.
namespace brisvane::UsageSelfAggregator {

// Transcripts are streamed in pieces of this size, never held whole.
inline constexpr int64_t kChunkBytes = 256 * 1024;
// A longer line is skipped without being kept: far beyond any reply's line, while user lines
// with pasted files or images may reach it and carry no usage.
inline constexpr qsizetype kMaxLineBytes = 4 * 1024 * 1024;
// The most one refresh reads of the transcripts, all files together: about a tenth of a second
// of parsing. A longer backlog (the first pass over a busy week, one huge file) is read on by the
// following passes, each where the last stopped.
inline constexpr int64_t kPassBytes = 64 * 1024 * 1024;

// [start, end)
struct Period {
    QDateTime start;
    QDateTime end;
};

// The tokens per model of the assistant lines stamped in [periodStart, periodEnd), read from the
// transcripts last modified in that period (an older one cannot hold such lines and is not
// opened). A line counts its input, output, cache-creation and cache-read tokens, each 0 when
// missing or not a whole number. The agent writes one line per content block of a reply, each
// repeating the reply's usage, and a resumed conversation copies earlier lines into a new file:
// so a reply (the pair of its "message"."id" and "requestId") counts once per call, across all
// files; a line without both ids counts as it comes. Lines that are not JSON objects, not
// assistant lines, lack a model, a usage object or a timestamp with a time zone, or are longer
// than `kMaxLineBytes`, are skipped, as are folders and files that cannot be read. Sums stick at
// the ends of the 64-bit range. Never fails: a missing projects folder gives an empty table.
// Reads every file whole.
QMap<QString, int64_t> aggregateTokensByModel(const QString& projectsDirectory, const FileSystemReading& fileSystem,
                                              const QDateTime& periodStart, const QDateTime& periodEnd);

// The same for several periods in one reading of the files: one table per period, in order, each
// equal to what the period alone gives.
QList<QMap<QString, int64_t>> aggregateTokensByModel(const QString& projectsDirectory, const FileSystemReading& fileSystem,
                                                    const QList<Period>& periods);

// What one pass may read, and when it has to stop.
struct PassLimits {
    int64_t maxBytes = kPassBytes;
    // Asked between chunks; true ends the pass's reading at once (a newer pass, or quitting).
    std::function<bool()> stopRequested;
};

// The transcripts as read so far, kept between passes so that a pass reads only what was
// appended since the last one: per file where reading stopped, the file it was (device, inode,
// size, modification time) and its lines' usage per quarter of an hour. A file that shrank, was
// replaced or rewritten in place is read again. Passes may run on any thread; they take turns.
class TranscriptStore {
public:
    TranscriptStore();
    ~TranscriptStore();
    TranscriptStore(const TranscriptStore&) = delete;
    TranscriptStore& operator=(const TranscriptStore&) = delete;

    // The tables of `aggregateTokensByModel` from what the transcripts hold as far as read: equal
    // to a whole reading once every file is read to its end. Reads at most `limits.maxBytes`,
    // appended bytes of small files first.
    QList<QMap<QString, int64_t>> aggregate(const QString& projectsDirectory, const FileSystemReading& fileSystem,
                                           const QList<Period>& periods, const PassLimits& limits = {});
    // Whether the last pass left bytes to read: it reached its bound or was stopped.
    bool hasUnreadBytes() const;

private:
    struct State;
    mutable std::mutex mutex_;
    std::unique_ptr<State> state_;
};

} // namespace brisvane::UsageSelfAggregator
