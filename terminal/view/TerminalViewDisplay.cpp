// Feeding output, sending input, redraw scheduling, the caret's place and scroll-back navigation.
#include "terminal/view/TerminalView.hpp"

#include "terminal/bidi/TerminalBidi.hpp"
#include "terminal/view/CaretView.hpp"
#include "terminal/view/TerminalDebugView.hpp"
#include "terminal/view/TerminalViewDelegate.hpp"

#include <QAccessible>
#include <QMetaObject>
#include <QScrollBar>
#include <QThread>
#include <QTimer>

#include <cmath>
#include <utility>

namespace corvix {

namespace {

constexpr uint64_t kCoalescingDelayNs = 16'670'000;
constexpr uint64_t kInteractiveWindowNs = 150'000'000;
constexpr double kMinimumThumb = 0.01;

constexpr std::string_view kPageUp = "\x1b[5~";
constexpr std::string_view kPageDown = "\x1b[6~";

std::span<const uint8_t> bytesOf(std::string_view text)
{
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// The coalescing delay in whole milliseconds for the timer, never shorter than asked.
constexpr int kCoalescingDelayMs = int((kCoalescingDelayNs + 999'999) / 1'000'000);

} // namespace

// ---- Feeding output ---------------------------------------------------------------------------

void TerminalView::feed(std::span<const uint8_t> byteArray)
{
    session_->feed(byteArray, !allowMouseReporting);
    if (shouldDisplayImmediatelyAfterUserInput()) {
        displayImmediately();
    } else {
        queuePendingDisplay();
    }
}

void TerminalView::feed(std::string_view text)
{
    feed(bytesOf(text));
}

size_t TerminalView::feedSlice(const std::function<void()>& deliver, size_t chunkSize)
{
    return session_->feedSlice(deliver, chunkSize);
}

void TerminalView::dataReceived(std::span<const uint8_t> slice)
{
    feed(slice);
}

QSizeF TerminalView::cellPixelSize() const
{
    const double scale = devicePixelRatioF();
    return QSizeF(scale * cellSize().width(), scale * cellSize().height());
}

bool TerminalView::shouldDisplayImmediatelyAfterUserInput() const
{
    if (terminal->synchronizedOutputActive()) return false;
    const uint64_t last = lastUserInputUptimeNs_.load();
    if (last == 0) return false;
    const uint64_t now = uptimeNs();
    return now >= last && now - last <= kInteractiveWindowNs;
}

// ---- Sending input ----------------------------------------------------------------------------

void TerminalView::sendUserInput(std::span<const uint8_t> data)
{
    lastUserInputUptimeNs_.store(uptimeNs());
    ensureCaretIsVisible();
    if (terminalDelegate) terminalDelegate->send(*this, data);
}

void TerminalView::send(std::span<const uint8_t> data)
{
    sendUserInput(data);
}

void TerminalView::send(std::string_view txt)
{
    sendUserInput(bytesOf(txt));
}

bool TerminalView::cursorLineIsRightToLeft()
{
    if (bidiHostPolicy_ != BidiHostPolicy::respectTerminal) return false;
    Buffer& buffer = terminal->buffer();
    const int row = buffer.y() + buffer.yBase();
    if (row < 0 || row >= buffer.lines().count()) return false;
    const BidiPresentationState& state = buffer.lines()[row].bidiState();
    if (state.supportMode == BidiSupportMode::implicit) {
        // The paragraph's own direction, else the line's fallback.
        if (const auto paragraph = TerminalBidi::paragraphResult(row, buffer, terminal->cols, *terminal, fonts().serial))
            return paragraph->baseDirection == BidiDirection::rightToLeft;
    }
    return state.fallbackDirection == BidiDirection::rightToLeft;
}

void TerminalView::sendHorizontalKey(bool left)
{
    const bool swap = terminal->bidiArrowKeySwap && cursorLineIsRightToLeft();
    const bool sendRight = swap == left;
    const bool app = terminal->applicationCursor;
    if (sendRight) {
        send(app ? std::string_view("\x1bOC") : std::string_view("\x1b[C"));
    } else {
        send(app ? std::string_view("\x1bOD") : std::string_view("\x1b[D"));
    }
}

// ---- Redraw scheduling ------------------------------------------------------------------------

void TerminalView::queuePendingDisplay()
{
    if (terminal->synchronizedOutputActive() || pendingDisplay_) return;
    pendingDisplay_ = true;
    displayTimer_->start(kCoalescingDelayMs);
}

void TerminalView::queueGpuDisplay()
{
    if (!gpuView || pendingGpuDisplay) return;
    pendingGpuDisplay = true;
    gpuDisplayTimer_->start(kCoalescingDelayMs);
}

void TerminalView::displayImmediately()
{
    if (QThread::currentThread() != thread()) {
        if (pendingDisplay_) return;
        pendingDisplay_ = true;
        QPointer<TerminalView> self(this);
        QMetaObject::invokeMethod(this, [self] {
            if (!self) return;
            self->updateDisplay(true);
            if (self->debug) self->debug->update();
            self->pendingDisplay_ = false;
        }, Qt::QueuedConnection);
        return;
    }
    displayTimer_->stop();
    updateDisplay(true);
    if (debug) debug->update();
    pendingDisplay_ = false;
}

void TerminalView::updateDisplay(bool notifyAccessibility)
{
    if (terminal->synchronizedOutputActive()) {
        pendingDisplay_ = false;
        return;
    }
    updateCursorPosition();
    Buffer& buffer = terminal->buffer();
    const int yDisp = buffer.yDisp();
    const int rows = terminal->rows;
    const bool empty = terminal->refreshStart == INT_MAX && terminal->refreshEnd == -1;
    if (empty) {
        if (notifyUpdateChanges && terminalDelegate)
            terminalDelegate->rangeChanged(*this, buffer.y() + yDisp, buffer.y() + yDisp);
        if (gpuView) {
            const RenderedCursor cursor{buffer.x(), buffer.y() + buffer.yBase(), terminal->cursorHidden};
            if (lastRenderedCursor != cursor) {
                lastRenderedCursor = cursor;
                gpuView->update();
            }
        }
        pendingDisplay_ = false;
        return;
    }

    const int start = terminal->refreshStart;
    const int end = terminal->refreshEnd;
    if (notifyUpdateChanges && terminalDelegate) terminalDelegate->rangeChanged(*this, start, end);
    terminal->clearUpdateRange();

    // The screen rows to draw, widened to whole bidirectional paragraphs: a change in one row can
    // reorder every row of its paragraph.
    int first = std::max(start, 0);
    int last = std::min(end, rows - 1);
    std::optional<std::pair<int, int>> dependency;
    const int lastLine = buffer.lines().count() - 1;
    if (lastLine >= 0 && 0 <= start && start <= end && end < rows) {
        const int lo = std::max(std::min(lastLine, yDisp + start), 0);
        const int hi = std::max(std::min(lastLine, yDisp + end), lo);
        const TerminalBidi::RowRange range = TerminalBidi::renderingDependencyRange(
            {lo, hi}, buffer, terminal->options.maximumBidiParagraphRows);
        dependency = std::make_pair(range.first, range.last);
        first = std::max(range.first - yDisp, 0);
        last = std::min(range.last - yDisp, rows - 1);
    }

    if (!gpuView) {
        QRect dirty = dirtyRect(first, last);
        // The scroll bar paints its whole column itself: invalidating the rows under it would
        // repaint the bar with every frame of output. It is updated when its value changes.
        // Scrolled back, the whole frame moves, the bar included.
        if (scroller && !scroller->isHidden() && buffer.yDisp() == buffer.yBase())
            dirty.setRight(std::min(dirty.right(), scroller->x() - 1));
        if (!dirty.isEmpty()) update(dirty);
    } else {
        if (dependency) {
            gpuDirtyRange = dependency;
        } else if (lastLine >= 0 && yDisp <= std::min(yDisp + rows - 1, lastLine)) {
            gpuDirtyRange = std::make_pair(yDisp, std::min(yDisp + rows - 1, lastLine));
        } else {
            gpuDirtyRange.reset();
        }
        lastRenderedCursor = RenderedCursor{buffer.x(), buffer.y() + buffer.yBase(), terminal->cursorHidden};
        gpuView->update();
    }
    if (debug) debug->update();
    if (notifyAccessibility && QAccessible::isActive()) {
        QAccessibleEvent valueChanged(this, QAccessible::ValueChanged);
        QAccessible::updateAccessibility(&valueChanged);
        QAccessibleEvent selectionChanged(this, QAccessible::TextSelectionChanged);
        QAccessible::updateAccessibility(&selectionChanged);
    }
    pendingDisplay_ = false;
}

QRect TerminalView::dirtyRect(int first, int last) const
{
    // Scrolled back, rows move as a whole: everything is redrawn.
    Buffer& buffer = terminal->buffer();
    if (buffer.yDisp() != buffer.yBase()) return rect();
    // Rows first..last plus the row below; the last row reaches the view's bottom edge.
    const double h = cellSize().height();
    const int top = int(std::floor(h * first));
    const int bottom = last >= terminal->rows - 1 ? height() : std::min(height(), int(std::ceil(h * (last + 2))));
    return bottom > top ? QRect(0, top, width(), bottom - top) : QRect();
}

void TerminalView::updateCursorPosition()
{
    if (!caretView) return;
    Buffer& buffer = terminal->buffer();
    const int row = buffer.y() + buffer.yBase();
    if (row >= buffer.yDisp() + terminal->rows || row < buffer.yDisp()) {
        caretView->hide();
        return;
    }
    // The GPU renderer draws its own cursor.
    caretView->setVisible(!terminal->cursorHidden && !gpuView);
    if (row < 0 || row >= buffer.lines().count()) return;
    const BufferLine& line = buffer.lines()[row];
    const double factor = line.renderMode() == BufferLine::RenderLineMode::single ? 1.0 : 2.0;
    const int count = line.count();
    if (count == 0) return;
    const CharData& cell = line[std::min(buffer.x(), count - 1)];
    const QSizeF cellSize = this->cellSize();
    // On a reordered row the caret stands where the cursor's cell is shown.
    int column = buffer.x();
    if (const std::optional<BidiRowLayout> layout = bidiLayout(row)) {
        if (column >= 0 && column < int(layout->logicalToVisualCol.size())) column = layout->logicalToVisualCol[size_t(column)];
    }
    const int x = int(std::round(factor * cellSize.width() * column));
    const int y = int(std::round(cellSize.height() * (row - buffer.yDisp())));
    const int w = int(std::round(factor * cellSize.width() * std::max<int>(cell.width, 1)));
    caretView->setGeometry(x, y, w, caretView->height());
    caretView->setText(cell);
}

// ---- Scroll state -----------------------------------------------------------------------------

double TerminalView::scrollPosition()
{
    if (terminal->isCurrentBufferAlternate()) return 0;
    Buffer& buffer = terminal->buffer();
    const int yDisp = buffer.yDisp();
    const int span = buffer.lines().count() - terminal->rows;
    if (yDisp <= 0) return 0;
    if (yDisp >= span) return 1;
    return double(yDisp) / double(span);
}

double TerminalView::scrollThumbsize()
{
    if (terminal->isCurrentBufferAlternate()) return 0;
    const int lines = terminal->buffer().lines().count();
    const double thumb = lines > 0 ? double(terminal->rows) / double(lines) : 1.0;
    return thumb <= kMinimumThumb ? kMinimumThumb : thumb;
}

bool TerminalView::canScroll()
{
    Buffer& buffer = terminal->buffer();
    return !terminal->isCurrentBufferAlternate() && buffer.hasScrollback() && terminal->rows < buffer.lines().count();
}

void TerminalView::updateUserScrollingState(int row, Buffer& in)
{
    const int maxTop = std::max(in.lines().count() - terminal->rows, 0);
    userScrolling = maxTop > row;
    terminal->userScrolling = userScrolling;
}

void TerminalView::scrollTo(int row, bool notifyAccessibility)
{
    Buffer& buffer = terminal->buffer();
    const int maxTop = std::max(buffer.lines().count() - terminal->rows, 0);
    row = std::clamp(row, 0, maxTop);
    updateUserScrollingState(row, buffer);
    if (row == buffer.yDisp()) return;
    buffer.setYDisp(row);
    terminal->updateRange(0);
    terminal->updateRange(terminal->rows);
    updateDisplay(notifyAccessibility);
    if (terminalDelegate) terminalDelegate->scrolled(*this, scrollPosition());
    refreshScroller();
    update();
}

void TerminalView::scroll(double toPosition)
{
    Buffer& buffer = terminal->buffer();
    const int maxTop = std::max(buffer.lines().count() - terminal->rows, 0);
    const int target = std::min(maxTop, std::max(int(std::trunc(maxTop * toPosition)), 0));
    if (target != buffer.yDisp()) {
        scrollTo(target, true);
    } else {
        updateUserScrollingState(target, buffer);
    }
}

void TerminalView::scrollUp(int lines)
{
    scrollTo(std::max(terminal->buffer().yDisp() - lines, 0), true);
}

void TerminalView::scrollDown(int lines)
{
    Buffer& buffer = terminal->buffer();
    const int maxTop = std::max(buffer.lines().count() - terminal->rows, 0);
    scrollTo(std::max(std::min(maxTop, buffer.yDisp() + lines), 0), true);
}

void TerminalView::pageUp()
{
    if (terminal->isCurrentBufferAlternate()) {
        send(kPageUp);
        return;
    }
    scrollTo(std::max(terminal->buffer().yDisp() - terminal->rows, 0), true);
}

void TerminalView::pageDown()
{
    if (terminal->isCurrentBufferAlternate()) {
        send(kPageDown);
        return;
    }
    scrollDown(terminal->rows);
}

void TerminalView::changeScrollback(std::optional<int> scrollback)
{
    terminal->changeScrollback(scrollback ? std::optional<int64_t>(*scrollback) : std::nullopt);
    terminal->updateRange(0);
    terminal->updateRange(terminal->rows - 1);
    refreshScroller();
    if (terminalDelegate) terminalDelegate->scrolled(*this, scrollPosition());
    queuePendingDisplay();
}

// ---- Engine notifications ---------------------------------------------------------------------

void TerminalView::send(Terminal&, std::span<const uint8_t> data)
{
    if (terminalDelegate) terminalDelegate->send(*this, data);
}

void TerminalView::synchronizedOutputChanged(Terminal&, bool active)
{
    if (active) return;
    refreshScroller();
    queuePendingDisplay();
    if (terminalDelegate) terminalDelegate->scrolled(*this, scrollPosition());
}

void TerminalView::hostCurrentDirectoryUpdated(Terminal& source)
{
    if (!terminalDelegate) return;
    std::optional<QString> directory;
    if (source.hostCurrentDirectory) directory = QString::fromStdString(*source.hostCurrentDirectory);
    terminalDelegate->hostCurrentDirectoryUpdate(*this, directory);
}

} // namespace corvix
