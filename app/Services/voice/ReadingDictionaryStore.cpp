#include "app/Services/voice/ReadingDictionaryStore.hpp"

#include "app/Models/UuidText.hpp"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>

namespace brisvane::ReadingDictionaryStore {

namespace {

Q_LOGGING_CATEGORY(lcReadingDictionaryStore, "brisvane.ReadingDictionaryStore")

std::optional<ReadingEntry> decodeEntry(const QJsonValue& value)
{
    if (!value.isObject()) return std::nullopt;
    const QJsonObject object = value.toObject();
    const QJsonValue id = object.value(QLatin1String("id"));
    const QJsonValue projectName = object.value(QLatin1String("projectName"));
    const QJsonValue reading = object.value(QLatin1String("reading"));
    if (!id.isString() || !projectName.isString() || !reading.isString()) return std::nullopt;
    const std::optional<QUuid> uuid = UuidText::parse(id.toString());
    if (!uuid) return std::nullopt;
    return ReadingEntry{*uuid, projectName.toString(), reading.toString()};
}

} // namespace

ReadingDictionary load(const Preferences& preferences)
{
    const std::optional<QByteArray> data = preferences.dataValue(QLatin1String(kKey));
    if (!data) return ReadingDictionary::builtIn();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(*data, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray()) {
        qCInfo(lcReadingDictionaryStore, "読み仮名辞書を読み取れないため既定の辞書を使用");
        return ReadingDictionary::builtIn();
    }
    const QJsonArray array = document.array();
    ReadingDictionary dictionary;
    for (qsizetype index = 0; index < array.size(); ++index) {
        if (std::optional<ReadingEntry> entry = decodeEntry(array.at(index))) {
            dictionary.entries.append(std::move(*entry));
        } else {
            qCInfo(lcReadingDictionaryStore, "読み仮名辞書の不正な項目を読み飛ばし: index=%lld",
                   static_cast<long long>(index));
        }
    }
    return dictionary;
}

void save(const ReadingDictionary& dictionary, Preferences& preferences)
{
    preferences.setValue(QLatin1String(kKey), encode(dictionary));
}

QByteArray encode(const ReadingDictionary& dictionary)
{
    QJsonArray array;
    for (const ReadingEntry& entry : dictionary.entries) {
        array.append(QJsonObject{
            {QLatin1String("id"), UuidText::format(entry.id)},
            {QLatin1String("projectName"), entry.projectName},
            {QLatin1String("reading"), entry.reading},
        });
    }
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

} // namespace brisvane::ReadingDictionaryStore
