#include "app/Views/FilePathClickOverlayView.hpp"

#include "app/Services/tiles/FilePathResolver.hpp"
#include "app/Views/DashboardStyle.hpp"
#include "app/Views/TerminalLineTextExtractor.hpp"
#include "terminal/view/TerminalView.hpp"

#include <QApplication>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QWheelEvent>

#include <climits>
#include <cmath>

namespace brisvane {

namespace {
Q_LOGGING_CATEGORY(lcFilePathClickOverlay, "brisvane.FilePathClickOverlay")

constexpr int kHighlightRefreshIntervalMs = 150;
} // namespace

FilePathClickOverlayView::FilePathClickOverlayView(QWidget* parent)
    : QWidget(parent)
    , queryKeyboardModifiers([] { return QGuiApplication::queryKeyboardModifiers(); })
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
    // Ctrl is up: every click, drag and wheel turn goes straight to the terminal view below.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
}

FilePathClickOverlayView::~FilePathClickOverlayView()
{
    removeFlagsChangedMonitor();
}

void FilePathClickOverlayView::setTerminalView(corvix::TerminalView* view)
{
    terminalView_ = view;
}

// ---- Ctrl ---------------------------------------------------------------------------------------

void FilePathClickOverlayView::setCommandDown(bool down)
{
    if (down == isCommandDown_) return;
    isCommandDown_ = down;
    setAttribute(Qt::WA_TransparentForMouseEvents, !down);
    stackForCommandState();
    if (down) {
        scanAndRedrawIfCommandDown();
        startHighlightTimer();
    } else {
        stopHighlightTimer();
        clearAllHighlights();
    }
}

void FilePathClickOverlayView::stackForCommandState()
{
    // Ctrl up, the overlay draws nothing: it waits beneath the opaque terminal view, so that Qt
    // repaints the view's blinking caret alone instead of everything under a sibling above it.
    if (isCommandDown_) {
        raise();
    } else {
        lower();
    }
}

void FilePathClickOverlayView::syncCommandDownFromKeyboard()
{
    if (queryKeyboardModifiers) setCommandDown(queryKeyboardModifiers().testFlag(Qt::ControlModifier));
}

// "In a window" is "shown" here, as for the terminal view below.
void FilePathClickOverlayView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    installFlagsChangedMonitorIfNeeded();
    // A key already held when the tile appears highlights at once, also when it was already
    // held as the tile was hidden (hiding stopped the rescans).
    syncCommandDownFromKeyboard();
    stackForCommandState();
    if (isCommandDown_) {
        scanAndRedrawIfCommandDown();
        startHighlightTimer();
    }
}

void FilePathClickOverlayView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    removeFlagsChangedMonitor();
    stopHighlightTimer();
}

void FilePathClickOverlayView::installFlagsChangedMonitorIfNeeded()
{
    if (flagsChangedMonitorInstalled_) return;
    QCoreApplication::instance()->installEventFilter(this);
    flagsChangedMonitorInstalled_ = true;
}

void FilePathClickOverlayView::removeFlagsChangedMonitor()
{
    if (!flagsChangedMonitorInstalled_) return;
    if (QCoreApplication* application = QCoreApplication::instance()) application->removeEventFilter(this);
    flagsChangedMonitorInstalled_ = false;
}

bool FilePathClickOverlayView::eventFilter(QObject* watched, QEvent* event)
{
    // Watches only; every event goes on to whoever it was for.
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        const auto* key = static_cast<const QKeyEvent*>(event);
        // The modifiers of Ctrl's own event describe the state before it.
        if (key->key() == Qt::Key_Control) {
            setCommandDown(event->type() == QEvent::KeyPress);
        } else {
            setCommandDown(key->modifiers().testFlag(Qt::ControlModifier));
        }
        break;
    }
    // A release while another window or application had the keyboard was never seen here.
    case QEvent::ApplicationStateChange:
    case QEvent::WindowActivate:
    case QEvent::WindowDeactivate:
    case QEvent::FocusIn:
        syncCommandDownFromKeyboard();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void FilePathClickOverlayView::startHighlightTimer()
{
    if (highlightRefreshTimer_) return;
    highlightRefreshTimer_ = new QTimer(this);
    highlightRefreshTimer_->setInterval(kHighlightRefreshIntervalMs);
    connect(highlightRefreshTimer_, &QTimer::timeout, this, &FilePathClickOverlayView::scanAndRedrawIfCommandDown);
    highlightRefreshTimer_->start();
}

