#include "app/Services/platform/LocalFileSystemReader.hpp"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brisvane {

namespace {

// An open descriptor, closed on every path out (a failed close changes nothing for a reader).
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor()
    {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }

private:
    int fd_;
};

FileVersion versionOf(const struct stat& info)
{
    return {uint64_t(info.st_dev), uint64_t(info.st_ino), int64_t{info.st_size},
            int64_t{info.st_mtim.tv_sec} * 1'000'000'000 + info.st_mtim.tv_nsec};
}

// Opens a regular file for reading and reports its version. O_NONBLOCK makes the open of a FIFO
// return at once so that fstat can turn it away; on a regular file the flag changes nothing.
Result<FileVersion, FileSystemReadingError> openRegularFile(const QString& path, int& fdOut)
{
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return LocalFileSystemReader::errorFor(errno, path);
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        return LocalFileSystemReader::errorFor(error, path);
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return FileSystemReadingError{FileSystemReadingError::Kind::notRegularFile, path};
    }
    fdOut = fd;
    return versionOf(info);
}

// Reads up to `count` bytes from `offset` on, fewer when the file ends first; -1 on an error
// (errno set).
int64_t readAt(int fd, char* buffer, int64_t count, int64_t offset)
{
    int64_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(fd, buffer + done, static_cast<size_t>(count - done), offset + done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        done += n;
    }
    return done;
}

} // namespace

FileSystemReadingError LocalFileSystemReader::errorFor(int errorNumber, const QString& path)
{
    using Kind = FileSystemReadingError::Kind;
    switch (errorNumber) {
    case ENOENT:
        return {Kind::fileNotFound, path};
    case EACCES:
    case EPERM:
        return {Kind::permissionDenied, path};
    default:
        return {Kind::ioFailed, path};
    }
}

Result<QStringList, FileSystemReadingError> LocalFileSystemReader::contentsOfDirectory(const QString& path) const
{
    const QByteArray native = QFile::encodeName(path);
    DIR* directory = ::opendir(native.constData());
    if (!directory) return errorFor(errno, path);
    QStringList names;
    int error = 0;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(directory);
        if (!entry) {
            error = errno;
            break;
        }
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        names.append(QFile::decodeName(name));
    }
    ::closedir(directory);
    // A listing cut short by an error is not a listing: the caller would take the missing
    // names for removed files.
    if (error != 0) return errorFor(error, path);
    return names;
}

Result<QDateTime, FileSystemReadingError> LocalFileSystemReader::modificationDate(const QString& path) const
{
    const QByteArray native = QFile::encodeName(path);
    struct stat info {};
    if (::lstat(native.constData(), &info) != 0) return errorFor(errno, path);
    const int64_t milliseconds = int64_t{info.st_mtim.tv_sec} * 1000 + info.st_mtim.tv_nsec / 1'000'000;
    return QDateTime::fromMSecsSinceEpoch(milliseconds, Qt::UTC);
}

Result<FileTail, FileSystemReadingError> LocalFileSystemReader::readTail(const QString& path, int64_t maxBytes) const
{
    int fd = -1;
    const auto opened = openRegularFile(path, fd);
    if (!opened) return opened.error();
    const FileDescriptor file(fd);
    const int64_t size = opened->size;

    const int64_t count = std::min(size, std::max<int64_t>(maxBytes, 0));
    QByteArray data(static_cast<qsizetype>(count), Qt::Uninitialized);
    const int64_t read = readAt(file.get(), data.data(), count, size - count);
    if (read < 0) return errorFor(errno, path);
    data.truncate(static_cast<qsizetype>(read));
    return FileTail{data, count != size};
}

