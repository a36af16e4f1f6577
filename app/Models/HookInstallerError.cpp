#include "app/Models/HookInstallerError.hpp"

#include <QCoreApplication>

namespace brisvane {

QString HookInstallerError::userMessage() const
{
    const char* const context = "HookInstallerError";
    switch (kind) {
    case Kind::bundledScriptMissing:
        return QCoreApplication::translate(context, "アプリ内のスクリプト（%1）が見つかりません").arg(detail);
    case Kind::scriptCopyFailed:
        return QCoreApplication::translate(context, "スクリプト（%1）を配置できませんでした").arg(detail);
    case Kind::statusLineConflict:
        return QCoreApplication::translate(context, "すでに別のstatusLine設定があります");
    case Kind::settingsUnreadable:
        return QCoreApplication::translate(context, "設定ファイル（~/.claude/settings.json）を読み取れません");
    case Kind::settingsInvalidJSON:
        return QCoreApplication::translate(
            context, "設定ファイル（~/.claude/settings.json）が壊れているため、安全のため何も変更しませんでした");
    case Kind::backupFailed:
        return QCoreApplication::translate(context, "設定ファイルのバックアップを作成できないため、変更を中止しました");
    case Kind::writeFailed:
        return QCoreApplication::translate(context, "設定ファイルを更新できませんでした");
    case Kind::verificationFailed:
        break;
    }
    return QCoreApplication::translate(context, "更新後の内容を検証できなかったため、設定ファイルは変更していません");
}

} // namespace brisvane
