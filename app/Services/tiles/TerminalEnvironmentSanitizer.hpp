#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

namespace brisvane::TerminalEnvironmentSanitizer {

// The environment without the agent's own variables ("CLAUDECODE", "AI_AGENT" and every key
// beginning with "CLAUDE_", compared case-sensitively), so an agent started in a tile does not
// take itself for a nested one. Values are not looked at.
QMap<QString, QString> sanitize(const QMap<QString, QString>& environment);
// The sanitised environment with "TERM" set to "xterm-256color", as "KEY=value" strings.
QStringList buildEnvironmentArray(const QMap<QString, QString>& environment);
// The application's own environment as a map.
QMap<QString, QString> processEnvironment();

} // namespace brisvane::TerminalEnvironmentSanitizer
