#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Paths as a POSIX shell reads them back unchanged: each in single quotes.
namespace brisvane::ShellPathQuoter {

// The path between single quotes, each quote in it written as '\'' (close, escaped quote,
// reopen): "/tmp/it's here" gives '/tmp/it'\''s here'.
QString quote(const QString& path);
// Each path quoted, joined by single spaces; no paths give the empty text.
QString quoteAll(const QStringList& paths);
// What a file drop types into the shell: `quoteAll` of the paths, or nothing at all when any of
// them holds a control character (C0, DEL or C1). The shell's line editor acts on those even
// inside quotes (^C, ^U, ESC, a line feed), so a crafted file name could run a command, and no
// quoting works in every shell.
std::optional<QString> insertionText(const QStringList& paths);

} // namespace brisvane::ShellPathQuoter
