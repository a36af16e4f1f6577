#include "app/Models/BrisvaneConclusionFile.hpp"

#include "app/Models/StrictJson.hpp"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

namespace brisvane {

std::optional<BrisvaneConclusionFile> BrisvaneConclusionFile::decode(const QByteArray& json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    const QJsonObject object = document.object();

    using StrictJson::read;
    BrisvaneConclusionFile file;
    const bool decoded = read(object["pid"], file.pid) && read(object["sessionId"], file.sessionId)
        && read(object["text"], file.text) && read(object["capturedAt"], file.capturedAt);
    if (!decoded) return std::nullopt;
    return file;
}

} // namespace brisvane
