#include "app/Models/BrisvaneConclusionFile.hpp"

#include <QCborValue>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

namespace brisvane {

namespace {

// Each reads one optional field into `field`; false when the value is present with the wrong
// type.
bool readInteger(const QJsonObject& object, const char* key, std::optional<int64_t>& field)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isUndefined() || value.isNull()) return true;
    // Whole numbers that fit in 64 bits parse as integers; a fraction or a larger number does not.
    const QCborValue number = QCborValue::fromJsonValue(value);
    if (!number.isInteger()) return false;
    field = number.toInteger();
    return true;
}

bool readNumber(const QJsonObject& object, const char* key, std::optional<double>& field)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isUndefined() || value.isNull()) return true;
    if (!value.isDouble()) return false;
    field = value.toDouble();
    return true;
}

bool readText(const QJsonObject& object, const char* key, std::optional<QString>& field)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isUndefined() || value.isNull()) return true;
    if (!value.isString()) return false;
    field = value.toString();
    return true;
}

} // namespace

std::optional<BrisvaneConclusionFile> BrisvaneConclusionFile::decode(const QByteArray& json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    const QJsonObject object = document.object();

    BrisvaneConclusionFile file;
    const bool decoded = readInteger(object, "pid", file.pid) && readText(object, "sessionId", file.sessionId)
        && readText(object, "text", file.text) && readNumber(object, "capturedAt", file.capturedAt);
    if (!decoded) return std::nullopt;
    return file;
}

} // namespace brisvane
