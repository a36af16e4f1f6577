#pragma once

#include "app/Models/TerminalLinkAction.hpp"
#include "app/Services/platform/PathExistenceChecking.hpp"

#include <QSet>
#include <QString>

#include <optional>

namespace brisvane::TerminalLinkNormalizer {

// The only schemes that leave the program, lower case.
const QSet<QString>& externalSchemes();

// The scheme before the first ":" as written (RFC 3986: a letter, then letters, digits, "+",
// "-" and "."); nothing when the text has none.
std::optional<QString> scheme(const QString& link);
// The path of a "file:" link (scheme in any case), host part skipped, percent-decoding undone
// (kept encoded when the escapes are not valid UTF-8); nothing when there is no path.
std::optional<QString> filePath(const QString& fileURLString);
// What activating the link does: web and mail links open as they are; "file:" links and bare
// paths open only what exists, resolved against the shell's folder and the home folder;
// anything else is ignored.
TerminalLinkAction action(const QString& link, const std::optional<QString>& cwd, const QString& homeDirectory,
                          const PathExistenceChecking& existenceChecker);

} // namespace brisvane::TerminalLinkNormalizer
