#include "app/Services/platform/LocalFileSystemWriter.hpp"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brisvane {

namespace {

using Kind = FileSystemWritingError::Kind;

std::filesystem::path nativePath(const QString& path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

bool writeAll(int fd, const QByteArray& data)
{
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, static_cast<size_t>(data.size() - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += n;
    }
    return true;
}

// A new file beside `path`, hidden, with a random suffix; -1 when none could be made.
int createTemporaryFile(const QString& path, QByteArray& temporaryPath)
{
    const QFileInfo info(path);
    for (int attempt = 0; attempt < 8; ++attempt) {
        const QString name = QStringLiteral(".%1.%2.tmp")
                                 .arg(info.fileName())
                                 .arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
        temporaryPath = QFile::encodeName(info.dir().filePath(name));
        // 0666 under the umask: the mode a newly written file gets anyway.
        const int fd = ::open(temporaryPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

} // namespace

FileSystemWriting::Outcome LocalFileSystemWriter::write(const QByteArray& data, const QString& path) const
{
    const FileSystemWritingError failed{Kind::writeFailed, path};
    QByteArray temporaryPath;
    const int fd = createTemporaryFile(path, temporaryPath);
    if (fd < 0) return failed;
    const bool written = writeAll(fd, data) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(temporaryPath.constData(), QFile::encodeName(path).constData()) != 0) {
        ::unlink(temporaryPath.constData());
        return failed;
    }
    return {};
}

FileSystemWriting::Outcome LocalFileSystemWriter::createFile(const QByteArray& data, const QString& path,
                                                             std::optional<int> permissions) const
{
    const QByteArray native = QFile::encodeName(path);
    // O_EXCL also refuses a symbolic link at the path, dangling or not, so nothing is written
    // through one.
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, permissions ? *permissions & 0777 : 0666);
    if (fd < 0) return FileSystemWritingError{errno == EEXIST ? Kind::itemExists : Kind::writeFailed, path};
    // The umask narrowed the mode given to open; a copy gets the original's bits exactly.
    bool written = (!permissions || ::fchmod(fd, static_cast<mode_t>(*permissions & 0777)) == 0) && writeAll(fd, data)
        && ::fsync(fd) == 0;
    written = ::close(fd) == 0 && written;
    if (!written) {
        ::unlink(native.constData());
        return FileSystemWritingError{Kind::writeFailed, path};
    }
    return {};
}

FileSystemWriting::Outcome LocalFileSystemWriter::createDirectory(const QString& path) const
{
    std::error_code error;
    std::filesystem::create_directories(nativePath(path), error);
    if (error) return FileSystemWritingError{Kind::createDirectoryFailed, path};
    return {};
}

FileSystemWriting::Outcome LocalFileSystemWriter::replaceItem(const QString& target, const QString& source) const
{
    const FileSystemWritingError failed{Kind::replaceFailed, target};
    const QByteArray nativeTarget = QFile::encodeName(target);
    const QByteArray nativeSource = QFile::encodeName(source);
    struct stat info {};
    if (::stat(nativeTarget.constData(), &info) == 0) {
        // A settings file the user keeps private stays private after the replacement.
        if (::chmod(nativeSource.constData(), info.st_mode & 07777) != 0) return failed;
    }
    if (::rename(nativeSource.constData(), nativeTarget.constData()) != 0) return failed;
    return {};
}

FileSystemWriting::Outcome LocalFileSystemWriter::removeItem(const QString& path) const
{
    const std::filesystem::path native = nativePath(path);
    std::error_code error;
    const auto status = std::filesystem::symlink_status(native, error);
    if (status.type() == std::filesystem::file_type::not_found) return {};
    if (!error) std::filesystem::remove_all(native, error);
    if (error) return FileSystemWritingError{Kind::removeFailed, path};
    return {};
}

FileSystemWriting::Outcome LocalFileSystemWriter::setExecutable(const QString& path) const
{
    if (::chmod(QFile::encodeName(path).constData(), 0755) != 0) return FileSystemWritingError{Kind::writeFailed, path};
    return {};
}

} // namespace brisvane
