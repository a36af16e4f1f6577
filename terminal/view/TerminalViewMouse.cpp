// The pointer: mouse reports for the program, selection by clicks and drags with auto-scroll at
// the edges, the wheel, and links highlighted, previewed and opened under the pointer.
#include "terminal/view/TerminalView.hpp"

#include "terminal/view/TerminalViewDelegate.hpp"

#include <QApplication>
#include <QCursor>
#include <QFontDatabase>
#include <QLabel>
#include <QMouseEvent>
#include <QStyleHints>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace corvix {

namespace {

constexpr int kAutoScrollIntervalMs = 50;
constexpr double kMinimumScrollSensitivity = 0.05;

// Rows per auto-scroll tick for a drag `distance` rows beyond the edge row.
int autoScrollSpeed(int distance, int rows)
{
    if (distance < 2) return 1;
    if (distance < 6) return 3;
    if (distance < 10) return 10;
    return std::max(rows, 20);
}

QFont tryUrlFont()
{
    for (const char* family : {"Optima", "Helvetica", "Helvetica Neue"}) {
        if (QFontDatabase::hasFamily(QString::fromLatin1(family))) return QFont(QString::fromLatin1(family), 12);
    }
    QFont font = QApplication::font();
    font.setPointSize(12);
    return font;
}

} // namespace

// ---- Hit test and reports ---------------------------------------------------------------------

TerminalView::MouseHit TerminalView::calculateMouseHit(QPointF at)
{
    const QSizeF cell = cellSize();
    Buffer& buffer = terminal->buffer();
    int col = std::clamp(int(std::trunc(at.x() / cell.width())), 0, std::max(terminal->cols - 1, 0));
    const int row = std::clamp(int(std::trunc(at.y() / cell.height())) + buffer.yDisp(), 0,
                               std::max(buffer.lines().count() - 1, 0));
    // On a reordered row the pointer is over a visual column; the buffer wants its logical one.
    if (const std::optional<BidiRowLayout> layout = bidiLayout(row)) {
        if (col < int(layout->visualToLogicalCol.size())) col = layout->visualToLogicalCol[size_t(col)];
    }
    const int pixelX = int(std::clamp(at.x(), 0.0, double(width())));
    const int pixelY = int(std::clamp(at.y(), 0.0, double(height())));
    return {{col, row}, {pixelX, pixelY}};
}

int TerminalView::encodeMouseEvent(const QMouseEvent& event, bool overwriteRelease) const
{
    const bool release = overwriteRelease || event.type() == QEvent::MouseButtonRelease;
    // The protocol numbers left, middle and right 0, 1 and 2; a drag names no button.
    int button = 0;
    if (event.button() == Qt::MiddleButton) button = 1;
    if (event.button() == Qt::RightButton) button = 2;
    const Qt::KeyboardModifiers mods = event.modifiers();
    return terminal->encodeButton(button, release, mods.testFlag(Qt::ShiftModifier), mods.testFlag(Qt::AltModifier),
                                  mods.testFlag(Qt::ControlModifier));
}

bool TerminalView::reportingApplies(Qt::KeyboardModifiers modifiers) const
{
    return allowMouseReporting && !(modifiers.testFlag(Qt::ShiftModifier) && !terminal->mouseShiftCapture);
}

void TerminalView::sendMouseReport(int buttonFlags, const MouseHit& hit)
{
    const int y = std::clamp(hit.grid.row - terminal->buffer().yDisp(), 0, std::max(terminal->rows - 1, 0));
    terminal->sendEvent(buttonFlags, hit.grid.col, y, hit.pixels.col, hit.pixels.row);
}

void TerminalView::sharedMouseEvent(const QMouseEvent& event)
{
    sendMouseReport(encodeMouseEvent(event, false), calculateMouseHit(event.position()));
}

// ---- Qt's mouse events --------------------------------------------------------------------------
// Only the left button is handled: the others go on to the parent.

void TerminalView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    mouseDown(*event, countClick(*event, false));
}

void TerminalView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    mouseDown(*event, countClick(*event, true));
}

