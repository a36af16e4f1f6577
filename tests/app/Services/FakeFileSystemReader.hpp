#pragma once

#include "app/Services/platform/FileSystemReading.hpp"

#include <QMap>

namespace brisvane::test {

// An in-memory `FileSystemReading`: folders list exactly the names given, in the order given,
// and any path can be made to fail with a chosen error (what root cannot see on a real disk).
class FakeFileSystemReader final : public FileSystemReading {
public:
    void setListing(const QString& directory, QStringList names) { listings_[directory] = std::move(names); }
    // A new file: a later `setFile` on the path stands for a file replaced under the same name.
    void setFile(const QString& path, QByteArray data, QDateTime modified = {})
    {
        files_[path] = {std::move(data), std::move(modified), ++lastInode_};
    }
    // The same file, grown.
    void appendToFile(const QString& path, const QByteArray& data, QDateTime modified)
    {
        File& file = files_[path];
        file.data += data;
        file.modified = std::move(modified);
    }
    void setError(const QString& path, FileSystemReadingError::Kind kind) { errors_[path] = kind; }
    void clearError(const QString& path) { errors_.remove(path); }

    Result<QStringList, FileSystemReadingError> contentsOfDirectory(const QString& path) const override
    {
        if (auto error = errorAt(path)) return *error;
        if (!listings_.contains(path)) return notFound(path);
        return listings_.value(path);
    }
    Result<QDateTime, FileSystemReadingError> modificationDate(const QString& path) const override
    {
        if (auto error = errorAt(path)) return *error;
        if (!files_.contains(path)) return notFound(path);
        return files_.value(path).modified;
    }
    Result<FileTail, FileSystemReadingError> readTail(const QString& path, int64_t maxBytes) const override
    {
        if (auto error = errorAt(path)) return *error;
        if (!files_.contains(path)) return notFound(path);
        const QByteArray& data = files_[path].data;
        const qsizetype count = std::min<qsizetype>(data.size(), std::max<int64_t>(maxBytes, 0));
        return FileTail{data.right(count), count != data.size()};
    }
    Result<QByteArray, FileSystemReadingError> readData(const QString& path) const override
    {
        if (auto error = errorAt(path)) return *error;
        if (!files_.contains(path)) return notFound(path);
        return files_.value(path).data;
    }
    Result<FileVersion, FileSystemReadingError> fileVersion(const QString& path) const override
    {
        if (auto error = errorAt(path)) return *error;
        if (!files_.contains(path)) return notFound(path);
        const File& file = files_[path];
        return FileVersion{1, file.inode, file.data.size(), file.modified.toMSecsSinceEpoch() * 1'000'000};
    }
    bool fileExists(const QString& path) const override
    {
        return files_.contains(path) || listings_.contains(path) || errors_.contains(path);
    }

private:
    struct File {
        QByteArray data;
        QDateTime modified;
        uint64_t inode = 0;
    };

    std::optional<FileSystemReadingError> errorAt(const QString& path) const
    {
        if (!errors_.contains(path)) return std::nullopt;
        return FileSystemReadingError{errors_.value(path), path};
    }
    static FileSystemReadingError notFound(const QString& path)
    {
        return {FileSystemReadingError::Kind::fileNotFound, path};
    }

    QMap<QString, QStringList> listings_;
    QMap<QString, File> files_;
    QMap<QString, FileSystemReadingError::Kind> errors_;
    uint64_t lastInode_ = 0;
};

} // namespace brisvane::test
