#pragma once

// Temporary agent homes for tests: a copy of the checked-in home written by the real agent, or an
// empty one. Nothing here touches the real home.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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
