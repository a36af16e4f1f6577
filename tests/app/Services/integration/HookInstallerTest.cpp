#include "app/Services/integration/HookInstaller.hpp"

#include "app/Services/integration/SettingsJSONMerger.hpp"
#include "app/Services/platform/LocalFileSystemReader.hpp"
#include "app/Services/platform/LocalFileSystemWriter.hpp"
#include "tests/app/AgentHome.hpp"
#include "tests/app/HookPrinters.hpp"
#include "tests/app/Printers.hpp"
#include "tests/app/Services/InterceptingFileSystemWriter.hpp"
#include "tests/app/Services/ScopedHomeEnvironment.hpp"
#include "tests/app/Services/ScriptRunner.hpp"

#include <QJsonArray>
#include <QJsonDocument>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace brisvane;
using ErrorKind = HookInstallerError::Kind;
using Operation = test::InterceptingFileSystemWriter::Operation;

namespace {

const QDateTime kNow(QDate(2026, 12, 9), QTime(8, 55, 16), Qt::UTC);
const QString kBackupSuffix = QStringLiteral(".brisvane-backup-20261209T085516Z");

// A user's settings with keys of every kind the installer must leave alone, including a Stop hook
// and a secret under "env".
const QByteArray kUserSettings = R"json({
  "model": "opus",
  "permissions": {"allow": ["Bash(npm test:*)"], "deny": ["Read(./.env)"]},
  "env": {"API_TOKEN": "s3cr3t/with/slashes"},
  "hooks": {
    "PreToolUse": [{"matcher": "Bash", "hooks": [{"type": "command", "command": "/home/user/bin/guard.sh"}]}],
    "Stop": [{"hooks": [{"type": "command", "command": "/home/user/bin/notify.sh"}]}]
  },
  "includeCoAuthoredBy": false,
  "cleanupPeriodDays": 30
}
)json";

const HookInstallationStatus kNothingInstalled{true, true, HookScriptsState::notInstalled,
                                               HookInstallState::notInstalled(), HookInstallState::notInstalled()};

QJsonObject parse(const QByteArray& bytes)
{
    return QJsonDocument::fromJson(bytes).object();
}

int mode(const QString& path)
{
    struct stat info {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return static_cast<int>(info.st_mode & 07777);
}

void setMode(const QString& path, int bits)
{
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), static_cast<mode_t>(bits)), 0);
}

