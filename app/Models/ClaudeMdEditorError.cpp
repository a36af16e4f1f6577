#include "app/Models/ClaudeMdEditorError.hpp"

#include <QCoreApplication>

namespace brisvane {

QString ClaudeMdEditorError::userMessage() const
{
    const char* const context = "ClaudeMdEditorError";
    switch (kind) {
    case Kind::readFailed:
        return QCoreApplication::translate(context, "CLAUDE.md（~/.claude/CLAUDE.md）を読み取れません");
    case Kind::backupFailed:
        return QCoreApplication::translate(context, "CLAUDE.mdのバックアップを作成できないため、変更を中止しました");
    case Kind::writeFailed:
        return QCoreApplication::translate(context, "CLAUDE.mdを更新できませんでした");
    case Kind::verificationFailed:
        break;
    }
    return QCoreApplication::translate(context, "更新後の内容を検証できなかったため、CLAUDE.mdは変更していません");
}

} // namespace brisvane
