#pragma once

// Instants for tests, written as text with their offset, and file times set to them.

#include <QDateTime>
#include <QFile>
#include <QString>

#include <cstdint>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

namespace brisvane::test {

// "2026-03-01T09:05:00+09:00", "2026-03-01T00:00:00.500Z".
inline QDateTime at(const char* isoWithOffset)
{
    return QDateTime::fromString(QString::fromLatin1(isoWithOffset), Qt::ISODateWithMs);
}

// Sets the item's modification time (a symbolic link's own).
inline void setModified(const QString& path, const QDateTime& time)
{
    const int64_t ms = time.toMSecsSinceEpoch();
    const timespec times[2] = {{0, UTIME_OMIT}, {ms / 1000, (ms % 1000) * 1'000'000}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW), 0)
        << path.toStdString();
}

} // namespace brisvane::test