QStringList entries(const QString& directory, const QString& filter = QStringLiteral("*"))
{
    return QDir(directory).entryList({filter}, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

class HookInstallerTest : public testing::Test {
protected:
    QString claudeHome() const { return home.claudeHome(); }
    QString settingsPath() const { return claudeHome() + QStringLiteral("/settings.json"); }
    QString supportDirectory() const { return home.path() + QStringLiteral("/.local/share/Brisvane"); }
    QStringList settingsFiles() const { return entries(claudeHome(), QStringLiteral("settings.json*")); }

    HookInstaller installer(std::shared_ptr<const FileSystemWriting> writer = std::make_shared<LocalFileSystemWriter>(),
                            const std::optional<QString>& support = std::nullopt) const
    {
        const HookInstaller defaults = HookInstaller::makeDefault(claudeHome(), support.value_or(supportDirectory()));
        return HookInstaller(defaults.configuration(), std::make_shared<LocalFileSystemReader>(), std::move(writer),
                             [] { return kNow; });
    }

    void writeSettings(const QByteArray& bytes, int bits = 0600)
    {
        test::writeFile(settingsPath(), bytes);
        setMode(settingsPath(), bits);
    }

    test::TemporaryHome home{test::TemporaryHome::Content::empty};
    test::ScopedHomeEnvironment environment{home.path()};
};

} // namespace

TEST_F(HookInstallerTest, InstallsBesideTheUsersSettingsAndUninstallsBackToThem)
{
    writeSettings(kUserSettings);
    const HookInstaller hooks = installer();
    const QString scripts = hooks.configuration().installedScriptsDirectory;
    // Uninstalling everything takes the whole scripts folder, but never a script at the legacy place.
    test::writeFile(scripts + QStringLiteral("/notes.txt"), "mine");
    test::writeFile(claudeHome() + QStringLiteral("/brisvane-say.sh"), "old");
    EXPECT_EQ(hooks.currentStatus(), kNothingInstalled);

    ASSERT_TRUE(hooks.install(HookKind::statusLine));
    ASSERT_TRUE(hooks.install(HookKind::stop));

    const QByteArray written = test::readFile(settingsPath());
    const QJsonObject settings = parse(written);
    const QJsonObject original = parse(kUserSettings);
    for (const QString& key : original.keys()) {
        if (key != u"hooks") {
            EXPECT_EQ(settings.value(key), original.value(key)) << key.toStdString();
        }
    }
    const QJsonObject hooksObject = settings.value("hooks").toObject();
    EXPECT_EQ(hooksObject.value("PreToolUse"), original.value("hooks").toObject().value("PreToolUse"));
    const QJsonArray stop = hooksObject.value("Stop").toArray();
    ASSERT_EQ(stop.size(), 2);
    EXPECT_EQ(stop[0], original.value("hooks").toObject().value("Stop").toArray()[0]);
    EXPECT_EQ(stop[1].toObject(), SettingsJSONMerger::stopHookGroup(hooks.command(HookKind::stop)));
    EXPECT_EQ(settings.value("statusLine").toObject(), SettingsJSONMerger::statusLineEntry(hooks.command(HookKind::statusLine)));
    EXPECT_EQ(hooks.command(HookKind::stop), u'\'' + scripts + QStringLiteral("/brisvane-say.sh'"));
    // Keys sorted at every level, "/" not escaped, the file still private.
    EXPECT_FALSE(written.contains("\\/"));
    EXPECT_LT(written.indexOf("\"cleanupPeriodDays\""), written.indexOf("\"env\""));
    EXPECT_LT(written.indexOf("\"PreToolUse\""), written.indexOf("\"Stop\""));
    EXPECT_EQ(mode(settingsPath()), 0600);

    // Two edits within one second: the second backup takes a new name, the first keeps the
    // user's own bytes. Both are as private as the original.
    EXPECT_EQ(settingsFiles(), QStringList({"settings.json", "settings.json" + kBackupSuffix, "settings.json" + kBackupSuffix + "-2"}));
    EXPECT_EQ(test::readFile(settingsPath() + kBackupSuffix), kUserSettings);
    EXPECT_EQ(mode(settingsPath() + kBackupSuffix), 0600);
    EXPECT_EQ(mode(settingsPath() + kBackupSuffix + "-2"), 0600);

    for (HookKind kind : kAllHookKinds) {
        EXPECT_EQ(test::readFile(hooks.scriptPath(kind)), test::readFile(":/hooks/" + scriptFileName(kind)));
        EXPECT_EQ(mode(hooks.scriptPath(kind)), 0755);
    }
    EXPECT_EQ(hooks.currentStatus(), (HookInstallationStatus{true, true, HookScriptsState::upToDate, HookInstallState::installed(),
                                                             HookInstallState::installed()}));

    // Installing again writes nothing, not even a backup.
    ASSERT_TRUE(hooks.install(HookKind::statusLine));
    ASSERT_TRUE(hooks.install(HookKind::stop));
    EXPECT_EQ(test::readFile(settingsPath()), written);
    EXPECT_EQ(settingsFiles().size(), 3);

    ASSERT_TRUE(hooks.uninstallAll());
    EXPECT_EQ(parse(test::readFile(settingsPath())), original);
    EXPECT_FALSE(QFileInfo::exists(scripts));
    EXPECT_EQ(test::readFile(claudeHome() + QStringLiteral("/brisvane-say.sh")), "old");
    EXPECT_EQ(hooks.currentStatus(), kNothingInstalled);
    EXPECT_TRUE(entries(claudeHome(), QStringLiteral("*.brisvane-tmp-*")).isEmpty());
}

TEST_F(HookInstallerTest, StartsTheSettingsFileWhenThereIsNone)
{
    const HookInstaller hooks = installer();
    EXPECT_EQ(hooks.currentStatus(), (HookInstallationStatus{true, false, HookScriptsState::notInstalled,
                                                             HookInstallState::notInstalled(), HookInstallState::notInstalled()}));
    ASSERT_TRUE(hooks.install(HookKind::stop));
    EXPECT_EQ(parse(test::readFile(settingsPath())),
              (QJsonObject{{"hooks", QJsonObject{{"Stop", QJsonArray{SettingsJSONMerger::stopHookGroup(hooks.command(HookKind::stop))}}}}}));
    // Nothing was there to back up.
    EXPECT_EQ(settingsFiles(), QStringList{"settings.json"});
    // Uninstalling a status line that was never there writes nothing.
    ASSERT_TRUE(hooks.uninstall(HookKind::statusLine));
    EXPECT_EQ(settingsFiles(), QStringList{"settings.json"});
}

TEST_F(HookInstallerTest, QuotesCommandsSoThatPathsWithSpacesAndQuotesRun)
{
    writeSettings("{}");
    const HookInstaller hooks = installer(std::make_shared<LocalFileSystemWriter>(), home.path() + QStringLiteral("/My Data/it's"));
    ASSERT_TRUE(hooks.install(HookKind::statusLine));
    ASSERT_TRUE(hooks.install(HookKind::stop));
    const QJsonObject settings = parse(test::readFile(settingsPath()));
    const QString statusLineCommand = settings.value("statusLine").toObject().value("command").toString();
    EXPECT_EQ(statusLineCommand, u'\'' + home.path() + QStringLiteral("/My Data/it'\\''s/hooks/brisvane-statusline.sh'"));
    EXPECT_EQ(hooks.currentStatus().statusLine, HookInstallState::installed());
    EXPECT_EQ(hooks.currentStatus().stop, HookInstallState::installed());
    const QByteArray before = test::readFile(settingsPath());
    ASSERT_TRUE(hooks.install(HookKind::stop));
    EXPECT_EQ(test::readFile(settingsPath()), before);

    // The agent hands the command to a shell as it stands.
    const test::ScriptRun run = test::runShell({"-c", statusLineCommand},
                                               test::readFile(test::fixtureAgentHome() + "/statusline-input-rate-limits.json"), home.path());
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, "Sonnet 5 | 5h 29% | 7d 50%\n");
    EXPECT_TRUE(QFileInfo::exists(claudeHome() + QStringLiteral("/brisvane-usage.json")));
}

