#pragma once

// Readable failure messages for the terminal tiles' types.

#include "app/Models/FilePathToken.hpp"
#include "app/Models/ResolvedFilePath.hpp"
#include "app/Models/TerminalLinkAction.hpp"
#include "app/Models/TerminalTile.hpp"
#include "app/Services/tiles/TerminalTileReconciler.hpp"
#include "tests/app/Printers.hpp"

#include <ostream>

namespace brisvane {

inline void PrintTo(const TerminalTileLifecycle& lifecycle, std::ostream* out)
{
    static const char* const kNames[] = {"attached", "shellOnly", "closed"};
    *out << kNames[static_cast<int>(lifecycle.kind)];
    if (lifecycle.kind == TerminalTileLifecycle::Case::attached) *out << "(" << lifecycle.pid << ")";
}

inline void PrintTo(const TerminalTile& tile, std::ostream* out)
{
    *out << "{" << tile.id.toString(QUuid::WithoutBraces).left(8).toStdString() << " ";
    PrintTo(tile.lifecycle, out);
    *out << ", ";
    PrintTo(tile.projectName, out);
    *out << ", ";
    PrintTo(tile.sessionState, out);
    *out << ", " << tile.modelName.toStdString() << "}";
}

inline void PrintTo(const TerminalTileReconciler::Result& result, std::ostream* out)
{
    auto id = [](const QUuid& uuid) { return uuid.toString(QUuid::WithoutBraces).left(8).toStdString(); };
    *out << "tiles:";
    for (const TerminalTile& tile : result.tiles) {
        *out << " ";
        PrintTo(tile, out);
    }
    *out << "\n  newly attached:";
    for (auto entry = result.newlyAttachedPids.begin(); entry != result.newlyAttachedPids.end(); ++entry) {
        *out << " " << id(entry.key()) << "=" << entry.value();
    }
    *out << "\n  exited:";
    for (const QUuid& uuid : result.exitedTileIds) *out << " " << id(uuid);
    *out << "\n  detached:";
    for (const QUuid& uuid : result.detachedTileIds) *out << " " << id(uuid);
    *out << "\n  keys:";
    QStringList keys(result.attachedSessionKeys.begin(), result.attachedSessionKeys.end());
    keys.sort();
    for (const QString& key : keys) *out << " " << key.toStdString();
}

inline void PrintTo(const FilePathToken& token, std::ostream* out)
{
    *out << "{\"" << token.text.toStdString() << "\" " << token.startColumn << ".." << token.endColumn << "}";
}

inline void PrintTo(const ResolvedFilePath& path, std::ostream* out)
{
    *out << path.absolutePath.toStdString() << (path.isDirectory ? " (folder)" : "");
}

inline void PrintTo(const TerminalLinkAction& action, std::ostream* out)
{
    switch (action.kind) {
    case TerminalLinkAction::Case::openExternalURL:
        *out << "openExternalURL(" << action.url.toString().toStdString() << ")";
        break;
    case TerminalLinkAction::Case::openLocalPath:
        *out << "openLocalPath(";
        PrintTo(action.path, out);
        *out << ")";
        break;
    case TerminalLinkAction::Case::ignore:
        *out << "ignore";
        break;
    }
}

} // namespace brisvane
