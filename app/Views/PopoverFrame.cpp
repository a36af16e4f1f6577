#include "app/Views/PopoverFrame.hpp"

#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

namespace brisvane {

PopoverFrame::PopoverFrame(QWidget* parent) : QFrame(parent, Qt::Popup | Qt::FramelessWindowHint)
{
    setAttribute(Qt::WA_NoMouseReplay);
}

void PopoverFrame::present(QWidget* anchor)
{
    willPresent();
    adjustSize();
    QPoint position(0, 0);
    if (anchor) {
        const QPoint below = anchor->mapToGlobal(QPoint(anchor->width() / 2, anchor->height() + 4));
        position = QPoint(below.x() - width() / 2, below.y());
        if (QScreen* screen = anchor->screen()) {
            const QRect area = screen->availableGeometry();
            position.setX(std::clamp(position.x(), area.left(), std::max(area.left(), area.right() - width())));
        }
    }
    move(position);
    show();
    raise();
    activateWindow();
}

void PopoverFrame::setContent(QWidget* content)
{
    if (!layout()) (new QVBoxLayout(this))->setContentsMargins(0, 0, 0, 0);
    delete content_;
    content_ = content;
    content->setParent(this);
    layout()->addWidget(content);
    content->show();
    adjustSize();
}

void PopoverFrame::dismiss()
{
    hide();
}

void PopoverFrame::showEvent(QShowEvent* event)
{
    QFrame::showEvent(event);
    emit presentedChanged(true);
}

void PopoverFrame::hideEvent(QHideEvent* event)
{
    QFrame::hideEvent(event);
    emit presentedChanged(false);
}

void PopoverFrame::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        dismiss();
        event->accept();
        return;
    }
    QFrame::keyPressEvent(event);
}

void PopoverFrame::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(40, 40, 40));
    painter.setPen(QColor(255, 255, 255, 38));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace brisvane