TEST_F(HookInstallerTest, LeavesAForeignStatusLineUnlessAskedToReplaceIt)
{
    // The agent's own settings file, with another status line and another Stop hook.
    const QByteArray foreign = test::readFile(test::fixtureAgentHome() + "/settings.json");
    writeSettings(foreign);
    const HookInstaller hooks = installer();
    EXPECT_EQ(hooks.currentStatus().statusLine, HookInstallState::conflicting("/home/user/work/hooks/statusline.sh"));
    EXPECT_EQ(hooks.currentStatus().stop, HookInstallState::notInstalled());

    EXPECT_EQ(hooks.install(HookKind::statusLine).error(),
              (HookInstallerError{ErrorKind::statusLineConflict, "/home/user/work/hooks/statusline.sh"}));
    ASSERT_TRUE(hooks.uninstall(HookKind::statusLine));
    EXPECT_EQ(test::readFile(settingsPath()), foreign);
    EXPECT_EQ(settingsFiles(), QStringList{"settings.json"});
    EXPECT_FALSE(QFileInfo::exists(hooks.scriptPath(HookKind::statusLine)));

    ASSERT_TRUE(hooks.install(HookKind::statusLine, true));
    const QJsonObject settings = parse(test::readFile(settingsPath()));
    EXPECT_EQ(settings.value("statusLine").toObject(), SettingsJSONMerger::statusLineEntry(hooks.command(HookKind::statusLine)));
    EXPECT_EQ(settings.value("hooks"), parse(foreign).value("hooks"));
    EXPECT_EQ(test::readFile(settingsPath() + kBackupSuffix), foreign);
}

