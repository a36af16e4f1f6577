// The pointer: mouse reports for the program, selection by clicks and drags with auto-scroll at
// the edges, the wheel, and links highlighted, previewed and opened under the pointer.
#include "terminal/view/TerminalMouseInput.hpp"

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

TerminalMouseInput::TerminalMouseInput(TerminalView& view) : view_(view) {}

TerminalMouseInput::~TerminalMouseInput()
{
    // The timer calls this part; as the view's child it would outlive it by the widget's teardown.
    delete selectionAutoScrollTimer_;
}

Terminal& TerminalMouseInput::terminal() const
{
    return view_.getTerminal();
}

// ---- Hit test and reports ---------------------------------------------------------------------

TerminalMouseInput::MouseHit TerminalMouseInput::calculateMouseHit(QPointF at)
{
    const QSizeF cell = view_.cellSize();
    Buffer& buffer = terminal().buffer();
    int col = std::clamp(int(std::trunc(at.x() / cell.width())), 0, std::max(terminal().cols - 1, 0));
    const int row = std::clamp(int(std::trunc(at.y() / cell.height())) + buffer.yDisp(), 0,
                               std::max(buffer.lines().count() - 1, 0));
    // On a reordered row the pointer is over a visual column; the buffer wants its logical one.
    if (const std::optional<BidiRowLayout> layout = view_.bidiLayout(row)) {
        if (col < int(layout->visualToLogicalCol.size())) col = layout->visualToLogicalCol[size_t(col)];
    }
    const int pixelX = int(std::clamp(at.x(), 0.0, double(view_.width())));
    const int pixelY = int(std::clamp(at.y(), 0.0, double(view_.height())));
    return {{col, row}, {pixelX, pixelY}};
}

int TerminalMouseInput::encodeMouseEvent(const QMouseEvent& event, bool overwriteRelease) const
{
    const bool release = overwriteRelease || event.type() == QEvent::MouseButtonRelease;
    // The protocol numbers left, middle and right 0, 1 and 2; a drag names no button.
    int button = 0;
    if (event.button() == Qt::MiddleButton) button = 1;
    if (event.button() == Qt::RightButton) button = 2;
    const Qt::KeyboardModifiers mods = event.modifiers();
    return terminal().encodeButton(button, release, mods.testFlag(Qt::ShiftModifier), mods.testFlag(Qt::AltModifier),
                                   mods.testFlag(Qt::ControlModifier));
}

bool TerminalMouseInput::reportingApplies(Qt::KeyboardModifiers modifiers) const
{
    return view_.allowMouseReporting && !(modifiers.testFlag(Qt::ShiftModifier) && !terminal().mouseShiftCapture);
}

void TerminalMouseInput::sendMouseReport(int buttonFlags, const MouseHit& hit)
{
    const int y = std::clamp(hit.grid.row - terminal().buffer().yDisp(), 0, std::max(terminal().rows - 1, 0));
    terminal().sendEvent(buttonFlags, hit.grid.col, y, hit.pixels.col, hit.pixels.row);
}

void TerminalMouseInput::sharedMouseEvent(const QMouseEvent& event)
{
    sendMouseReport(encodeMouseEvent(event, false), calculateMouseHit(event.position()));
}

// ---- Buttons ------------------------------------------------------------------------------------

void TerminalMouseInput::mousePress(const QMouseEvent& event, bool doubleClick)
{
    mouseDown(event, countClick(event, doubleClick));
}

void TerminalMouseInput::mouseRelease(const QMouseEvent& event)
{
    stopSelectionAutoScroll();
    const MouseHit hit = calculateMouseHit(event.position());
    const bool ctrl = event.modifiers().testFlag(Qt::ControlModifier);
    updateHoverLink(hit.grid, view_.commandActive || ctrl);
    if (auto link = view_.linkForClick(hit.grid, ctrl)) {
        if (view_.terminalDelegate) view_.terminalDelegate->requestOpenLink(view_, link->link, link->params);
        return;
    }
    // X10 mode reports presses only.
    const MouseMode mode = terminal().mouseMode();
    if (reportingApplies(event.modifiers()) && mode != MouseMode::off && mode != MouseMode::x10)
        sharedMouseEvent(event);
}

