#pragma once

// Temporary agent homes for tests: a copy of the checked-in home written by the real agent, or an
// empty one. Nothing here touches the real home.

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLatin1Char>
#include <QString>
#include <QTemporaryDir>

#include <cstdio>
#include <filesystem>

#include <gtest/gtest.h>

namespace brisvane::test {

inline QString fixtureAgentHome()
{
    return QDir::cleanPath(QStringLiteral(BRISVANE_TEST_DATA "/../app/data/agent-home"));
}

inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

// A session file as the agent writes it for an interactive session in ~/work/<project>.
inline QByteArray sessionFile(int pid, const char* status, const char* project)
{
    return QStringLiteral(R"({"pid":%1,"sessionId":"00000000-0000-4000-8000-%2","cwd":"/home/user/work/%3",)"
                          R"("startedAt":1796917384503,"version":"2.1.197","kind":"interactive","entrypoint":"cli",)"
                          R"("name":"%3","nameSource":"derived","status":"%4","updatedAt":1796917424904})")
        .arg(pid)
        .arg(pid, 12, 10, QLatin1Char('0'))
        .arg(QString::fromUtf8(project), QString::fromUtf8(status))
        .toUtf8();
}

// The plan-usage file the status-line script writes, fetched now: the five-hour window at
// `fiveHourPercentage`, the week at 75%.
inline QByteArray planUsage(int fiveHourPercentage)
{
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    return QStringLiteral(R"({"fetched_at":%1,"rate_limits":{"five_hour":{"used_percentage":%2,"resets_at":%3},)"
                          R"("seven_day":{"used_percentage":75,"resets_at":%4}}})")
        .arg(now)
        .arg(fiveHourPercentage)
        .arg(now + 2 * 3600)
        .arg(now + 3 * 86400)
        .toUtf8();
}

// Writes through a temporary file renamed into place, as the agent does.
inline void writeFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).path());
    const QString temporary = path + QStringLiteral(".writing");
    QFile file(temporary);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << temporary.toStdString();
    ASSERT_EQ(file.write(data), data.size());
    file.close();
    ASSERT_EQ(::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()), 0);
}

class TemporaryHome {
public:
    enum class Content { fixture, empty };

    explicit TemporaryHome(Content content = Content::fixture)
    {
        EXPECT_TRUE(dir_.isValid());
        const std::filesystem::path claude = QFile::encodeName(claudeHome()).toStdString();
        if (content == Content::fixture) {
            std::filesystem::copy(QFile::encodeName(fixtureAgentHome() + "/.claude").toStdString(), claude,
                                  std::filesystem::copy_options::recursive);
        } else {
            std::filesystem::create_directories(claude / "sessions");
        }
    }

    QString path() const { return dir_.path(); }
    QString claudeHome() const { return dir_.path() + QStringLiteral("/.claude"); }
    QString sessionsDirectory() const { return claudeHome() + QStringLiteral("/sessions"); }
    QString projectsDirectory() const { return claudeHome() + QStringLiteral("/projects"); }

private:
    QTemporaryDir dir_;
};

} // namespace brisvane::test
