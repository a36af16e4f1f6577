#pragma once

// Readable failure messages for the application's types.

#include "app/Models/FileSystemReadingError.hpp"
#include "app/Models/FileSystemWritingError.hpp"
#include "app/Models/FileTail.hpp"
#include "app/Models/SessionRecord.hpp"
#include "app/Models/SessionTile.hpp"
#include "app/Services/sessions/SessionGridBuilder.hpp"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <ostream>
#include <type_traits>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QByteArray& bytes, std::ostream* out)
{
    *out << '"' << bytes.left(200).toStdString() << (bytes.size() > 200 ? "...\"" : "\"") << " (" << bytes.size() << " bytes)";
}

inline void PrintTo(const QDateTime& time, std::ostream* out)
{
    *out << time.toString(Qt::ISODateWithMs).toStdString();
}

namespace brisvane {

inline void PrintTo(const SessionState& state, std::ostream* out)
{
    static const char* const kNames[] = {"waiting", "idle", "busy", "terminated", "unknown"};
    *out << kNames[static_cast<int>(state.kind)];
    if (state.reason) *out << "(" << state.reason->toStdString() << ")";
}

inline void PrintTo(const ProjectDisplayName& name, std::ostream* out)
{
    *out << name.primary.toStdString();
    if (name.secondary) *out << " / " << name.secondary->toStdString();
    if (name.isFallback) *out << " (fallback)";
}

inline void PrintTo(const SessionTile& tile, std::ostream* out)
{
    *out << "{" << tile.id.toStdString() << ", ";
    PrintTo(tile.state, out);
    *out << ", ";
    PrintTo(tile.projectName, out);
    *out << ", " << tile.modelName.toStdString();
    if (tile.terminatedAt) *out << ", ended " << tile.terminatedAt->toString(Qt::ISODate).toStdString();
    *out << "}";
}

inline void PrintTo(const SessionGridBuildResult& result, std::ostream* out)
{
    *out << (result.directoryListingFailed ? "listing failed, " : "") << "tiles:";
    for (const SessionTile& tile : result.tiles) {
        *out << " ";
        PrintTo(tile, out);
    }
}

inline void PrintTo(const SessionRecord& record, std::ostream* out)
{
    auto field = [out](const char* key, const auto& value) {
        if (!value) return;
        *out << key << "=";
        if constexpr (std::is_same_v<std::decay_t<decltype(*value)>, QString>) {
            *out << value->toStdString() << " ";
        } else {
            *out << *value << " ";
        }
    };
    *out << "{ ";
    field("pid", record.pid);
    field("sessionId", record.sessionId);
    field("cwd", record.cwd);
    field("startedAt", record.startedAt);
    field("version", record.version);
    field("kind", record.kind);
    field("name", record.name);
    field("nameSource", record.nameSource);
    field("status", record.status);
    field("waitingFor", record.waitingFor);
    field("updatedAt", record.updatedAt);
    field("statusUpdatedAt", record.statusUpdatedAt);
    *out << "}";
}

inline void PrintTo(const FileTail& tail, std::ostream* out)
{
    ::PrintTo(tail.data, out);
    if (tail.isTruncated) *out << " (truncated)";
}

inline void PrintTo(const FileSystemReadingError& error, std::ostream* out)
{
    *out << "reading error " << static_cast<int>(error.kind) << " at " << error.path.toStdString();
}

inline void PrintTo(const FileSystemWritingError& error, std::ostream* out)
{
    *out << "writing error " << static_cast<int>(error.kind) << " at " << error.path.toStdString();
}

} // namespace brisvane