int TerminalMouseInput::countClick(const QMouseEvent& event, bool doubleClick)
{
    const QStyleHints* hints = QGuiApplication::styleHints();
    const bool recent = clickCount_ > 0 && event.timestamp() >= lastClickTimestamp_
        && event.timestamp() - lastClickTimestamp_ <= ulong(hints->mouseDoubleClickInterval());
    const bool near = (event.position() - lastClickPoint_).manhattanLength() <= hints->mouseDoubleClickDistance();
    clickCount_ = recent && near ? clickCount_ + 1 : 1;
    if (doubleClick) clickCount_ = std::max(clickCount_, 2);
    lastClickTimestamp_ = event.timestamp();
    lastClickPoint_ = event.position();
    return clickCount_;
}

// ---- Gestures -----------------------------------------------------------------------------------

void TerminalMouseInput::mouseDown(const QMouseEvent& event, int clicks)
{
    // X10 mode reports presses too, without modifiers (the encoder leaves them out).
    if (reportingApplies(event.modifiers()) && terminal().mouseMode() != MouseMode::off) {
        sharedMouseEvent(event);
        return;
    }
    const MouseHit hit = calculateMouseHit(event.position());
    SelectionService& selection = view_.selectionService();
    if (clicks == 2) {
        selection.selectWordOrExpression(hit.grid, terminal().buffer());
    } else if (clicks >= 3) {
        selection.select(hit.grid.row);
    } else if (selection.active()) {
        if (event.modifiers().testFlag(Qt::ShiftModifier)) {
            selection.shiftExtend(hit.grid);
        } else {
            selection.setActive(false);
        }
    }
    view_.update();
}

void TerminalMouseInput::mouseDragged(const QMouseEvent& event)
{
    const MouseHit hit = calculateMouseHit(event.position());
    if (reportingApplies(event.modifiers())) {
        switch (terminal().mouseMode()) {
        case MouseMode::buttonEventTracking:
        case MouseMode::anyEvent: sendMouseReport(encodeMouseEvent(event, false) + 32, hit); return;
        case MouseMode::x10:
        case MouseMode::vt200: return;
        case MouseMode::off: break;
        }
    }
    SelectionService& selection = view_.selectionService();
    if (!selection.active()) {
        selection.setSoftStart(hit.grid);
        selection.startSelection();
    } else {
        selection.dragExtend(hit.grid);
    }
    lastSelectionDragPoint_ = event.position();
    autoScrollDelta_ = 0;

    const int rows = terminal().rows;
    const int screenRow = hit.grid.row - terminal().buffer().yDisp();
    if (screenRow <= 0) {
        autoScrollDelta_ = -autoScrollSpeed(-screenRow, rows);
        startSelectionAutoScrollTimer();
    } else if (screenRow >= rows) {
        autoScrollDelta_ = autoScrollSpeed(screenRow - rows, rows);
        startSelectionAutoScrollTimer();
    } else if (selectionAutoScrollTimer_) {
        selectionAutoScrollTimer_->stop();
    }
    view_.update();
}

void TerminalMouseInput::mouseMoved(const QMouseEvent& event)
{
    const MouseHit hit = calculateMouseHit(event.position());
    if (view_.commandActive) {
        if (auto payload = view_.payloadString(hit.grid)) previewUrl(*payload);
    }
    updateHoverLink(hit.grid, std::nullopt);
    if (terminal().mouseMode() == MouseMode::anyEvent && reportingApplies(event.modifiers()))
        sendMouseReport(encodeMouseEvent(event, true) + 32, hit);
}

void TerminalMouseInput::leave()
{
    turnOffUrlPreview();
    const LinkHighlightMode mode = view_.linkHighlightMode();
    if (mode == LinkHighlightMode::hover || mode == LinkHighlightMode::hoverWithModifier) dropLinkHighlight();
}

// ---- Selection auto-scroll ----------------------------------------------------------------------

void TerminalMouseInput::startSelectionAutoScrollTimer()
{
    if (!selectionAutoScrollTimer_) {
        selectionAutoScrollTimer_ = new QTimer(&view_);
        selectionAutoScrollTimer_->setInterval(kAutoScrollIntervalMs);
        QObject::connect(selectionAutoScrollTimer_, &QTimer::timeout, &view_, [this] { scrollingTimerElapsed(); });
    }
    if (!selectionAutoScrollTimer_->isActive()) selectionAutoScrollTimer_->start();
}

