#pragma once

#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

namespace brisvane {

// How a project name is to be pronounced: the name as announcements carry it and what to say
// instead.
struct ReadingEntry {
    QUuid id;
    QString projectName;
    QString reading;

    friend bool operator==(const ReadingEntry&, const ReadingEntry&) = default;
};

// The user's readings, in the user's order.
struct ReadingDictionary {
    QList<ReadingEntry> entries;

    // The reading of the first entry whose name equals `projectName` exactly (letter case
    // counts); entries with an empty name or reading are half-filled rows and count for nothing.
    std::optional<QString> reading(const QString& projectName) const;

    // What a first start has: "Brisvane" read as "ブリスベイン", under an id made once per run.
    static const ReadingDictionary& builtIn();

    friend bool operator==(const ReadingDictionary&, const ReadingDictionary&) = default;
};

} // namespace brisvane
