#pragma once

#include "app/Models/ClaudeMdEditorError.hpp"
#include "app/Models/Result.hpp"
#include "app/Services/platform/FileSystemReading.hpp"
#include "app/Services/platform/FileSystemWriting.hpp"

#include <QDateTime>
#include <QString>

#include <functional>
#include <memory>

namespace brisvane {

struct ClaudeMdEditorConfiguration {
    // The agent's global memory file, `<home>/.claude/CLAUDE.md`.
    QString path;
    // Which wording of the block an insertion writes.
    bool isJapaneseLocale = true;
};

// Adds and removes the voice-summary block of the agent's CLAUDE.md. The file changes only
// through `GuardedFileTransaction`, and only when the text changes. Synchronous.
class ClaudeMdEditor {
public:
    using Outcome = Result<void, ClaudeMdEditorError>;

    ClaudeMdEditor(ClaudeMdEditorConfiguration configuration, std::shared_ptr<const FileSystemReading> reader,
                   std::shared_ptr<const FileSystemWriting> writer,
                   std::function<QDateTime()> clock = [] { return QDateTime::currentDateTimeUtc(); });

    const ClaudeMdEditorConfiguration& configuration() const { return configuration_; }

    // A missing file is created holding the block alone.
    Outcome install() const;
    // A missing file stays missing.
    Outcome uninstall() const;

private:
    Outcome update(const std::function<QString(const QString&)>& edit) const;

    ClaudeMdEditorConfiguration configuration_;
    std::shared_ptr<const FileSystemReading> reader_;
    std::shared_ptr<const FileSystemWriting> writer_;
    std::function<QDateTime()> clock_;
};

} // namespace brisvane