TEST_F(HookInstallerTest, RefusesSettingsItCannotParseOrRead)
{
    const std::function<HookInstaller::Outcome(const HookInstaller&)> operations[] = {
        [](const HookInstaller& hooks) { return hooks.install(HookKind::stop); },
        [](const HookInstaller& hooks) { return hooks.install(HookKind::statusLine, true); },
        [](const HookInstaller& hooks) { return hooks.uninstall(HookKind::stop); },
        [](const HookInstaller& hooks) { return hooks.uninstallAll(); },
    };
    const HookInstaller hooks = installer();
    for (const QByteArray& content : {QByteArray("{\"model\": \"opus\""), QByteArray("[]"), QByteArray("null"), QByteArray()}) {
        SCOPED_TRACE(content.toStdString());
        writeSettings(content);
        for (const auto& operation : operations) {
            EXPECT_EQ(operation(hooks).error(), (HookInstallerError{ErrorKind::settingsInvalidJSON, {}}));
        }
        EXPECT_EQ(test::readFile(settingsPath()), content);
        EXPECT_EQ(settingsFiles(), QStringList{"settings.json"});
        EXPECT_FALSE(QFileInfo::exists(hooks.configuration().installedScriptsDirectory));
        EXPECT_EQ(hooks.currentStatus(), (HookInstallationStatus{false, true, HookScriptsState::notInstalled,
                                                                 HookInstallState::notInstalled(), HookInstallState::notInstalled()}));
    }

    // Something that is not a regular file is not read at all.
    QFile::remove(settingsPath());
    QDir().mkdir(settingsPath());
    EXPECT_EQ(hooks.install(HookKind::stop).error(), (HookInstallerError{ErrorKind::settingsUnreadable, {}}));
    EXPECT_EQ(hooks.uninstallAll().error(), (HookInstallerError{ErrorKind::settingsUnreadable, {}}));
    EXPECT_FALSE(hooks.currentStatus().isSettingsReadable);
}

