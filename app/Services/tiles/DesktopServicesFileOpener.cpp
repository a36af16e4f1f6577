#include "app/Services/tiles/DesktopServicesFileOpener.hpp"

#include <QDesktopServices>
#include <QLoggingCategory>

namespace brisvane {

namespace {
Q_LOGGING_CATEGORY(lcDesktopServicesFileOpener, "brisvane.DesktopServicesFileOpener")
} // namespace

void DesktopServicesFileOpener::open(const QUrl& url) const
{
    const QByteArray text = url.toString().toUtf8();
    qCInfo(lcDesktopServicesFileOpener, "開く操作を開始: url=%s", text.constData());
    if (QDesktopServices::openUrl(url)) {
        qCInfo(lcDesktopServicesFileOpener, "開く操作に成功: url=%s", text.constData());
    } else {
        qCInfo(lcDesktopServicesFileOpener, "開く操作に失敗: url=%s", text.constData());
    }
}

} // namespace brisvane
