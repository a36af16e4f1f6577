#include "app/Models/HookInstallState.hpp"

#include <QCoreApplication>

namespace brisvane {

QString HookInstallState::displayName() const
{
    switch (kind) {
    case Kind::conflicting:
        return QCoreApplication::translate("HookInstallState", "衝突あり");
    case Kind::notInstalled:
        return QCoreApplication::translate("HookInstallState", "未導入");
    case Kind::installed:
        break;
    }
    return QCoreApplication::translate("HookInstallState", "導入済み");
}

} // namespace brisvane
