#include "app/Views/TerminalFileDropContainerView.hpp"

#include "app/Services/tiles/ShellPathQuoter.hpp"
#include "app/Views/DashboardStyle.hpp"

#include <QDragEnterEvent>
#include <QLoggingCategory>
#include <QMimeData>
#include <QPainter>

namespace brisvane {

namespace {
Q_LOGGING_CATEGORY(lcTerminalFileDrop, "brisvane.TerminalFileDropContainerView")
} // namespace

TerminalFileDropContainerView::TerminalFileDropContainerView(QWidget* parent)
    : QWidget(parent)
{
    setAcceptDrops(true);
}

std::optional<QList<QUrl>> TerminalFileDropContainerView::fileURLs(const QMimeData& data)
{
    QList<QUrl> files;
    for (const QUrl& url : data.urls()) {
        if (url.isLocalFile()) files.append(url);
    }
    if (files.isEmpty()) return std::nullopt;
    return files;
}

bool TerminalFileDropContainerView::accepts(const QMimeData* data) const
{
    return isDropAllowed && data && fileURLs(*data).has_value();
}

void TerminalFileDropContainerView::setDropTargeting(bool targeting)
{
    if (targeting == isDropTargeting_) return;
    isDropTargeting_ = targeting;
    update();
}

void TerminalFileDropContainerView::dragEnterEvent(QDragEnterEvent* event)
{
    const bool accepted = accepts(event->mimeData());
    setDropTargeting(accepted);
    if (accepted) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void TerminalFileDropContainerView::dragMoveEvent(QDragMoveEvent* event)
{
    if (accepts(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void TerminalFileDropContainerView::dragLeaveEvent(QDragLeaveEvent* event)
{
    setDropTargeting(false);
    event->accept();
}

void TerminalFileDropContainerView::dropEvent(QDropEvent* event)
{
    setDropTargeting(false);
    if (performDrop(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

bool TerminalFileDropContainerView::performDrop(const QMimeData* data)
{
    if (!isDropAllowed || !data) return false;
    const std::optional<QList<QUrl>> urls = fileURLs(*data);
    if (!urls) return false;
    QStringList paths;
    for (const QUrl& url : *urls) paths.append(url.toLocalFile());
    const std::optional<QString> text = ShellPathQuoter::insertionText(paths);
    if (!text) {
        qCInfo(lcTerminalFileDrop, "ドロップを拒否: 制御文字を含むパスがあります count=%lld",
               static_cast<long long>(paths.size()));
        return false;
    }
    emit textDropped(*text);
    return true;
}

void TerminalFileDropContainerView::paintEvent(QPaintEvent*)
{
    if (!isDropTargeting_) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(DashboardStyle::accent(), 3));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5), 8, 8);
}

} // namespace brisvane
