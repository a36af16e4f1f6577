// The view's pointer events and hover links, handed to its mouse part.
#include "terminal/view/TerminalView.hpp"

#include "terminal/view/TerminalMouseInput.hpp"

#include <QMouseEvent>
#include <QWheelEvent>

namespace corvix {

// Only the left button is handled: the others go on to the parent.

void TerminalView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    mouseInput_->mousePress(*event, false);
}

void TerminalView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    mouseInput_->mousePress(*event, true);
}

void TerminalView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    mouseInput_->mouseRelease(*event);
}

void TerminalView::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons().testFlag(Qt::LeftButton)) {
        mouseInput_->mouseDragged(*event);
    } else if (event->buttons() == Qt::NoButton) {
        mouseInput_->mouseMoved(*event);
    } else {
        QWidget::mouseMoveEvent(event);
    }
}

void TerminalView::wheelEvent(QWheelEvent* event)
{
    if (!mouseInput_->wheel(*event)) event->ignore();
}

void TerminalView::leaveEvent(QEvent* event)
{
    mouseInput_->leave();
    QWidget::leaveEvent(event);
}

TerminalView::MouseHit TerminalView::calculateMouseHit(QPointF at)
{
    return mouseInput_->calculateMouseHit(at);
}

int TerminalView::encodeMouseEvent(const QMouseEvent& event, bool overwriteRelease) const
{
    return mouseInput_->encodeMouseEvent(event, overwriteRelease);
}

double TerminalView::scrollSensitivity() const
{
    return mouseInput_->scrollSensitivity();
}

void TerminalView::setScrollSensitivity(double value)
{
    mouseInput_->setScrollSensitivity(value);
}

void TerminalView::updateHoverLink(Position at, std::optional<bool> commandOverride)
{
    mouseInput_->updateHoverLink(at, commandOverride);
}

void TerminalView::turnOffUrlPreview()
{
    mouseInput_->turnOffUrlPreview();
}

bool TerminalView::hasTrackingInterest() const
{
    return mouseInput_->hasTrackingInterest();
}

void TerminalView::startTracking()
{
    mouseInput_->startTracking();
}

void TerminalView::deregisterTrackingInterest()
{
    mouseInput_->deregisterTrackingInterest();
}

void TerminalView::mouseModeChanged(Terminal& source)
{
    mouseInput_->mouseModeChanged(source);
}

} // namespace corvix
