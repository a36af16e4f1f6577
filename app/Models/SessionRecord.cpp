#include "app/Models/SessionRecord.hpp"

#include "app/Models/StrictJson.hpp"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

namespace brisvane {

std::optional<SessionRecord> SessionRecord::decode(const QByteArray& json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    const QJsonObject object = document.object();

    using StrictJson::read;
    SessionRecord record;
    const bool decoded = read(object["pid"], record.pid) && read(object["sessionId"], record.sessionId)
        && read(object["cwd"], record.cwd) && read(object["startedAt"], record.startedAt)
        && read(object["version"], record.version) && read(object["kind"], record.kind)
        && read(object["name"], record.name) && read(object["nameSource"], record.nameSource)
        && read(object["status"], record.status) && read(object["waitingFor"], record.waitingFor)
        && read(object["updatedAt"], record.updatedAt) && read(object["statusUpdatedAt"], record.statusUpdatedAt);
    if (!decoded) return std::nullopt;
    return record;
}

} // namespace brisvane