void FilePathClickOverlayView::stopHighlightTimer()
{
    delete highlightRefreshTimer_;
    highlightRefreshTimer_ = nullptr;
}

bool FilePathClickOverlayView::isHighlightTimerActive() const
{
    return highlightRefreshTimer_ && highlightRefreshTimer_->isActive();
}

// ---- Highlights ---------------------------------------------------------------------------------

void FilePathClickOverlayView::clearAllHighlights()
{
    if (allHighlights_.isEmpty() && !hoverHighlight_) return;
    allHighlights_.clear();
    setHover(std::nullopt);
    update();
}

void FilePathClickOverlayView::syncCellSize()
{
    if (!terminalView_) return;
    const corvix::Terminal& terminal = terminalView_->getTerminal();
    const QSizeF cell = terminalView_->cellSize();
    if (terminal.cols < 1 || terminal.rows < 1 || !(cell.width() > 0) || !(cell.height() > 0)) return;
    cellWidth = cell.width();
    cellHeight = cell.height();
}

void FilePathClickOverlayView::scanAndRedrawIfCommandDown()
{
    if (!isCommandDown_ || !terminalView_) return;
    syncCellSize();
    corvix::Terminal& terminal = terminalView_->getTerminal();
    const int rows = terminal.rows;
    if (rows < 1) return;
    const std::optional<QString> cwd = cwdProvider ? cwdProvider() : std::nullopt;
    QList<Highlight> highlights = highlightScanner_.scan(terminal, 0, rows, cwd, homeDirectory, *existenceChecker);
    if (highlights == allHighlights_) return;
    allHighlights_ = std::move(highlights);
    if (hoverHighlight_ && !allHighlights_.contains(*hoverHighlight_)) setHover(std::nullopt);
    update();
}

std::optional<std::pair<int, int>> FilePathClickOverlayView::cellPosition(QPointF point) const
{
    if (!(cellWidth > 0) || !(cellHeight > 0)) return std::nullopt;
    const double column = std::trunc(point.x() / cellWidth);
    const double row = std::trunc(point.y() / cellHeight);
    if (row < 0 || column < 0 || row > INT_MAX || column > INT_MAX) return std::nullopt;
    return std::pair{int(row), int(column)};
}

void FilePathClickOverlayView::updateHover(QPointF point)
{
    if (isCommandDown_) {
        if (const auto cell = cellPosition(point)) {
            for (const Highlight& highlight : allHighlights_) {
                if (highlight.row == cell->first && highlight.startCell <= cell->second &&
                    cell->second < highlight.endCell) {
                    setHover(highlight);
                    return;
                }
            }
        }
    }
    setHover(std::nullopt);
}

void FilePathClickOverlayView::setHover(std::optional<Highlight> hover)
{
    if (hover == hoverHighlight_) return;
    hoverHighlight_ = hover;
    if (hoverHighlight_) {
        setCursor(Qt::PointingHandCursor);
    } else if (terminalView_) {
        setCursor(terminalView_->cursor());
    } else {
        unsetCursor();
    }
    update();
}

// ---- Mouse --------------------------------------------------------------------------------------

bool FilePathClickOverlayView::openPathAt(QPointF point)
{
    const auto cell = cellPosition(point);
    std::optional<TerminalLineTextExtractor::LocatedToken> located;
    if (terminalView_ && cell) {
        located = TerminalLineTextExtractor::detectFilePathToken(terminalView_->getTerminal(), cell->first,
                                                                 cell->second);
    }
    if (!located) {
        qCInfo(lcFilePathClickOverlay, "mouseDown: ⌘押下だがパストークン未検出 point=%s",
               qUtf8Printable(QStringLiteral("{%1, %2}").arg(point.x()).arg(point.y())));
        return false;
    }
    const std::optional<QString> cwd = cwdProvider ? cwdProvider() : std::nullopt;
    const std::optional<ResolvedFilePath> resolved =
        FilePathResolver::resolve(located->token.text, cwd, homeDirectory, *existenceChecker);
    if (!resolved) {
        qCInfo(lcFilePathClickOverlay, "mouseDown: トークン検出したが解決失敗（実在しない/cwd不明） token=%s cwd=%s",
               qUtf8Printable(located->token.text), cwd ? qUtf8Printable(*cwd) : "nil");
        return false;
    }
    qCInfo(lcFilePathClickOverlay, "mouseDown: 解決成功、開く token=%s cwd=%s resolvedPath=%s",
           qUtf8Printable(located->token.text), cwd ? qUtf8Printable(*cwd) : "nil",
           qUtf8Printable(resolved->absolutePath));
    fileOpener->open(QUrl::fromLocalFile(resolved->absolutePath));
    return true;
}

