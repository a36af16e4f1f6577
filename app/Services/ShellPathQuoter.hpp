#pragma once

#include <QString>
#include <QStringList>

// Paths as a POSIX shell reads them back unchanged: each in single quotes.
namespace brisvane::ShellPathQuoter {

// The path between single quotes, each quote in it written as '\'' (close, escaped quote,
// reopen): "/tmp/it's here" gives '/tmp/it'\''s here'.
QString quote(const QString& path);
// Each path quoted, joined by single spaces; no paths give the empty text.
QString quoteAll(const QStringList& paths);

} // namespace brisvane::ShellPathQuoter
