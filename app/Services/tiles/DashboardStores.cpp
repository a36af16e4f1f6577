#include "app/Services/tiles/DashboardStores.hpp"

#include "app/Models/UuidText.hpp"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QMap>

#include <cmath>

Q_LOGGING_CATEGORY(lcPinnedProjectStore, "brisvane.PinnedProjectStore")

namespace brisvane {

GridLayoutPreset GridLayoutStore::load(const Preferences& preferences)
{
    const std::optional<QString> stored = preferences.stringValue(kKey);
    if (!stored) return GridLayoutPreset::defaultPreset();
    if (auto preset = GridLayoutPreset::preset(*stored)) return *preset;
    static const QMap<QString, GridLayoutPreset> legacy{{"1x1", GridLayoutPreset::oneByOne},
                                                        {"1x2", GridLayoutPreset::oneByTwo},
                                                        {"2x2", GridLayoutPreset::twoByTwo},
                                                        {"2x3", GridLayoutPreset::twoByThree},
                                                        {"3x2", GridLayoutPreset::threeByTwo}};
    return legacy.value(*stored, GridLayoutPreset::defaultPreset());
}

double TerminalFontSizeStore::clamp(double size)
{
    if (!(size > kMinimum)) return kMinimum; // also NaN
    return std::min(size, kMaximum);
}

double TerminalFontSizeStore::load(const Preferences& preferences)
{
    const std::optional<double> stored = preferences.doubleValue(kKey);
    return stored ? clamp(*stored) : kDefault;
}

QList<PinnedProject> PinnedProjectStore::load(Preferences& preferences)
{
    QList<PinnedProject> projects;
    const std::optional<QByteArray> data = preferences.dataValue(kKey);
    if (!data) return projects;
    const QJsonDocument document = QJsonDocument::fromJson(*data);
    if (!document.isArray()) {
        qCWarning(lcPinnedProjectStore, "保存済みのピン留めプロジェクトを読めません。退避して空で始めます");
        preferences.setValue(kBackupKey, *data);
        return projects;
    }
    const QJsonArray array = document.array();
    for (qsizetype i = 0; i < array.size(); i++) {
        const QJsonObject object = array[i].toObject();
        const QJsonValue id = object.value("id");
        const QJsonValue name = object.value("displayName");
        const QJsonValue path = object.value("path");
        const std::optional<QUuid> uuid = id.isString() ? UuidText::parse(id.toString()) : std::nullopt;
        if (!array[i].isObject() || !uuid || !name.isString() || !path.isString()) {
            qCWarning(lcPinnedProjectStore, "ピン留めプロジェクト %lld 件目を読み飛ばしました", qlonglong(i));
            continue;
        }
        projects.push_back({*uuid, name.toString(), path.toString()});
    }
    return projects;
}

void PinnedProjectStore::save(const QList<PinnedProject>& projects, Preferences& preferences)
{
    QJsonArray array;
    for (const PinnedProject& p : projects)
        array.push_back(QJsonObject{{"id", UuidText::format(p.id)}, {"displayName", p.displayName}, {"path", p.path}});
    preferences.setValue(kKey, QJsonDocument(array).toJson(QJsonDocument::Compact));
}

} // namespace brisvane