bool FilePathClickOverlayView::forwardToTerminalView(QEvent* event)
{
    if (!terminalView_) return false;
    const bool isWheel = event->type() == QEvent::Wheel;
    const QPointF position = isWheel ? static_cast<QWheelEvent*>(event)->position()
                                     : static_cast<QMouseEvent*>(event)->position();
    const QPointF global = mapToGlobal(position);

    // A press picks the widget (the terminal view or its scroller, say); the rest of the gesture
    // follows it there, as Qt's own grab would.
    QWidget* target = nullptr;
    const bool continuesPress = event->type() == QEvent::MouseMove || event->type() == QEvent::MouseButtonRelease;
    if (continuesPress && forwardedPressTarget_) {
        target = forwardedPressTarget_;
    } else {
        const QPoint inView = terminalView_->mapFromGlobal(global).toPoint();
        target = terminalView_->childAt(inView);
        if (!target) target = terminalView_;
    }
    const QPointF local = target->mapFromGlobal(global);

    if (isWheel) {
        const auto* wheel = static_cast<QWheelEvent*>(event);
        QWheelEvent forwarded(local, global, wheel->pixelDelta(), wheel->angleDelta(), wheel->buttons(),
                              wheel->modifiers(), wheel->phase(), wheel->inverted(), wheel->source(),
                              wheel->pointingDevice());
        forwarded.setTimestamp(wheel->timestamp());
        QApplication::sendEvent(target, &forwarded);
        return true;
    }
    const auto* mouse = static_cast<QMouseEvent*>(event);
    QMouseEvent forwarded(mouse->type(), local, global, mouse->button(), mouse->buttons(), mouse->modifiers(),
                          mouse->pointingDevice());
    forwarded.setTimestamp(mouse->timestamp());
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
        forwardedPressTarget_ = target;
    }
    QApplication::sendEvent(target, &forwarded);
    if (event->type() == QEvent::MouseButtonRelease && mouse->buttons() == Qt::NoButton) {
        forwardedPressTarget_ = nullptr;
    }
    return true;
}

void FilePathClickOverlayView::mousePressEvent(QMouseEvent* event)
{
    const bool commandClick = event->button() == Qt::LeftButton && isCommandDown_ &&
                              event->modifiers().testFlag(Qt::ControlModifier);
    if (commandClick && openPathAt(event->position())) {
        event->accept();
        return;
    }
    // A link, a selection or the program's own mouse handling: the terminal view decides.
    if (!forwardToTerminalView(event)) event->ignore();
}

void FilePathClickOverlayView::mouseDoubleClickEvent(QMouseEvent* event)
{
    mousePressEvent(event);
}

void FilePathClickOverlayView::mouseMoveEvent(QMouseEvent* event)
{
    updateHover(event->position());
    if (!forwardToTerminalView(event)) event->ignore();
}

void FilePathClickOverlayView::mouseReleaseEvent(QMouseEvent* event)
{
    // The release of a press that opened a path has nothing to finish.
    if (!forwardedPressTarget_) {
        event->accept();
        return;
    }
    forwardToTerminalView(event);
}

void FilePathClickOverlayView::wheelEvent(QWheelEvent* event)
{
    if (!forwardToTerminalView(event)) event->ignore();
}

void FilePathClickOverlayView::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    setHover(std::nullopt);
}

// ---- Drawing ------------------------------------------------------------------------------------

void FilePathClickOverlayView::paintEvent(QPaintEvent*)
{
    if (allHighlights_.isEmpty()) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    auto accent = [](double alpha) {
        QColor color = DashboardStyle::accent();
        color.setAlphaF(float(alpha));
        return color;
    };
    for (const Highlight& highlight : allHighlights_) {
        const QRectF cell(cellWidth * highlight.startCell, cellHeight * highlight.row,
                          cellWidth * (highlight.endCell - highlight.startCell), cellHeight);
        const bool emphasized = hoverHighlight_ == highlight;

        QPainterPath box;
        box.addRoundedRect(cell.adjusted(-2, -1, 2, 1), 3, 3);
        painter.fillPath(box, accent(emphasized ? 0.35 : 0.14));

        QPen underline(accent(emphasized ? 1.0 : 0.85), emphasized ? 2.2 : 1.3);
        painter.setPen(underline);
        const double y = cell.bottom() - 1;
        painter.drawLine(QPointF(cell.left(), y), QPointF(cell.right(), y));
    }
}

} // namespace brisvane