void TerminalMouseInput::stopSelectionAutoScroll()
{
    if (selectionAutoScrollTimer_) selectionAutoScrollTimer_->stop();
    autoScrollDelta_ = 0;
    lastSelectionDragPoint_.reset();
}

void TerminalMouseInput::scrollingTimerElapsed()
{
    if (autoScrollDelta_ == 0) return;
    if (autoScrollDelta_ < 0) {
        view_.scrollUp(-autoScrollDelta_);
    } else {
        view_.scrollDown(autoScrollDelta_);
    }
    // The pointer stayed put while the text moved under it.
    SelectionService& selection = view_.selectionService();
    if (selection.active() && lastSelectionDragPoint_)
        selection.dragExtend(calculateMouseHit(*lastSelectionDragPoint_).grid);
    view_.update();
}

// ---- Wheel --------------------------------------------------------------------------------------

void TerminalMouseInput::setScrollSensitivity(double value)
{
    scrollSensitivity_ = std::max(value, kMinimumScrollSensitivity);
}

bool TerminalMouseInput::wheel(const QWheelEvent& event)
{
    // A touchpad gives pixels; a wheel gives steps of 120, each the platform's number of lines.
    const QPoint pixels = event.pixelDelta();
    const bool precise = !pixels.isNull();
    const double delta = precise ? pixels.y() : event.angleDelta().y() / 120.0 * QApplication::wheelScrollLines();
    const double cellHeight = view_.cellSize().height();
    if (delta == 0 || cellHeight <= 0) return false;
    const double d = delta * scrollSensitivity_;
    int lines = 0;
    if (precise) {
        const double total = scrollAccumulator_ + d;
        lines = int(std::trunc(total / cellHeight));
        scrollAccumulator_ = total - lines * cellHeight;
        if (lines == 0) return true;
    } else {
        scrollAccumulator_ = 0;
        lines = int(std::round(d));
        // A step too small to round to a line still moves one.
        if (lines == 0) lines = d > 0 ? 1 : -1;
    }
    const bool up = lines > 0;
    const int count = std::abs(lines);

    const Qt::KeyboardModifiers mods = event.modifiers();
    if (reportingApplies(mods) && terminal().mouseMode() != MouseMode::off) {
        const int flags = terminal().encodeButton(up ? 4 : 5, false, mods.testFlag(Qt::ShiftModifier),
                                                  mods.testFlag(Qt::AltModifier), mods.testFlag(Qt::ControlModifier));
        const MouseHit hit = calculateMouseHit(event.position());
        for (int i = 0; i < count; i++) sendMouseReport(flags, hit);
        return true;
    }
    // Full-screen programs have no scroll-back to show: they get the arrow keys instead.
    if (terminal().isCurrentBufferAlternate()) {
        const bool app = terminal().applicationCursor;
        const std::string_view arrow = up ? (app ? "\x1bOA" : "\x1b[A") : (app ? "\x1bOB" : "\x1b[B");
        for (int i = 0; i < count; i++) view_.send(arrow);
        return true;
    }
    if (up) {
        view_.scrollUp(count);
    } else {
        view_.scrollDown(count);
    }
    return true;
}

// ---- Hover links and the URL preview -------------------------------------------------------------

void TerminalMouseInput::updateHoverLink(Position at, std::optional<bool> commandOverride)
{
    const LinkHighlightMode mode = view_.linkHighlightMode();
    const bool hoverMode = mode == LinkHighlightMode::hover || mode == LinkHighlightMode::hoverWithModifier;
    const bool command = commandOverride.value_or(view_.commandActive);
    std::optional<std::vector<LinkMatch::RowRange>> found;
    if (hoverMode && (mode == LinkHighlightMode::hover || command)) {
        Buffer& buffer = terminal().buffer();
        if (auto location = terminal().resolveLinkLocation(LinkLookupLocation::buffer(at), buffer)) {
            std::optional<LinkMatch> match = terminal().explicitLinkMatch(*location, buffer);
            if (!match) match = terminal().implicitLinkMatch(*location, buffer);
            if (match) found = std::move(match->rowRanges);
        }
    }
    if (found == view_.linkHighlightRange) return;
    const auto old = std::exchange(view_.linkHighlightRange, std::move(found));
    view_.invalidateLinkHighlight(old, view_.linkHighlightRange);
    view_.queuePendingDisplay();
}