void TerminalView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    stopSelectionAutoScroll();
    const MouseHit hit = calculateMouseHit(event->position());
    const bool ctrl = event->modifiers().testFlag(Qt::ControlModifier);
    updateHoverLink(hit.grid, commandActive || ctrl);
    if (auto link = linkForClick(hit.grid, ctrl)) {
        if (terminalDelegate) terminalDelegate->requestOpenLink(*this, link->link, link->params);
        return;
    }
    // X10 mode reports presses only.
    const MouseMode mode = terminal->mouseMode();
    if (reportingApplies(event->modifiers()) && mode != MouseMode::off && mode != MouseMode::x10)
        sharedMouseEvent(*event);
}

void TerminalView::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons().testFlag(Qt::LeftButton)) {
        mouseDragged(*event);
    } else if (event->buttons() == Qt::NoButton) {
        mouseMoved(*event);
    } else {
        QWidget::mouseMoveEvent(event);
    }
}

int TerminalView::countClick(const QMouseEvent& event, bool doubleClick)
{
    const QStyleHints* hints = QGuiApplication::styleHints();
    const bool recent = clickCount > 0 && event.timestamp() >= lastClickTimestamp
        && event.timestamp() - lastClickTimestamp <= ulong(hints->mouseDoubleClickInterval());
    const bool near = (event.position() - lastClickPoint).manhattanLength() <= hints->mouseDoubleClickDistance();
    clickCount = recent && near ? clickCount + 1 : 1;
    if (doubleClick) clickCount = std::max(clickCount, 2);
    lastClickTimestamp = event.timestamp();
    lastClickPoint = event.position();
    return clickCount;
}

// ---- Gestures -----------------------------------------------------------------------------------

void TerminalView::mouseDown(const QMouseEvent& event, int clicks)
{
    // X10 mode reports presses too, without modifiers (the encoder leaves them out).
    if (reportingApplies(event.modifiers()) && terminal->mouseMode() != MouseMode::off) {
        sharedMouseEvent(event);
        return;
    }
    const MouseHit hit = calculateMouseHit(event.position());
    if (clicks == 2) {
        selection->selectWordOrExpression(hit.grid, terminal->buffer());
    } else if (clicks >= 3) {
        selection->select(hit.grid.row);
    } else if (selection->active()) {
        if (event.modifiers().testFlag(Qt::ShiftModifier)) {
            selection->shiftExtend(hit.grid);
        } else {
            selection->setActive(false);
        }
    }
    update();
}

void TerminalView::mouseDragged(const QMouseEvent& event)
{
    const MouseHit hit = calculateMouseHit(event.position());
    if (reportingApplies(event.modifiers())) {
        switch (terminal->mouseMode()) {
        case MouseMode::buttonEventTracking:
        case MouseMode::anyEvent: sendMouseReport(encodeMouseEvent(event, false) + 32, hit); return;
        case MouseMode::x10:
        case MouseMode::vt200: return;
        case MouseMode::off: break;
        }
    }
    if (!selection->active()) {
        selection->setSoftStart(hit.grid);
        selection->startSelection();
    } else {
        selection->dragExtend(hit.grid);
    }
    lastSelectionDragPoint = event.position();
    autoScrollDelta = 0;

    const int screenRow = hit.grid.row - terminal->buffer().yDisp();
    if (screenRow <= 0) {
        autoScrollDelta = -autoScrollSpeed(-screenRow, terminal->rows);
        startSelectionAutoScrollTimer();
    } else if (screenRow >= terminal->rows) {
        autoScrollDelta = autoScrollSpeed(screenRow - terminal->rows, terminal->rows);
        startSelectionAutoScrollTimer();
    } else if (selectionAutoScrollTimer) {
        selectionAutoScrollTimer->stop();
    }
    update();
}

void TerminalView::mouseMoved(const QMouseEvent& event)
{
    const MouseHit hit = calculateMouseHit(event.position());
    if (commandActive) {
        if (auto payload = payloadString(hit.grid)) previewUrl(*payload);
    }
    updateHoverLink(hit.grid, std::nullopt);
    if (terminal->mouseMode() == MouseMode::anyEvent && reportingApplies(event.modifiers()))
        sendMouseReport(encodeMouseEvent(event, true) + 32, hit);
}

