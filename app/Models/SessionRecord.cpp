#include "app/Models/SessionRecord.hpp"

#include <QCborValue>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

namespace brisvane {

namespace {

// Reads one optional field into `field`; false when the value is present with the wrong type.
bool readInteger(const QJsonObject& object, const char* key, std::optional<int64_t>& field)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isUndefined() || value.isNull()) return true;
    // The parser keeps every whole number that fits in 64 bits as an integer (1.0 and 1e3
    // included); what stays a double is a fraction or out of range.
    const QCborValue number = QCborValue::fromJsonValue(value);
    if (!number.isInteger()) return false;
    field = number.toInteger();
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

std::optional<SessionRecord> SessionRecord::decode(const QByteArray& json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    const QJsonObject object = document.object();

    SessionRecord record;
    const bool decoded = readInteger(object, "pid", record.pid) && readText(object, "sessionId", record.sessionId)
        && readText(object, "cwd", record.cwd) && readInteger(object, "startedAt", record.startedAt)
        && readText(object, "version", record.version) && readText(object, "kind", record.kind)
        && readText(object, "name", record.name) && readText(object, "nameSource", record.nameSource)
        && readText(object, "status", record.status) && readText(object, "waitingFor", record.waitingFor)
        && readInteger(object, "updatedAt", record.updatedAt)
        && readInteger(object, "statusUpdatedAt", record.statusUpdatedAt);
    if (!decoded) return std::nullopt;
    return record;
}

} // namespace brisvane
