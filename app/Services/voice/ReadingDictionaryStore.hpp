#pragma once

#include "app/Models/ReadingDictionary.hpp"
#include "app/Services/platform/Preferences.hpp"

#include <QByteArray>

namespace brisvane::ReadingDictionaryStore {

inline constexpr char kKey[] = "Brisvane.readingDictionary";

// The stored dictionary: a JSON array of {"id", "projectName", "reading"} objects. Nothing stored,
// or data that is not a JSON array, gives the built-in dictionary. An entry that is not such an
// object (a key missing, a value not a string, an id not a UUID) is left out and logged, so that
// one bad entry does not cost the user the others; the stored bytes stay as they are until the
// next save. An empty array is an empty dictionary.
ReadingDictionary load(const Preferences& preferences);
// Writes the whole dictionary in the stored form.
void save(const ReadingDictionary& dictionary, Preferences& preferences);

// The stored form: compact JSON, ids in upper case.
QByteArray encode(const ReadingDictionary& dictionary);

} // namespace brisvane::ReadingDictionaryStore