void TerminalView::leaveEvent(QEvent* event)
{
    turnOffUrlPreview();
    if (_linkHighlightMode == LinkHighlightMode::hover || _linkHighlightMode == LinkHighlightMode::hoverWithModifier)
        dropLinkHighlight();
    QWidget::leaveEvent(event);
}

// ---- Selection auto-scroll ----------------------------------------------------------------------

void TerminalView::startSelectionAutoScrollTimer()
{
    if (!selectionAutoScrollTimer) {
        selectionAutoScrollTimer = new QTimer(this);
        selectionAutoScrollTimer->setInterval(kAutoScrollIntervalMs);
        connect(selectionAutoScrollTimer, &QTimer::timeout, this, &TerminalView::scrollingTimerElapsed);
    }
    if (!selectionAutoScrollTimer->isActive()) selectionAutoScrollTimer->start();
}

void TerminalView::stopSelectionAutoScroll()
{
    if (selectionAutoScrollTimer) selectionAutoScrollTimer->stop();
    autoScrollDelta = 0;
    lastSelectionDragPoint.reset();
}

void TerminalView::scrollingTimerElapsed()
{
    if (autoScrollDelta == 0) return;
    if (autoScrollDelta < 0) {
        scrollUp(-autoScrollDelta);
    } else {
        scrollDown(autoScrollDelta);
    }
    // The pointer stayed put while the text moved under it.
    if (selection->active() && lastSelectionDragPoint)
        selection->dragExtend(calculateMouseHit(*lastSelectionDragPoint).grid);
    update();
}

// ---- Wheel --------------------------------------------------------------------------------------

void TerminalView::setScrollSensitivity(double value)
{
    _scrollSensitivity = std::max(value, kMinimumScrollSensitivity);
}

void TerminalView::wheelEvent(QWheelEvent* event)
{
    // A touchpad gives pixels; a wheel gives steps of 120, each the platform's number of lines.
    const QPoint pixels = event->pixelDelta();
    const bool precise = !pixels.isNull();
    const double delta = precise ? pixels.y() : event->angleDelta().y() / 120.0 * QApplication::wheelScrollLines();
    if (delta == 0 || !fonts_.cellDimension() || cellSize().height() <= 0) {
        event->ignore();
        return;
    }
    const double d = delta * _scrollSensitivity;
    int lines = 0;
    if (precise) {
        const double cellHeight = cellSize().height();
        const double total = scrollAccumulator + d;
        lines = int(std::trunc(total / cellHeight));
        scrollAccumulator = total - lines * cellHeight;
        if (lines == 0) return;
    } else {
        scrollAccumulator = 0;
        lines = int(std::round(d));
        // A step too small to round to a line still moves one.
        if (lines == 0) lines = d > 0 ? 1 : -1;
    }
    const bool up = lines > 0;
    const int count = std::abs(lines);

    const Qt::KeyboardModifiers mods = event->modifiers();
    if (reportingApplies(mods) && terminal->mouseMode() != MouseMode::off) {
        const int flags = terminal->encodeButton(up ? 4 : 5, false, mods.testFlag(Qt::ShiftModifier),
                                                 mods.testFlag(Qt::AltModifier), mods.testFlag(Qt::ControlModifier));
        const MouseHit hit = calculateMouseHit(event->position());
        for (int i = 0; i < count; i++) sendMouseReport(flags, hit);
        return;
    }
    // Full-screen programs have no scroll-back to show: they get the arrow keys instead.
    if (terminal->isCurrentBufferAlternate()) {
        const bool app = terminal->applicationCursor;
        const std::string_view arrow = up ? (app ? "\x1bOA" : "\x1b[A") : (app ? "\x1bOB" : "\x1b[B");
        for (int i = 0; i < count; i++) send(arrow);
        return;
    }
    if (up) {
        scrollUp(count);
    } else {
        scrollDown(count);
    }
}

// ---- Hover links and the URL preview -------------------------------------------------------------

