#include "app/Services/integration/SettingsJSONMerger.hpp"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>

namespace brisvane::SettingsJSONMerger {

namespace {

const QString kStatusLine = QStringLiteral("statusLine");
const QString kHooks = QStringLiteral("hooks");
const QString kStop = QStringLiteral("Stop");
const QString kCommand = QStringLiteral("command");

// The value as compact JSON text: "abc" with its quotes, 5, null, {"a":1}.
QString describe(const QJsonValue& value)
{
    const QByteArray text = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(text.mid(1, text.size() - 2));
}

// The string command of a hook entry, if it is an object that has one.
std::optional<QString> entryCommand(const QJsonValue& entry)
{
    const QJsonValue command = entry.toObject().value(kCommand);
    if (!entry.isObject() || !command.isString()) return std::nullopt;
    return command.toString();
}

} // namespace

QJsonObject statusLineEntry(const QString& command)
{
    return {{QStringLiteral("type"), QStringLiteral("command")},
            {kCommand, command},
            {QStringLiteral("padding"), 0},
            {QStringLiteral("refreshInterval"), 300}};
}

QJsonObject stopHookGroup(const QString& command)
{
    const QJsonObject entry{{QStringLiteral("type"), QStringLiteral("command")}, {kCommand, command}, {QStringLiteral("timeout"), 10}};
    return {{kHooks, QJsonArray{entry}}};
}

bool isOwned(const QString& command, const QStringList& ownedCommands)
{
    for (const QString& owned : ownedCommands) {
        if (!owned.isEmpty() && command.contains(owned)) return true;
    }
    return false;
}

HookInstallState statusLineState(const QJsonObject& settings, const QStringList& ownedCommands)
{
    if (!settings.contains(kStatusLine)) return HookInstallState::notInstalled();
    const QJsonValue value = settings.value(kStatusLine);
    const QJsonValue command = value.toObject().value(kCommand);
    if (!value.isObject() || !command.isString()) return HookInstallState::conflicting(describe(value));
    if (isOwned(command.toString(), ownedCommands)) return HookInstallState::installed();
    return HookInstallState::conflicting(command.toString());
}

QStringList stopHookCommands(const QJsonObject& settings)
{
    QStringList commands;
    const QJsonArray groups = settings.value(kHooks).toObject().value(kStop).toArray();
    for (const QJsonValue& group : groups) {
        for (const QJsonValue& entry : group.toObject().value(kHooks).toArray()) {
            if (auto command = entryCommand(entry)) commands.append(*command);
        }
    }
    return commands;
}

QJsonObject installingStopHook(QJsonObject settings, const QString& command, const QStringList& ownedCommands)
{
    for (const QString& existing : stopHookCommands(settings)) {
        if (isOwned(existing, ownedCommands)) return settings;
    }
    QJsonObject hooks = settings.value(kHooks).toObject();
    QJsonArray groups = hooks.value(kStop).toArray();
    groups.append(stopHookGroup(command));
    hooks.insert(kStop, groups);
    settings.insert(kHooks, hooks);
    return settings;
}

QJsonObject removingStopHook(QJsonObject settings, const QStringList& ownedCommands)
{
    const QJsonValue hooksValue = settings.value(kHooks);
    QJsonObject hooks = hooksValue.toObject();
    if (!hooksValue.isObject() || hooks.isEmpty() || !hooks.value(kStop).isArray()) return settings;

    QJsonArray kept;
    for (const QJsonValue& group : hooks.value(kStop).toArray()) {
        QJsonObject object = group.toObject();
        if (!group.isObject() || object.isEmpty() || !object.value(kHooks).isArray()) {
            kept.append(group);
            continue;
        }
        QJsonArray remaining;
        bool dropped = false;
        for (const QJsonValue& entry : object.value(kHooks).toArray()) {
            const auto command = entryCommand(entry);
            if (command && isOwned(*command, ownedCommands)) {
                dropped = true;
            } else {
                remaining.append(entry);
            }
        }
        if (!dropped) {
            kept.append(group);
        } else if (!remaining.isEmpty()) {
            object.insert(kHooks, remaining);
            kept.append(object);
        }
    }

    if (kept.isEmpty()) {
        hooks.remove(kStop);
    } else {
        hooks.insert(kStop, kept);
    }
    if (hooks.isEmpty()) {
        settings.remove(kHooks);
    } else {
        settings.insert(kHooks, hooks);
    }
    return settings;
}

QSet<QString> removableTopLevelKeys()
{
    return {kStatusLine, kHooks};
}

} // namespace brisvane::SettingsJSONMerger
