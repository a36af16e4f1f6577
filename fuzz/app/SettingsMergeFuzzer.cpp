// libFuzzer target: any bytes as the agent's settings file, through the edits the hook installer
// makes. A merge must keep every key it does not own and produce a document that reads back as
// itself.
#include "app/Services/integration/SettingsJSONMerger.hpp"

#include <QJsonDocument>

#include <cstdio>
#include <cstdlib>

using namespace brisvane;

namespace {

void require(bool condition, const char* what)
{
    if (condition) return;
    std::fprintf(stderr, "settings merge: %s\n", what);
    std::abort();
}

void requireReadsBack(const QJsonObject& settings)
{
    const QByteArray written = QJsonDocument(settings).toJson();
    QJsonParseError error;
    const QJsonDocument reread = QJsonDocument::fromJson(written, &error);
    require(error.error == QJsonParseError::NoError && reread.isObject(), "written document does not parse");
    require(reread.object() == settings, "written document reads back different");
}

void requireKeepsForeignKeys(const QJsonObject& before, const QJsonObject& after, bool mayRemoveOwn)
{
    const QSet<QString> removable = SettingsJSONMerger::removableTopLevelKeys();
    for (auto it = before.begin(); it != before.end(); ++it) {
        if (mayRemoveOwn && removable.contains(it.key())) continue;
        require(after.contains(it.key()), "a key the merge does not own was dropped");
        if (it.key() != QLatin1String("hooks")) require(after.value(it.key()) == it.value(), "a foreign value changed");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QJsonParseError error;
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)), &error);
    // The installer refuses a file that is not an object; nothing to merge then.
    if (error.error != QJsonParseError::NoError || !document.isObject()) return 0;
    const QJsonObject settings = document.object();
    const QStringList owned{QStringLiteral("/home/u/.claude/brisvane-hooks/stop.sh")};

    (void)SettingsJSONMerger::statusLineState(settings, owned);
    (void)SettingsJSONMerger::stopHookCommands(settings);

    const QJsonObject installed = SettingsJSONMerger::installingStopHook(settings, owned.first(), owned);
    requireKeepsForeignKeys(settings, installed, false);
    require(SettingsJSONMerger::stopHookCommands(installed).contains(owned.first()), "the hook was not added");
    requireReadsBack(installed);

    const QJsonObject removed = SettingsJSONMerger::removingStopHook(installed, owned);
    requireKeepsForeignKeys(settings, removed, true);
    for (const QString& command : SettingsJSONMerger::stopHookCommands(removed))
        require(!SettingsJSONMerger::isOwned(command, owned), "an owned hook survived its removal");
    requireReadsBack(removed);
    return 0;
}
