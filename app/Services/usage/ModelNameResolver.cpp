#include "app/Services/usage/ModelNameResolver.hpp"

#include "app/Services/platform/StrictUtf8.hpp"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringView>

namespace brisvane::ModelNameResolver {

namespace {

// "message"."model" of a line whose "type" is "assistant".
std::optional<QString> assistantModel(QStringView line)
{
    const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8());
    if (!document.isObject()) return std::nullopt;
    const QJsonObject object = document.object();
    if (object.value(QLatin1String("type")).toString() != u"assistant") return std::nullopt;
    const QJsonValue model = object.value(QLatin1String("message")).toObject().value(QLatin1String("model"));
    if (!model.isString()) return std::nullopt;
    return model.toString();
}

} // namespace

QString unknownModelName()
{
    return QCoreApplication::translate("ModelNameResolver", "不明");
}

std::optional<QString> latestAssistantModel(const FileTail& tail)
{
    QByteArrayView bytes(tail.data);
    if (tail.isTruncated) {
        const qsizetype firstLineFeed = bytes.indexOf('\n');
        if (firstLineFeed < 0) return std::nullopt;
        bytes = bytes.sliced(firstLineFeed + 1);
    }
    const std::optional<QString> text = StrictUtf8::decode(bytes);
    if (!text) return std::nullopt;
    const QList<QStringView> lines = QStringView(*text).split(u'\n', Qt::SkipEmptyParts);
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        std::optional<QString> model = assistantModel(*line);
        if (model && !model->startsWith(u'<')) return model;
    }
    return std::nullopt;
}

} // namespace brisvane::ModelNameResolver
