#pragma once

#include "app/Models/FilePathToken.hpp"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

namespace brisvane::FilePathDetector {

// Finds the pieces of one line of text worth trying as file paths; whether they name anything
// is for the resolver to say. A line is a sequence of user-perceived characters (grapheme
// clusters), each one string; the QString overloads segment the line first.

// The double and the single quote.
const QStringList& quoteCharacters();
// Lower-case top-level domains that make a dotted name read as a web address, not a file.
const QSet<QString>& knownTopLevelDomains();

// The line's user-perceived characters.
QStringList characters(const QString& line);

// Every valid token, left to right. Quotes pair left to right; text inside a pair is one
// candidate (spaces included), anything else runs up to the next blank or quote. Trailing
// punctuation stays: only the existence test decides.
QList<FilePathToken> enumerateTokens(const QStringList& characters);
QList<FilePathToken> enumerateTokens(const QString& line);
// The valid token under a character column: the quoted reading around it if there is one (then
// only that one), else the bare run around it.
std::optional<FilePathToken> detectToken(const QStringList& characters, int column);
std::optional<FilePathToken> detectToken(const QString& line, int column);

// The steps, exposed for tests.
// Accepts a non-empty text that holds "/", begins with "~" or is a bare file name with an
// extension.
std::optional<FilePathToken> validated(const FilePathToken& token);
// Two or more dot-separated labels of ASCII letters, digits and inner "-", the last one a known
// top-level domain.
bool looksLikeURLOrDomain(const QString& text);
// A non-empty stem, a dot and 1 to 6 ASCII letters or digits, and not a domain.
bool looksLikeBareFilenameWithExtension(const QString& text);
// The text between the nearest quote left of the column and the next same quote right of it.
std::optional<FilePathToken> quotedToken(const QStringList& characters, int column);
// The run around the column between blanks and quotes.
std::optional<FilePathToken> bareToken(const QStringList& characters, int column);

} // namespace brisvane::FilePathDetector
