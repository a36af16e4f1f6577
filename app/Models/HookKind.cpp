#include "app/Models/HookKind.hpp"

#include <QCoreApplication>

namespace brisvane {

QString rawValue(HookKind kind)
{
    return kind == HookKind::statusLine ? QStringLiteral("statusLine") : QStringLiteral("stop");
}

QString scriptFileName(HookKind kind)
{
    return kind == HookKind::statusLine ? QStringLiteral("brisvane-statusline.sh") : QStringLiteral("brisvane-say.sh");
}

QString displayName(HookKind kind)
{
    if (kind == HookKind::statusLine) return QCoreApplication::translate("HookKind", "プラン使用率ゲージ（statusLine）");
    return QCoreApplication::translate("HookKind", "結論の読み上げ（Stopフック）");
}

QString summary(HookKind kind)
{
    if (kind == HookKind::statusLine) {
        return QCoreApplication::translate(
            "HookKind",
            "画面上部のプラン使用率（5時間・7日）を表示できるようになります。Claude "
            "Codeが表示している使用率をBrisvaneが読める場所へ書き出すだけの小さなスクリプトを登録します。");
    }
    return QCoreApplication::translate(
        "HookKind",
        "タスクが完了したとき、最後の回答の結論を読み上げられるようになります。Claude "
        "Codeが応答を終えた瞬間に、読み上げ用の短い文をBrisvaneが読める場所へ書き出します。");
}

} // namespace brisvane
