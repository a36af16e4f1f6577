#include "app/Services/voice/QProcessVoicevoxAppLauncher.hpp"

#include "tests/app/Printers.hpp"
#include "tests/app/Services/EventLoopWaiting.hpp"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

using namespace brisvane;
using test::waitUntil;

namespace {

class QProcessVoicevoxAppLauncherTest : public testing::Test {
protected:
    QString path(const QString& relative) const { return root.filePath(relative); }
    // Writes a file (making its folders) with the given permission to run.
    void makeFile(const QString& relative, bool executable, const QByteArray& contents = "#!/bin/sh\nexit 0\n")
    {
        QDir().mkpath(QFileInfo(path(relative)).absolutePath());
        QFile file(path(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
        file.close();
        QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner;
        if (executable) permissions |= QFile::ExeOwner;
        ASSERT_TRUE(file.setPermissions(permissions));
    }
    QProcessVoicevoxAppLauncher launcher(const QString& searchPath) const
    {
        return QProcessVoicevoxAppLauncher(searchPath, path("home"));
    }

    QTemporaryDir root;
};

} // namespace

TEST_F(QProcessVoicevoxAppLauncherTest, TheFirstExecutableOfPathThenTheTwoAppImagesIsTheProgram)
{
    struct Case {
        const char* name;
        QStringList executables;
        QStringList others; // present but not runnable files; a trailing "/" makes a folder
        QString searchPath;
        std::optional<QString> program;
    };
    const QString bins = path("binA") + u':' + path("binB");
    const QString applications = QStringLiteral("home/Applications/VOICEVOX.AppImage");
    const QString localBin = QStringLiteral("home/.local/bin/VOICEVOX.AppImage");
    const Case cases[] = {
        {"nothing", {}, {}, bins, std::nullopt},
        {"second PATH folder", {"binB/voicevox"}, {}, bins, "binB/voicevox"},
        {"first PATH folder wins", {"binA/voicevox", "binB/voicevox"}, {}, bins, "binA/voicevox"},
        {"not executable is skipped", {"binB/voicevox"}, {"binA/voicevox"}, bins, "binB/voicevox"},
        {"a folder is skipped", {applications}, {"binA/voicevox/"}, bins, applications},
        {"PATH before the AppImages", {"binB/voicevox", applications, localBin}, {}, bins, "binB/voicevox"},
        {"Applications before .local/bin", {applications, localBin}, {}, bins, applications},
        {".local/bin", {localBin}, {}, bins, localBin},
        {"a non-executable AppImage", {}, {applications}, bins, std::nullopt},
        // Relative and empty entries would run a program from the working directory.
        {"relative PATH entries", {"binA/voicevox"}, {}, QStringLiteral("binA::."), std::nullopt},
        {"empty PATH", {localBin}, {}, QString(), localBin},
    };
    const QString savedDirectory = QDir::currentPath();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(root.path()).removeRecursively();
        QDir().mkpath(path("home"));
        for (const QString& file : c.executables) makeFile(file, true);
        for (const QString& file : c.others) {
            if (file.endsWith(u'/')) {
                QDir().mkpath(path(file));
            } else {
                makeFile(file, false);
            }
        }
        ASSERT_TRUE(QDir::setCurrent(root.path()));
        const QProcessVoicevoxAppLauncher subject = launcher(c.searchPath);
        EXPECT_EQ(subject.executablePath(), c.program ? std::optional<QString>(path(*c.program)) : std::nullopt);
        EXPECT_EQ(subject.isInstalled(), c.program.has_value());
    }
    QDir::setCurrent(savedDirectory);
}

TEST_F(QProcessVoicevoxAppLauncherTest, LaunchStartsTheProgramDetachedWithNoArgumentInTheHomeFolder)
{
    const QString marker = path("marker");
    QDir().mkpath(path("home"));
    // Reports its argument count, working directory and standard input, and chatters on its
    // outputs, which must not reach ours.
    makeFile("bin/voicevox", true,
             "#!/bin/sh\necho chatter; echo noise >&2\nprintf '%s|%s|%s' \"$#\" \"$PWD\" \"$(cat)\" > '" +
                 marker.toUtf8() + ".tmp'\nmv '" + marker.toUtf8() + ".tmp' '" + marker.toUtf8() + "'\n");
    QProcessVoicevoxAppLauncher subject = launcher(path("bin"));
    ASSERT_TRUE(subject.launch());
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(marker); }));
    QFile report(marker);
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(report.readAll()), QStringLiteral("0|%1|").arg(path("home")));
}

TEST_F(QProcessVoicevoxAppLauncherTest, LaunchIsFalseWhenNothingCanBeStarted)
{
    QDir().mkpath(path("home"));
    EXPECT_FALSE(launcher(path("bin")).launch());

    // Executable in name only: not handed to a shell to make sense of.
    makeFile("bin/voicevox", true, "touch '" + path("ran").toUtf8() + "'\n");
    EXPECT_FALSE(launcher(path("bin")).launch());
    test::runEventLoop(50);
    EXPECT_FALSE(QFile::exists(path("ran")));
}
