#include "app/Models/ReadingDictionary.hpp"

namespace brisvane {

std::optional<QString> ReadingDictionary::reading(const QString& projectName) const
{
    for (const ReadingEntry& entry : entries) {
        if (entry.projectName.isEmpty() || entry.reading.isEmpty()) continue;
        if (entry.projectName == projectName) return entry.reading;
    }
    return std::nullopt;
}

const ReadingDictionary& ReadingDictionary::builtIn()
{
    static const ReadingDictionary dictionary{
        {ReadingEntry{QUuid::createUuid(), QStringLiteral("Brisvane"), QStringLiteral("ブリスベイン")}}};
    return dictionary;
}

} // namespace brisvane