Result<QByteArray, FileSystemReadingError> LocalFileSystemReader::readData(const QString& path) const
{
    int fd = -1;
    const auto opened = openRegularFile(path, fd);
    if (!opened) return opened.error();
    const FileDescriptor file(fd);
    const FileSystemReadingError tooLarge{FileSystemReadingError::Kind::tooLarge, path};
    if (opened->size > kMaxWholeFileBytes) return tooLarge;

    // One byte more than the size notices a file that grew since fstat; it is then read on, up to
    // one byte past the cap.
    int64_t capacity = opened->size + 1;
    QByteArray data(static_cast<qsizetype>(capacity), Qt::Uninitialized);
    int64_t read = readAt(file.get(), data.data(), capacity, 0);
    while (read == capacity && capacity <= kMaxWholeFileBytes) {
        capacity = std::min(capacity * 2, kMaxWholeFileBytes + 1);
        data.resize(static_cast<qsizetype>(capacity));
        const int64_t more = readAt(file.get(), data.data() + read, capacity - read, read);
        if (more < 0) return errorFor(errno, path);
        read += more;
    }
    if (read < 0) return errorFor(errno, path);
    if (read > kMaxWholeFileBytes) return tooLarge;
    data.truncate(static_cast<qsizetype>(read));
    return data;
}

Result<FileVersion, FileSystemReadingError> LocalFileSystemReader::fileVersion(const QString& path) const
{
    const QByteArray native = QFile::encodeName(path);
    struct stat info {};
    if (::stat(native.constData(), &info) != 0) return errorFor(errno, path);
    if (!S_ISREG(info.st_mode)) return FileSystemReadingError{FileSystemReadingError::Kind::notRegularFile, path};
    return versionOf(info);
}

Result<FileVersion, FileSystemReadingError> LocalFileSystemReader::readChunks(
    const QString& path, int64_t chunkBytes, const std::function<bool(QByteArrayView)>& consume,
    const ChunkRange& range) const
{
    int fd = -1;
    const auto opened = openRegularFile(path, fd);
    if (!opened) return opened.error();
    const FileDescriptor file(fd);
    if (range.sameFileAs && !opened->isSameFile(*range.sameFileAs))
        return FileSystemReadingError{FileSystemReadingError::Kind::ioFailed, path};

    int64_t offset = std::clamp<int64_t>(range.offset, 0, opened->size);
    const int64_t end = offset + std::clamp<int64_t>(range.maxBytes, 0, opened->size - offset);
    const int64_t step = std::clamp<int64_t>(chunkBytes, 1, kMaxChunkBytes);
    QByteArray buffer(static_cast<qsizetype>(std::clamp<int64_t>(end - offset, 1, step)), Qt::Uninitialized);
    while (offset < end) {
        const int64_t count = std::min<int64_t>(buffer.size(), end - offset);
        const int64_t read = readAt(file.get(), buffer.data(), count, offset);
        if (read < 0) return errorFor(errno, path);
        if (read == 0) break; // the file shrank since the open
        offset += read;
        if (!consume(QByteArrayView(buffer.constData(), static_cast<qsizetype>(read)))) break;
    }
    return *opened;
}

Result<QString, FileSystemReadingError> LocalFileSystemReader::resolvingSymbolicLinks(const QString& path) const
{
    QString current = path;
    for (int hop = 0; hop <= kMaxSymbolicLinks; ++hop) {
        const QByteArray native = QFile::encodeName(current);
        struct stat info {};
        if (::lstat(native.constData(), &info) != 0) {
            // A missing file is where the write creates it.
            if (errno == ENOENT) return current;
            return errorFor(errno, current);
        }
        if (!S_ISLNK(info.st_mode)) return current;
        QByteArray target(PATH_MAX, Qt::Uninitialized);
        const ssize_t length = ::readlink(native.constData(), target.data(), static_cast<size_t>(target.size()));
        if (length < 0) return errorFor(errno, current);
        if (length >= target.size()) return FileSystemReadingError{FileSystemReadingError::Kind::ioFailed, current};
        target.truncate(length);
        const QString next = QFile::decodeName(target);
        // A relative link is relative to the folder that holds it.
        current = next.startsWith(u'/') ? next : QFileInfo(current).path() + u'/' + next;
    }
    return FileSystemReadingError{FileSystemReadingError::Kind::ioFailed, path};
}

Result<int, FileSystemReadingError> LocalFileSystemReader::permissions(const QString& path) const
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) return errorFor(errno, path);
    return static_cast<int>(info.st_mode & 0777);
}

bool LocalFileSystemReader::fileExists(const QString& path) const
{
    const QByteArray native = QFile::encodeName(path);
    struct stat info {};
    return ::stat(native.constData(), &info) == 0;
}

} // namespace brisvane
