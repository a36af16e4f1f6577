#include "app/Services/integration/HookInstaller.hpp"

#include "app/Services/integration/GuardedFileTransaction.hpp"
#include "app/Services/integration/SettingsJSONMerger.hpp"
#include "app/Services/platform/LocalFileSystemReader.hpp"
#include "app/Services/platform/LocalFileSystemWriter.hpp"
#include "app/Services/tiles/ShellPathQuoter.hpp"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QStandardPaths>

#include <algorithm>

// The scripts are resources of this static library; the linker keeps them only when something
// refers to them, so the installer that reads them registers them.
static void registerBundledScripts()
{
    Q_INIT_RESOURCE(resources);
}

namespace brisvane {

namespace {

Q_LOGGING_CATEGORY(lcHookInstaller, "brisvane.HookInstaller")

using ErrorKind = HookInstallerError::Kind;
using GuardedFileTransaction::Failure;

// The application's scripts are a few kilobytes; anything bigger is not one of them.
constexpr qint64 kMaxBundledScriptBytes = 1024 * 1024;

HookInstallerError error(ErrorKind kind, QString detail = {})
{
    return {kind, std::move(detail)};
}

} // namespace

HookInstaller::HookInstaller(HookInstallerConfiguration configuration, std::shared_ptr<const FileSystemReading> reader,
                             std::shared_ptr<const FileSystemWriting> writer, std::function<QDateTime()> clock)
    : configuration_(std::move(configuration))
    , reader_(std::move(reader))
    , writer_(std::move(writer))
    , clock_(std::move(clock))
{
}

HookInstaller HookInstaller::makeDefault(const QString& claudeHome, const std::optional<QString>& supportDirectory)
{
    static const bool registered = (registerBundledScripts(), true);
    Q_UNUSED(registered);

    QString support = supportDirectory.value_or(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    if (support.isEmpty()) support = QDir::homePath() + QStringLiteral("/.local/share/Brisvane");
    HookInstallerConfiguration configuration{
        claudeHome + QStringLiteral("/settings.json"),
        support + QStringLiteral("/hooks"),
        QStringLiteral(":/hooks"),
        claudeHome,
    };
    return HookInstaller(std::move(configuration), std::make_shared<LocalFileSystemReader>(),
                         std::make_shared<LocalFileSystemWriter>(), [] { return QDateTime::currentDateTimeUtc(); });
}

QString HookInstaller::scriptPath(HookKind kind) const
{
    return configuration_.installedScriptsDirectory + u'/' + scriptFileName(kind);
}

QString HookInstaller::command(HookKind kind) const
{
    return ShellPathQuoter::quote(scriptPath(kind));
}

QStringList HookInstaller::ownedCommands(HookKind kind) const
{
    return {scriptPath(kind), configuration_.legacyScriptsDirectory + u'/' + scriptFileName(kind), command(kind)};
}

Result<QJsonObject, HookInstallerError> HookInstaller::loadSettings() const
{
    const auto snapshot = GuardedFileTransaction::read(configuration_.settingsPath, *reader_);
    if (!snapshot) return error(ErrorKind::settingsUnreadable);
    if (!snapshot->content) return QJsonObject{};
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(*snapshot->content, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        return error(ErrorKind::settingsInvalidJSON);
    }
    return document.object();
}

// Read through QFile, which reads resources as well as files: the application's copies are not
// the user's files, and the file-system reader sees only the latter.
std::optional<QByteArray> HookInstaller::bundledScript(HookKind kind) const
{
    if (!configuration_.bundledScriptsDirectory) return std::nullopt;
    QFile file(*configuration_.bundledScriptsDirectory + u'/' + scriptFileName(kind));
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    QByteArray data = file.read(kMaxBundledScriptBytes + 1);
    if (data.size() > kMaxBundledScriptBytes) return std::nullopt;
    return data;
}

HookInstaller::Outcome HookInstaller::installScript(HookKind kind) const
{
    const std::optional<QByteArray> bundled = bundledScript(kind);
    if (!bundled) return error(ErrorKind::bundledScriptMissing, scriptFileName(kind));
    const auto installed = reader_->readData(scriptPath(kind));
    if (installed && *installed == *bundled) return {};
    if (!writer_->createDirectory(configuration_.installedScriptsDirectory) || !writer_->write(*bundled, scriptPath(kind))
        || !writer_->setExecutable(scriptPath(kind))) {
        return error(ErrorKind::scriptCopyFailed, scriptFileName(kind));
    }
    return {};
}

void HookInstaller::syncInstalledScriptsIfNeeded() const
{
    for (HookKind kind : kAllHookKinds) {
        const auto installed = reader_->readData(scriptPath(kind));
        if (!installed) continue;
        const std::optional<QByteArray> bundled = bundledScript(kind);
        if (!bundled || *bundled == *installed) continue;
        if (writer_->write(*bundled, scriptPath(kind)) && writer_->setExecutable(scriptPath(kind))) {
            qCInfo(lcHookInstaller, "フックスクリプトを更新: %s", qUtf8Printable(scriptFileName(kind)));
        } else {
            qCWarning(lcHookInstaller, "フックスクリプトの更新に失敗: %s", qUtf8Printable(scriptFileName(kind)));
        }
    }
}

HookScriptsState HookInstaller::scriptsState() const
{
    int installedCount = 0;
    bool outdated = false;
    for (HookKind kind : kAllHookKinds) {
        const auto installed = reader_->readData(scriptPath(kind));
        if (!installed) continue;
        ++installedCount;
        const std::optional<QByteArray> bundled = bundledScript(kind);
        if (bundled && *bundled != *installed) outdated = true;
    }
    if (installedCount == 0) return HookScriptsState::notInstalled;
    return outdated ? HookScriptsState::outdated : HookScriptsState::upToDate;
}

HookInstallationStatus HookInstaller::currentStatus() const
{
    HookInstallationStatus status;
    status.settingsFileExists = reader_->fileExists(configuration_.settingsPath);
    status.scripts = scriptsState();
    const auto settings = loadSettings();
    if (!settings) {
        status.isSettingsReadable = false;
        return status;
    }
    status.statusLine = SettingsJSONMerger::statusLineState(*settings, ownedCommands(HookKind::statusLine));
    const QStringList stopCommands = SettingsJSONMerger::stopHookCommands(*settings);
    const QStringList owned = ownedCommands(HookKind::stop);
    const bool stopInstalled = std::any_of(stopCommands.begin(), stopCommands.end(),
                                           [&](const QString& command) { return SettingsJSONMerger::isOwned(command, owned); });
    status.stop = stopInstalled ? HookInstallState::installed() : HookInstallState::notInstalled();
    return status;
}

HookInstaller::Outcome HookInstaller::install(HookKind kind, bool replacingConflictingStatusLine) const
{
    const auto settings = loadSettings();
    if (!settings) return settings.error();
    const QStringList owned = ownedCommands(kind);
    if (kind == HookKind::statusLine && !replacingConflictingStatusLine) {
        const HookInstallState state = SettingsJSONMerger::statusLineState(*settings, owned);
        if (state.kind == HookInstallState::Kind::conflicting) {
            return error(ErrorKind::statusLineConflict, state.existingCommand);
        }
    }
    if (auto installed = installScript(kind); !installed) return installed;

    const QString newCommand = command(kind);
    const auto outcome = updateSettings({}, [&](QJsonObject document) -> Result<QJsonObject, HookInstallerError> {
        if (kind == HookKind::stop) return SettingsJSONMerger::installingStopHook(std::move(document), newCommand, owned);
        const HookInstallState state = SettingsJSONMerger::statusLineState(document, owned);
        if (state.kind == HookInstallState::Kind::installed) return document;
        // Someone set a status line since the check above.
        if (state.kind == HookInstallState::Kind::conflicting && !replacingConflictingStatusLine) {
            return error(ErrorKind::statusLineConflict, state.existingCommand);
        }
        document.insert(QStringLiteral("statusLine"), SettingsJSONMerger::statusLineEntry(newCommand));
        return document;
    });
    if (!outcome) return outcome;
    qCInfo(lcHookInstaller, "フックを導入: kind=%s", qUtf8Printable(rawValue(kind)));
    return {};
}

namespace {

QJsonObject removingOwnStatusLine(QJsonObject document, const QStringList& owned)
{
    if (SettingsJSONMerger::statusLineState(document, owned).kind == HookInstallState::Kind::installed) {
        document.remove(QStringLiteral("statusLine"));
    }
    return document;
}

} // namespace

HookInstaller::Outcome HookInstaller::uninstall(HookKind kind) const
{
    const QStringList owned = ownedCommands(kind);
    const auto outcome = updateSettings(SettingsJSONMerger::removableTopLevelKeys(), [&](QJsonObject document) {
        if (kind == HookKind::stop) return SettingsJSONMerger::removingStopHook(std::move(document), owned);
        return removingOwnStatusLine(std::move(document), owned);
    });
    if (!outcome) return outcome;
    qCInfo(lcHookInstaller, "フックを撤去: kind=%s", qUtf8Printable(rawValue(kind)));
    return {};
}

HookInstaller::Outcome HookInstaller::uninstallAll() const
{
    const auto outcome = updateSettings(SettingsJSONMerger::removableTopLevelKeys(), [&](QJsonObject document) {
        document = removingOwnStatusLine(std::move(document), ownedCommands(HookKind::statusLine));
        return SettingsJSONMerger::removingStopHook(std::move(document), ownedCommands(HookKind::stop));
    });
    if (!outcome) return outcome;
    writer_->removeItem(configuration_.installedScriptsDirectory);
    qCInfo(lcHookInstaller, "連携を完全撤去した");
    return {};
}

HookInstaller::Outcome HookInstaller::updateSettings(
    const QSet<QString>& allowedRemovals,
    const std::function<Result<QJsonObject, HookInstallerError>(QJsonObject)>& transform) const
{
    const auto snapshot = GuardedFileTransaction::read(configuration_.settingsPath, *reader_);
    if (!snapshot) return error(ErrorKind::settingsUnreadable);
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(snapshot->content.value_or(QByteArrayLiteral("{}")), &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) return error(ErrorKind::settingsInvalidJSON);
    const QJsonObject parsed = document.object();

    const auto edited = transform(parsed);
    if (!edited) return edited.error();
    if (*edited == parsed) return {};

    QStringList removed;
    for (const QString& key : parsed.keys()) {
        if (!edited->contains(key) && !allowedRemovals.contains(key)) removed.append(key);
    }
    if (!removed.isEmpty()) {
        removed.sort();
        qCCritical(lcHookInstaller, "マージ結果が既存キーを削除しようとしたため中止: %s", qUtf8Printable(removed.join(u',')));
        return error(ErrorKind::verificationFailed);
    }

    // Indented, keys sorted at every level (QJsonObject keeps them so), "/" left unescaped.
    const QByteArray serialized = QJsonDocument(*edited).toJson(QJsonDocument::Indented);
    const auto committed = GuardedFileTransaction::commit(*snapshot, serialized, clock_(), *reader_, *writer_);
    if (committed) return {};
    switch (committed.error()) {
    case Failure::unreadable:
        return error(ErrorKind::settingsUnreadable);
    case Failure::backupFailed:
        return error(ErrorKind::backupFailed);
    case Failure::writeFailed:
        return error(ErrorKind::writeFailed);
    case Failure::verificationFailed:
        qCCritical(lcHookInstaller, "一時ファイルの検証に失敗したため、settings.jsonは変更していない");
        return error(ErrorKind::verificationFailed);
    case Failure::changedSinceRead:
        break;
    }
    qCCritical(lcHookInstaller, "編集中にsettings.jsonが変更されたため、上書きせずに中止した");
    return error(ErrorKind::verificationFailed);
}

} // namespace brisvane
