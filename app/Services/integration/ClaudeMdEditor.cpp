#include "app/Services/integration/ClaudeMdEditor.hpp"

#include "app/Services/integration/ClaudeMdAnnouncementBlock.hpp"
#include "app/Services/integration/GuardedFileTransaction.hpp"
#include "app/Services/platform/StrictUtf8.hpp"

namespace brisvane {

namespace {

using ErrorKind = ClaudeMdEditorError::Kind;
using GuardedFileTransaction::Failure;

} // namespace

ClaudeMdEditor::ClaudeMdEditor(ClaudeMdEditorConfiguration configuration, std::shared_ptr<const FileSystemReading> reader,
                               std::shared_ptr<const FileSystemWriting> writer, std::function<QDateTime()> clock)
    : configuration_(std::move(configuration))
    , reader_(std::move(reader))
    , writer_(std::move(writer))
    , clock_(std::move(clock))
{
}

ClaudeMdEditor::Outcome ClaudeMdEditor::install() const
{
    const bool isJapaneseLocale = configuration_.isJapaneseLocale;
    return update([isJapaneseLocale](const QString& text) { return ClaudeMdAnnouncementBlock::inserting(text, isJapaneseLocale); });
}

ClaudeMdEditor::Outcome ClaudeMdEditor::uninstall() const
{
    return update(ClaudeMdAnnouncementBlock::removingBlock);
}

ClaudeMdEditor::Outcome ClaudeMdEditor::update(const std::function<QString(const QString&)>& edit) const
{
    const auto snapshot = GuardedFileTransaction::read(configuration_.path, *reader_);
    if (!snapshot) return ClaudeMdEditorError{ErrorKind::readFailed};
    QString text;
    if (snapshot->content) {
        const std::optional<QString> decoded = StrictUtf8::decode(*snapshot->content);
        if (!decoded) return ClaudeMdEditorError{ErrorKind::readFailed};
        text = *decoded;
    }

    const QString edited = edit(text);
    if (edited == text) return {};

    const auto committed = GuardedFileTransaction::commit(*snapshot, edited.toUtf8(), clock_(), *reader_, *writer_);
    if (committed) return {};
    switch (committed.error()) {
    case Failure::unreadable:
        return ClaudeMdEditorError{ErrorKind::readFailed};
    case Failure::backupFailed:
        return ClaudeMdEditorError{ErrorKind::backupFailed};
    case Failure::writeFailed:
        return ClaudeMdEditorError{ErrorKind::writeFailed};
    case Failure::verificationFailed:
    case Failure::changedSinceRead:
        break;
    }
    return ClaudeMdEditorError{ErrorKind::verificationFailed};
}

} // namespace brisvane