void TerminalMouseInput::dropLinkHighlight()
{
    if (!view_.linkHighlightRange) return;
    const auto old = std::exchange(view_.linkHighlightRange, std::nullopt);
    view_.invalidateLinkHighlight(old, std::nullopt);
    view_.queuePendingDisplay();
}

void TerminalMouseInput::previewUrl(const QString& payload)
{
    const std::optional<TerminalView::LinkTarget> target = view_.urlAndParamsFrom(payload);
    if (!target) return;
    if (!urlPreview_) {
        urlPreview_ = new QLabel(&view_);
        urlPreview_->setObjectName(QStringLiteral("urlPreview"));
        // The text comes from the program: never read it as markup.
        urlPreview_->setTextFormat(Qt::PlainText);
        urlPreview_->setAttribute(Qt::WA_TransparentForMouseEvents);
        urlPreview_->setFont(tryUrlFont());
        // The terminal's colours, inverted.
        QPalette palette = urlPreview_->palette();
        palette.setColor(QPalette::Window, view_.nativeForegroundColor());
        palette.setColor(QPalette::WindowText, view_.nativeBackgroundColor());
        urlPreview_->setPalette(palette);
        urlPreview_->setAutoFillBackground(true);
        urlPreview_->show();
    }
    urlPreview_->setText(target->link);
    urlPreview_->adjustSize();
    // The bottom-left corner, out of the way of the prompt at the top.
    urlPreview_->move(0, view_.height() - urlPreview_->height());
    urlPreview_->raise();
}

void TerminalMouseInput::modifierHoverChanged()
{
    if (!view_.commandActive) {
        turnOffUrlPreview();
        return;
    }
    commandHoverShown_ = true;
    startTracking();
    hoverUnderPointer();
    if (view_.linkHighlightMode() == LinkHighlightMode::alwaysWithModifier) {
        view_.markWholeScreenDirty();
        view_.queuePendingDisplay();
    }
}

void TerminalMouseInput::hoverUnderPointer()
{
    const QPoint local = view_.mapFromGlobal(QCursor::pos());
    // A pointer elsewhere would otherwise pick the link of the nearest edge cell.
    if (!view_.rect().contains(local)) return;
    const Position at = calculateMouseHit(local).grid;
    if (auto payload = view_.payloadString(at)) previewUrl(*payload);
    updateHoverLink(at, std::nullopt);
}

void TerminalMouseInput::turnOffUrlPreview()
{
    if (!view_.commandActive && !commandHoverShown_) return;
    view_.commandActive = false;
    commandHoverShown_ = false;
    deregisterTrackingInterest();
    delete urlPreview_.data();
    const LinkHighlightMode mode = view_.linkHighlightMode();
    if (mode == LinkHighlightMode::hoverWithModifier) {
        dropLinkHighlight();
    } else if (mode == LinkHighlightMode::alwaysWithModifier) {
        view_.markWholeScreenDirty();
        view_.queuePendingDisplay();
    }
}

// ---- Pointer tracking ---------------------------------------------------------------------------
// Qt delivers motion without a button to a widget with mouse tracking on; nothing more is needed.

bool TerminalMouseInput::hasTrackingInterest() const
{
    // The engine announces its first mouse mode while the view is still making it.
    return (view_.hasTerminal() && terminal().mouseMode() == MouseMode::anyEvent) || view_.commandActive
        || view_.linkHighlightMode() == LinkHighlightMode::hover;
}

void TerminalMouseInput::startTracking()
{
    view_.setMouseTracking(true);
}

void TerminalMouseInput::deregisterTrackingInterest()
{
    if (!hasTrackingInterest()) view_.setMouseTracking(false);
}

void TerminalMouseInput::mouseModeChanged(Terminal& source)
{
    if (source.mouseMode() == MouseMode::anyEvent) {
        startTracking();
    } else {
        deregisterTrackingInterest();
    }
}

} // namespace corvix