TEST_F(HookInstallerTest, FailuresAtAnyStepLeaveTheSettingsByteIdentical)
{
    const QString temporaryMarker = QStringLiteral(".brisvane-tmp-");
    const struct {
        const char* name;
        Operation operation;
        const char* pathPart; // the operation fails on paths containing this
        HookInstallerError expected;
    } cases[] = {
        {"script folder", Operation::createDirectory, "hooks", {ErrorKind::scriptCopyFailed, "brisvane-say.sh"}},
        {"script", Operation::write, "brisvane-say.sh", {ErrorKind::scriptCopyFailed, "brisvane-say.sh"}},
        {"script mode", Operation::setExecutable, "brisvane-say.sh", {ErrorKind::scriptCopyFailed, "brisvane-say.sh"}},
        {"backup", Operation::createFile, ".brisvane-backup-", {ErrorKind::backupFailed, {}}},
        {"temporary file", Operation::createFile, ".brisvane-tmp-", {ErrorKind::writeFailed, {}}},
        {"replacement", Operation::replaceItem, "settings.json", {ErrorKind::writeFailed, {}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeSettings(kUserSettings);
        auto writer = std::make_shared<test::InterceptingFileSystemWriter>();
        writer->before = [&](Operation operation, const QString& path) {
            return operation != c.operation || !path.contains(QString::fromUtf8(c.pathPart));
        };
        const HookInstaller hooks = installer(writer);
        EXPECT_EQ(hooks.install(HookKind::stop).error(), c.expected);
        EXPECT_EQ(test::readFile(settingsPath()), kUserSettings);
        EXPECT_TRUE(entries(claudeHome(), "*" + temporaryMarker + "*").isEmpty());
        for (const QString& backup : entries(claudeHome(), QStringLiteral("*.brisvane-backup-*"))) {
            EXPECT_EQ(test::readFile(claudeHome() + u'/' + backup), kUserSettings);
            QFile::remove(claudeHome() + u'/' + backup);
        }
        LocalFileSystemWriter().removeItem(hooks.configuration().installedScriptsDirectory);
    }
}

TEST_F(HookInstallerTest, NeverOverwritesAnEditMadeWhileItWorks)
{
    const QByteArray edited = R"({"model": "sonnet"})";
    const struct {
        const char* name;
        std::function<void(const QString& temporaryPath)> interfere;
        QByteArray expected;
    } cases[] = {
        {"the user saves the settings", [&](const QString&) { test::writeFile(settingsPath(), edited); }, edited},
        {"the new file does not read back", [&](const QString& temporary) { test::writeFile(temporary, "{}"); }, kUserSettings},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeSettings(kUserSettings);
        auto writer = std::make_shared<test::InterceptingFileSystemWriter>();
        writer->after = [&](Operation operation, const QString& path) {
            if (operation == Operation::createFile && path.contains(QStringLiteral(".brisvane-tmp-"))) c.interfere(path);
        };
        EXPECT_EQ(installer(writer).install(HookKind::stop).error(), (HookInstallerError{ErrorKind::verificationFailed, {}}));
        EXPECT_EQ(test::readFile(settingsPath()), c.expected);
        EXPECT_TRUE(entries(claudeHome(), QStringLiteral("*.brisvane-tmp-*")).isEmpty());
    }
}

TEST_F(HookInstallerTest, WritesThroughASymbolicLinkToItsTarget)
{
    // Settings kept in a dotfiles repository, linked relatively; and a link whose target is yet
    // to be made.
    const QString dotfiles = home.path() + QStringLiteral("/dotfiles");
    QDir().mkpath(dotfiles);
    for (const bool targetExists : {true, false}) {
        SCOPED_TRACE(targetExists ? "existing target" : "missing target");
        const QString target = dotfiles + (targetExists ? QStringLiteral("/settings.json") : QStringLiteral("/new.json"));
        if (targetExists) {
            test::writeFile(target, kUserSettings);
            setMode(target, 0600);
        }
        QFile::remove(settingsPath());
        ASSERT_TRUE(QFile::link(QStringLiteral("../dotfiles/") + QFileInfo(target).fileName(), settingsPath()));

        ASSERT_TRUE(installer().install(HookKind::stop));
        EXPECT_TRUE(QFileInfo(settingsPath()).isSymLink());
        EXPECT_EQ(QFileInfo(settingsPath()).symLinkTarget(), target);
        EXPECT_EQ(parse(test::readFile(target)).value("hooks").toObject().value("Stop").toArray().size(), targetExists ? 2 : 1);
        if (targetExists) {
            EXPECT_EQ(mode(target), 0600);
            EXPECT_EQ(test::readFile(target + kBackupSuffix), kUserSettings);
        }
        EXPECT_EQ(settingsFiles(), QStringList{"settings.json"});
    }
}

TEST_F(HookInstallerTest, NeedsTheApplicationsOwnScripts)
{
    writeSettings(kUserSettings);
    const HookInstaller defaults = installer();
    QTemporaryDir emptyResources;
    for (const std::optional<QString>& bundled : {std::optional<QString>(), std::optional<QString>(emptyResources.path())}) {
        HookInstallerConfiguration configuration = defaults.configuration();
        configuration.bundledScriptsDirectory = bundled;
        const HookInstaller hooks(configuration, std::make_shared<LocalFileSystemReader>(), std::make_shared<LocalFileSystemWriter>(),
                                  [] { return kNow; });
        EXPECT_EQ(hooks.install(HookKind::stop).error(), (HookInstallerError{ErrorKind::bundledScriptMissing, "brisvane-say.sh"}));
        EXPECT_EQ(test::readFile(settingsPath()), kUserSettings);
        EXPECT_EQ(settingsFiles(), QStringList{"settings.json"});
    }
}

TEST_F(HookInstallerTest, SyncBringsInstalledScriptsUpToDateAndInstallsNone)
{
    const HookInstaller hooks = installer();
    ASSERT_TRUE(hooks.install(HookKind::stop));
    test::writeFile(hooks.scriptPath(HookKind::stop), "#!/bin/sh\n# an older version\n");
    EXPECT_EQ(hooks.currentStatus().scripts, HookScriptsState::outdated);

    hooks.syncInstalledScriptsIfNeeded();
    EXPECT_EQ(test::readFile(hooks.scriptPath(HookKind::stop)), test::readFile(":/hooks/brisvane-say.sh"));
    EXPECT_EQ(mode(hooks.scriptPath(HookKind::stop)), 0755);
    EXPECT_FALSE(QFileInfo::exists(hooks.scriptPath(HookKind::statusLine)));
    EXPECT_EQ(hooks.currentStatus().scripts, HookScriptsState::upToDate);
}

TEST_F(HookInstallerTest, DefaultsToTheApplicationsDataFolderAndResources)
{
    const HookInstallerConfiguration configuration = HookInstaller::makeDefault(claudeHome()).configuration();
    EXPECT_EQ(configuration.settingsPath, settingsPath());
    EXPECT_EQ(configuration.installedScriptsDirectory,
              QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/hooks"));
    EXPECT_TRUE(configuration.installedScriptsDirectory.startsWith(home.path() + QStringLiteral("/.local/share/")));
    EXPECT_EQ(configuration.legacyScriptsDirectory, claudeHome());
    ASSERT_TRUE(configuration.bundledScriptsDirectory);
    for (HookKind kind : kAllHookKinds) {
        EXPECT_TRUE(test::readFile(*configuration.bundledScriptsDirectory + u'/' + scriptFileName(kind)).startsWith("#!/bin/sh\n"));
    }
}
