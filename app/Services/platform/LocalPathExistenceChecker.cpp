#include "app/Services/platform/LocalPathExistenceChecker.hpp"

#include <QFile>

#include <sys/stat.h>

namespace brisvane {

bool LocalPathExistenceChecker::fileExists(const QString& path, bool* isDirectory) const
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) return false;
    if (isDirectory) *isDirectory = S_ISDIR(info.st_mode);
    return true;
}

} // namespace brisvane
