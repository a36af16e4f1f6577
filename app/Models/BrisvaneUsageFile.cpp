#include "app/Models/BrisvaneUsageFile.hpp"

#include "app/Models/StrictJson.hpp"

#include <QJsonDocument>
#include <QJsonObject>

namespace brisvane {

namespace {

// The object with its keys converted; of two keys that convert alike, the first in the object's
// (sorted) order is kept.
QJsonObject withConvertedKeys(const QJsonObject& object)
{
    QJsonObject converted;
    for (auto entry = object.begin(); entry != object.end(); ++entry) {
        const QString key = BrisvaneUsageFile::convertFromSnakeCase(entry.key());
        if (!converted.contains(key)) converted.insert(key, entry.value());
    }
    return converted;
}

// Reads an optional nested object with converted keys; false when the value is not an object.
bool readObject(const QJsonValue& value, std::optional<QJsonObject>& field)
{
    if (StrictJson::isAbsent(value)) return true;
    if (!value.isObject()) return false;
    field = withConvertedKeys(value.toObject());
    return true;
}

bool readWindow(const QJsonValue& value, std::optional<BrisvaneUsageFile::RateLimits::Window>& field)
{
    std::optional<QJsonObject> object;
    if (!readObject(value, object)) return false;
    if (!object) return true;
    BrisvaneUsageFile::RateLimits::Window window;
    if (!StrictJson::read(object->value(QLatin1String("usedPercentage")), window.usedPercentage)
        || !StrictJson::read(object->value(QLatin1String("resetsAt")), window.resetsAt)) {
        return false;
    }
    field = window;
    return true;
}

bool readRateLimits(const QJsonValue& value, std::optional<BrisvaneUsageFile::RateLimits>& field)
{
    std::optional<QJsonObject> object;
    if (!readObject(value, object)) return false;
    if (!object) return true;
    BrisvaneUsageFile::RateLimits rateLimits;
    if (!readWindow(object->value(QLatin1String("fiveHour")), rateLimits.fiveHour)
        || !readWindow(object->value(QLatin1String("sevenDay")), rateLimits.sevenDay)) {
        return false;
    }
    field = rateLimits;
    return true;
}

} // namespace

QString BrisvaneUsageFile::convertFromSnakeCase(const QString& key)
{
    qsizetype first = 0;
    while (first < key.size() && key[first] == u'_') ++first;
    if (first == key.size()) return key;
    qsizetype last = key.size() - 1;
    while (key[last] == u'_') --last;

    QString converted = key.left(first);
    bool upperNext = false;
    for (qsizetype i = first; i <= last; ++i) {
        const QChar c = key[i];
        if (c == u'_') {
            upperNext = true;
            continue;
        }
        converted += upperNext ? c.toUpper() : c;
        upperNext = false;
    }
    converted += key.mid(last + 1);
    return converted;
}

std::optional<BrisvaneUsageFile> BrisvaneUsageFile::decode(const QByteArray& json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    const QJsonObject object = withConvertedKeys(document.object());

    BrisvaneUsageFile file;
    if (!StrictJson::read(object.value(QLatin1String("fetchedAt")), file.fetchedAt)
        || !readRateLimits(object.value(QLatin1String("rateLimits")), file.rateLimits)) {
        return std::nullopt;
    }
    return file;
}

} // namespace brisvane
