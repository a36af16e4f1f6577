#pragma once

#include <QString>

// The voice-summary block of the agent's global CLAUDE.md: a short instruction between two marker
// lines, so that it can be found, replaced and removed without touching the user's own text.
namespace brisvane::ClaudeMdAnnouncementBlock {

QString startMarker();
QString endMarker();
// The block: start marker, body and end marker joined by newlines, no newline after the end.
QString textJapanese();
QString textEnglish();
QString text(bool isJapaneseLocale);

// The text with exactly one block, at its end: an existing block is removed, the rest trimmed of
// surrounding whitespace, then one blank line, the block and a final newline (the block and the
// newline alone when nothing is left).
QString inserting(const QString& text, bool isJapaneseLocale);
// The text without its first block: the first end marker that has a start marker before it,
// paired with the nearest such start marker. An orphan start marker above a block therefore
// stays, with the user's text after it. After a removal the whole text is tidied: runs of blank
// lines become one, blank lines at both ends go, and the text ends with one newline (or is empty).
// Without a pair the text is returned unchanged.
QString removingBlock(const QString& text);

} // namespace brisvane::ClaudeMdAnnouncementBlock
