#include "app/Models/HookInstallationStatus.hpp"

#include <QCoreApplication>

namespace brisvane {

QString displayName(HookScriptsState state)
{
    switch (state) {
    case HookScriptsState::notInstalled:
        return QCoreApplication::translate("HookScriptsState", "未配置");
    case HookScriptsState::upToDate:
        return QCoreApplication::translate("HookScriptsState", "最新");
    case HookScriptsState::outdated:
        break;
    }
    return QCoreApplication::translate("HookScriptsState", "更新あり");
}

} // namespace brisvane
