#pragma once

#include "app/Services/platform/LocalFileSystemWriter.hpp"

#include <functional>

namespace brisvane::test {

// The local writer with a hook around every operation: `before` can make an operation fail
// without touching anything, `after` can change the disk behind the caller's back (a user who
// edits a file while it is being replaced).
class InterceptingFileSystemWriter final : public FileSystemWriting {
public:
    enum class Operation { write, createFile, createDirectory, replaceItem, removeItem, setExecutable };

    // The path is the target for a replace. False fails the operation.
    std::function<bool(Operation, const QString& path)> before = [](Operation, const QString&) { return true; };
    std::function<void(Operation, const QString& path)> after = [](Operation, const QString&) {};

    Outcome write(const QByteArray& data, const QString& path) const override
    {
        return run(Operation::write, path, FileSystemWritingError::Kind::writeFailed, [&] { return local_.write(data, path); });
    }
    Outcome createFile(const QByteArray& data, const QString& path, std::optional<int> permissions) const override
    {
        return run(Operation::createFile, path, FileSystemWritingError::Kind::writeFailed,
                   [&] { return local_.createFile(data, path, permissions); });
    }
    Outcome createDirectory(const QString& path) const override
    {
        return run(Operation::createDirectory, path, FileSystemWritingError::Kind::createDirectoryFailed,
                   [&] { return local_.createDirectory(path); });
    }
    Outcome replaceItem(const QString& target, const QString& source) const override
    {
        return run(Operation::replaceItem, target, FileSystemWritingError::Kind::replaceFailed,
                   [&] { return local_.replaceItem(target, source); });
    }
    Outcome removeItem(const QString& path) const override
    {
        return run(Operation::removeItem, path, FileSystemWritingError::Kind::removeFailed, [&] { return local_.removeItem(path); });
    }
    Outcome setExecutable(const QString& path) const override
    {
        return run(Operation::setExecutable, path, FileSystemWritingError::Kind::writeFailed,
                   [&] { return local_.setExecutable(path); });
    }

private:
    Outcome run(Operation operation, const QString& path, FileSystemWritingError::Kind failure,
                const std::function<Outcome()>& body) const
    {
        if (!before(operation, path)) return FileSystemWritingError{failure, path};
        Outcome outcome = body();
        after(operation, path);
        return outcome;
    }

    LocalFileSystemWriter local_;
};

} // namespace brisvane::test
