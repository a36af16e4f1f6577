#pragma once

#include "app/Services/FileSystemReading.hpp"

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>

#include <cstdint>

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
QMap<QString, int64_t> aggregateTokensByModel(const QString& projectsDirectory, const FileSystemReading& fileSystem,
                                              const QDateTime& periodStart, const QDateTime& periodEnd);

// [start, end)
struct Period {
    QDateTime start;
    QDateTime end;
};
// The same for several periods in one reading of the files: one table per period, in order, each
// equal to what the period alone gives.
QList<QMap<QString, int64_t>> aggregateTokensByModel(const QString& projectsDirectory, const FileSystemReading& fileSystem,
                                                    const QList<Period>& periods);

} // namespace brisvane::UsageSelfAggregator
