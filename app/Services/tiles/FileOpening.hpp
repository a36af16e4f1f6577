#pragma once

#include <QUrl>

namespace brisvane {

// Opens a web link, a mail link or a file URL with its default application. The implementation
// needs the GUI and lives with the views; it only logs the outcome.
class FileOpening {
public:
    virtual ~FileOpening() = default;

    virtual void open(const QUrl& url) const = 0;
};

} // namespace brisvane
