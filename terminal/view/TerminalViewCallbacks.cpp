// What the view does for each of its engine's callbacks.
#include "terminal/view/TerminalView.hpp"

#include "terminal/view/CaretView.hpp"
#include "terminal/view/TerminalProgressBarView.hpp"
#include "terminal/view/TerminalViewDelegate.hpp"

#include <QMetaObject>
#include <QPainter>
#include <QThread>
#include <QTimer>

#include <cmath>
#include <cstdio>

namespace corvix {

namespace {

std::vector<uint8_t> bytesOf(const std::string& text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}

} // namespace

void TerminalView::showCursor(Terminal&)
{
    if (useGpuRenderer) {
        queueGpuDisplay();
    } else if (caretView) {
        caretView->show();
    }
}

void TerminalView::hideCursor(Terminal&)
{
    if (useGpuRenderer) {
        queueGpuDisplay();
    } else if (caretView) {
        caretView->hide();
    }
}

void TerminalView::setTerminalTitle(Terminal&, const std::string& title)
{
    if (terminalDelegate) terminalDelegate->setTerminalTitle(*this, QString::fromStdString(title));
}

std::optional<std::vector<uint8_t>> TerminalView::windowCommand(Terminal& source, const WindowManipulationCommand& command)
{
    using Kind = WindowManipulationCommand::Kind;
    if (command.kind == Kind::resizeWindowTo) {
        std::printf("Request to resize to %dx%d\n", command.a, command.b);
        std::fflush(stdout);
        return std::nullopt;
    }
    if (!fonts_.cellDimension() || !terminal) return std::nullopt;
    const double scale = devicePixelRatioF();
    const std::string csi(source.replyCsi());
    const QSizeF cell = cellSize();
    if (command.kind == Kind::reportTextAreaPixelDimension) {
        const long height = std::lround(cell.height() * scale * source.rows);
        const long width = std::lround(cell.width() * scale * source.cols);
        return bytesOf(csi + "4;" + std::to_string(height) + ";" + std::to_string(width) + "t");
    }
    if (command.kind == Kind::reportCellSizeInPixels) {
        const long height = long(cell.height() * scale);
        const long width = long(cell.width() * scale);
        return bytesOf(csi + "6;" + std::to_string(height) + ";" + std::to_string(width) + "t");
    }
    return std::nullopt;
}

void TerminalView::sizeChanged(Terminal& source)
{
    if (terminalDelegate) terminalDelegate->sizeChanged(*this, source.cols, source.rows);
    refreshScroller();
}

void TerminalView::scrolled(Terminal&, int)
{
    refreshScroller();
    if (terminalDelegate) terminalDelegate->scrolled(*this, scrollPosition());
}

void TerminalView::linefeed(Terminal&)
{
    if (allowMouseReporting && selectionActive()) selection->clearSelection();
}

void TerminalView::bufferActivated(Terminal&)
{
    refreshScroller();
}

void TerminalView::bell(Terminal&)
{
    if (terminalDelegate) terminalDelegate->bell(*this);
}

std::optional<std::pair<int, int>> TerminalView::cellSizeInPixels(Terminal&)
{
    if (!fonts_.cellDimension()) return std::nullopt;
    // The window's own scale; without a window the main screen is not consulted.
    const double scale = window() && window()->windowHandle() ? devicePixelRatioF() : 1.0;
    return std::make_pair(int(std::lround(scale * cellSize().width())),
                          int(std::lround(scale * cellSize().height())));
}

void TerminalView::cursorStyleChanged(Terminal&, CursorStyle newStyle)
{
    if (caretView) {
        caretView->setStyle(newStyle);
        caretView->resize(int(std::ceil(cellSize().width())), int(std::ceil(cellSize().height())));
        caretView->updateAnimation(CaretView::isBlinking(newStyle));
        caretView->update();
    }
    if (useGpuRenderer) queueGpuDisplay();
}

void TerminalView::iTermContent(Terminal&, std::span<const uint8_t> content)
{
    if (terminalDelegate) terminalDelegate->iTermContent(*this, content);
}

void TerminalView::clipboardCopy(Terminal&, std::span<const uint8_t> content)
{
    if (terminalDelegate) terminalDelegate->clipboardCopy(*this, content);
}

std::optional<std::vector<uint8_t>> TerminalView::clipboardRead(Terminal&)
{
    return terminalDelegate ? terminalDelegate->clipboardRead(*this) : std::nullopt;
}

// ---- Progress reports -------------------------------------------------------------------------

void TerminalView::progressReport(Terminal&, const ProgressReport& report)
{
    if (QThread::currentThread() == thread()) {
        handleProgressReport(report);
        return;
    }
    QPointer<TerminalView> self(this);
    QMetaObject::invokeMethod(this, [self, report] {
        if (self) self->handleProgressReport(report);
    }, Qt::QueuedConnection);
}

void TerminalView::clearProgressReport()
{
    if (progressReportTimer) progressReportTimer->stop();
    lastProgressValue_.reset();
    progressBarView->apply(ProgressReportState::remove, std::nullopt);
}

void TerminalView::handleProgressReport(const ProgressReport& report)
{
    std::optional<uint8_t> shown;
    switch (report.state) {
    case ProgressReportState::remove:
        clearProgressReport();
        return;
    case ProgressReportState::set:
        shown = report.progress.value_or(0);
        lastProgressValue_ = shown;
        break;
    case ProgressReportState::error:
        shown = report.progress ? report.progress : lastProgressValue_;
        if (shown) lastProgressValue_ = shown;
        break;
    case ProgressReportState::indeterminate:
        break;
    case ProgressReportState::pause:
        shown = report.progress ? report.progress : lastProgressValue_.value_or(100);
        lastProgressValue_ = shown;
        break;
    }
    progressBarView->apply(report.state, shown);

    // A program that stops reporting loses its bar after the time-out.
    if (!progressReportTimer) {
        progressReportTimer = new QTimer(this);
        progressReportTimer->setSingleShot(true);
        connect(progressReportTimer, &QTimer::timeout, this, [this] { clearProgressReport(); });
    }
    progressReportTimer->start(int(std::lround(progressReportTimeout * 1000.0)));
}

// ---- Caret visibility and images --------------------------------------------------------------

void TerminalView::ensureCaretIsVisible()
{
    if (terminal->synchronizedOutputActive()) return;
    Buffer& buffer = terminal->buffer();
    const int cursorRow = buffer.yBase() + buffer.y();
    if (cursorRow < buffer.yDisp() || cursorRow >= buffer.yDisp() + terminal->rows) scrollTo(buffer.yBase(), true);
}

QImage TerminalView::scale(const QImage& image, QSize size)
{
    QImage scaled(size, QImage::Format_ARGB32_Premultiplied);
    scaled.fill(Qt::transparent);
    if (image.isNull() || image.width() <= 0 || image.height() <= 0) return scaled;
    const double w = size.width();
    const double h = size.height();
    const double iw = image.width();
    const double ih = image.height();
    // The whole image stays visible: span the side that runs out first.
    QRectF target;
    if (w * ih / iw <= h) {
        target = QRectF(0, (h - w * ih / iw) / 2, w, w * ih / iw);
    } else {
        target = QRectF((w - h * iw / ih) / 2, 0, h * iw / ih, h);
    }
    QPainter painter(&scaled);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, image);
    return scaled;
}

} // namespace corvix
