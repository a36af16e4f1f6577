#pragma once

#include "app/Services/platform/FileSystemWriting.hpp"

namespace brisvane {

// `FileSystemWriting` over POSIX calls and std::filesystem.
class LocalFileSystemWriter final : public FileSystemWriting {
public:
    // Through a temporary file in the same folder, flushed to disk, then renamed over the path; a
    // failure at any step removes the temporary file and leaves the old content whole.
    Outcome write(const QByteArray& data, const QString& path) const override;
    Outcome createFile(const QByteArray& data, const QString& path, std::optional<int> permissions) const override;
    Outcome createDirectory(const QString& path) const override;
    // The target's permission bits carry over to the file put in its place.
    Outcome replaceItem(const QString& target, const QString& source) const override;
    Outcome removeItem(const QString& path) const override;
    Outcome setExecutable(const QString& path) const override;
};

} // namespace brisvane