void TerminalView::updateHoverLink(Position at, std::optional<bool> commandOverride)
{
    const bool hoverMode =
        _linkHighlightMode == LinkHighlightMode::hover || _linkHighlightMode == LinkHighlightMode::hoverWithModifier;
    const bool command = commandOverride.value_or(commandActive);
    std::optional<std::vector<LinkMatch::RowRange>> found;
    if (hoverMode && (_linkHighlightMode == LinkHighlightMode::hover || command)) {
        Buffer& buffer = terminal->buffer();
        if (auto location = terminal->resolveLinkLocation(LinkLookupLocation::buffer(at), buffer)) {
            std::optional<LinkMatch> match = terminal->explicitLinkMatch(*location, buffer);
            if (!match) match = terminal->implicitLinkMatch(*location, buffer);
            if (match) found = std::move(match->rowRanges);
        }
    }
    if (found == linkHighlightRange) return;
    const auto old = std::exchange(linkHighlightRange, std::move(found));
    invalidateLinkHighlight(old, linkHighlightRange);
    queuePendingDisplay();
}

void TerminalView::dropLinkHighlight()
{
    if (!linkHighlightRange) return;
    const auto old = std::exchange(linkHighlightRange, std::nullopt);
    invalidateLinkHighlight(old, std::nullopt);
    queuePendingDisplay();
}

void TerminalView::previewUrl(const QString& payload)
{
    const std::optional<LinkTarget> target = urlAndParamsFrom(payload);
    if (!target) return;
    if (!urlPreview) {
        urlPreview = new QLabel(this);
        urlPreview->setObjectName(QStringLiteral("urlPreview"));
        // The text comes from the program: never read it as markup.
        urlPreview->setTextFormat(Qt::PlainText);
        urlPreview->setAttribute(Qt::WA_TransparentForMouseEvents);
        urlPreview->setFont(tryUrlFont());
        // The terminal's colours, inverted.
        QPalette palette = urlPreview->palette();
        palette.setColor(QPalette::Window, nativeForegroundColor());
        palette.setColor(QPalette::WindowText, nativeBackgroundColor());
        urlPreview->setPalette(palette);
        urlPreview->setAutoFillBackground(true);
        urlPreview->show();
    }
    urlPreview->setText(target->link);
    urlPreview->adjustSize();
    // The bottom-left corner, out of the way of the prompt at the top.
    urlPreview->move(0, height() - urlPreview->height());
    urlPreview->raise();
}

void TerminalView::hoverUnderPointer()
{
    const QPoint local = mapFromGlobal(QCursor::pos());
    // A pointer elsewhere would otherwise pick the link of the nearest edge cell.
    if (!rect().contains(local)) return;
    const Position at = calculateMouseHit(local).grid;
    if (auto payload = payloadString(at)) previewUrl(*payload);
    updateHoverLink(at, std::nullopt);
}

void TerminalView::turnOffUrlPreview()
{
    if (!commandActive && !commandHoverShown) return;
    commandActive = false;
    commandHoverShown = false;
    deregisterTrackingInterest();
    delete urlPreview.data();
    if (_linkHighlightMode == LinkHighlightMode::hoverWithModifier) {
        dropLinkHighlight();
    } else if (_linkHighlightMode == LinkHighlightMode::alwaysWithModifier) {
        markWholeScreenDirty();
        queuePendingDisplay();
    }
}

// ---- Pointer tracking ---------------------------------------------------------------------------
// Qt delivers motion without a button to a widget with mouse tracking on; nothing more is needed.

bool TerminalView::hasTrackingInterest() const
{
    // The engine announces its first mouse mode while the view is still making it.
    return (terminal && terminal->mouseMode() == MouseMode::anyEvent) || commandActive
        || _linkHighlightMode == LinkHighlightMode::hover;
}

void TerminalView::startTracking()
{
    setMouseTracking(true);
}

void TerminalView::deregisterTrackingInterest()
{
    if (!hasTrackingInterest()) setMouseTracking(false);
}

void TerminalView::mouseModeChanged(Terminal& source)
{
    if (source.mouseMode() == MouseMode::anyEvent) {
        startTracking();
    } else {
        deregisterTrackingInterest();
    }
}

} // namespace corvix
