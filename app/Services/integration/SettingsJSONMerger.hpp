#pragma once

#include "app/Models/HookInstallState.hpp"

#include <QJsonObject>
#include <QSet>
#include <QString>
#include <QStringList>

// Pure edits of the agent's parsed settings document: find the application's own status-line and
// Stop-hook entries among the user's, add them, and remove only them. Every other value passes
// through untouched.
//
// A command is the application's own when it contains one of the owned strings (the script's
// paths, as the hook installer lists them) literally; an empty owned string matches nothing.
// Because the test is a substring test, a command that wraps the path (quoted, with arguments,
// behind an interpreter) still counts.
//
// Elements of the "Stop" array, and entries of a group's "hooks" array, that are not objects are
// skipped when reading and kept in place when adding or removing: one stray value must neither
// hide the user's hooks nor get them replaced.
namespace brisvane::SettingsJSONMerger {

// {"type": "command", "command": command, "padding": 0, "refreshInterval": 300}
QJsonObject statusLineEntry(const QString& command);
// {"hooks": [{"type": "command", "command": command, "timeout": 10}]}
QJsonObject stopHookGroup(const QString& command);

bool isOwned(const QString& command, const QStringList& ownedCommands);

// notInstalled without a "statusLine" key; installed when its "command" is owned; otherwise
// conflicting with that command, or with the compact JSON text of the whole value when it has no
// string "command".
HookInstallState statusLineState(const QJsonObject& settings, const QStringList& ownedCommands);
// Every string "command" of every Stop-hook entry, in document order.
QStringList stopHookCommands(const QJsonObject& settings);
// The settings with `stopHookGroup(command)` appended to "hooks"."Stop", unless an owned command
// is there already. A "hooks" that is not an object, or a "Stop" that is not an array, is replaced.
QJsonObject installingStopHook(QJsonObject settings, const QString& command, const QStringList& ownedCommands);
// The settings without owned Stop-hook entries: a group left empty goes, an empty "Stop" goes, and
// an empty "hooks" goes.
QJsonObject removingStopHook(QJsonObject settings, const QStringList& ownedCommands);

// The only top-level keys a removal may make disappear: "statusLine" and "hooks".
QSet<QString> removableTopLevelKeys();

} // namespace brisvane::SettingsJSONMerger
