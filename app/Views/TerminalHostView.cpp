#include "app/Views/TerminalHostView.hpp"

#include "app/Views/FilePathClickOverlayView.hpp"
#include "app/Views/TerminalFileDropContainerView.hpp"
#include "terminal/view/LocalProcessTerminalView.hpp"

#include <QEvent>
#include <QLoggingCategory>

#include <algorithm>
#include <cmath>

namespace brisvane {

namespace {
Q_LOGGING_CATEGORY(lcTerminalHostView, "brisvane.TerminalHostView")
} // namespace

TerminalHostView::TerminalHostView(corvix::LocalProcessTerminalView* terminalView, QWidget* parent)
    : QWidget(parent)
    , terminalView_(terminalView)
    , container_(new TerminalFileDropContainerView(this))
    , overlay_(new FilePathClickOverlayView(container_))
{
    container_->setGeometry(0, 0, width(), height());
    connect(container_, &TerminalFileDropContainerView::textDropped, this, &TerminalHostView::textDropped);
    if (terminalView_) {
        qCInfo(lcTerminalHostView, "makeNSView: 再親付け発生 oldSuperviewNil=%d windowNilBefore=%d",
               terminalView_->parentWidget() == nullptr, !terminalView_->isVisible());
        // Reparenting hides a widget; showing it here only makes it visible with this host. The
        // focus stays where it is.
        terminalView_->setParent(container_);
        terminalView_->show();
        terminalView_->installEventFilter(this);
        terminalView_->update();
    }
    overlay_->raise();
    overlay_->show();
    updateContainer();
}

TerminalHostView::~TerminalHostView()
{
    // Hand the terminal view back unless a newer host has already taken it over; it belongs to
    // its tile and must not go down with this widget.
    if (terminalView_) {
        terminalView_->removeEventFilter(this);
        if (terminalView_->parentWidget() == container_) {
            terminalView_->hide();
            terminalView_->setParent(nullptr);
        }
    }
}

void TerminalHostView::setInsets(double horizontal, double vertical)
{
    horizontalInset_ = horizontal;
    verticalInset_ = vertical;
    updateContainer();
}

void TerminalHostView::setCwdProvider(std::function<std::optional<QString>()> cwdProvider)
{
    cwdProvider_ = std::move(cwdProvider);
    updateContainer();
}

void TerminalHostView::setLifecycle(const TerminalTileLifecycle& lifecycle)
{
    lifecycle_ = lifecycle;
    updateContainer();
}

void TerminalHostView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    updateContainer();
}

bool TerminalHostView::eventFilter(QObject* watched, QEvent* event)
{
    // The terminal view fits its grid to its new frame: the overlay's cells follow. The type is
    // checked first: events sent while the view is being destroyed must not touch it as a view.
    if (event->type() == QEvent::Resize && watched == terminalView_ && terminalView_->parentWidget() == container_) {
        applyOverlay(*overlay_, *terminalView_, cwdProvider_);
    }
    return QWidget::eventFilter(watched, event);
}

void TerminalHostView::applyFrames()
{
    // Until it is given a size, a widget has a made-up one: fitting the terminal to it would
    // shrink its grid (and reflow its scroll-back) for nothing.
    if (!testAttribute(Qt::WA_Resized)) return;
    const QRect containerFrame(0, 0, width(), height());
    if (container_->geometry() != containerFrame) container_->setGeometry(containerFrame);
    if (!terminalView_ || terminalView_->parentWidget() != container_) return;
    const int viewWidth = std::max(0, int(std::lround(width() - 2 * horizontalInset_)));
    const int viewHeight = std::max(0, int(std::lround(height() - 2 * verticalInset_)));
    // Too small: the terminal keeps its frame rather than collapse its grid.
    if (viewWidth <= 0 || viewHeight <= 0) return;
    const QRect viewFrame(int(std::lround(horizontalInset_)), int(std::lround(verticalInset_)), viewWidth, viewHeight);
    if (terminalView_->geometry() != viewFrame) terminalView_->setGeometry(viewFrame);
}

void TerminalHostView::updateContainer()
{
    applyFrames();
    if (terminalView_ && terminalView_->parentWidget() == container_) {
        applyOverlay(*overlay_, *terminalView_, cwdProvider_);
    }
    container_->isDropAllowed = lifecycle_.kind != TerminalTileLifecycle::Case::closed;
    if (terminalView_ && terminalView_->parentWidget() == container_ && isVisible() && !terminalView_->isVisible()) {
        qCInfo(lcTerminalHostView, "updateNSView: terminalView.window == nil を検出");
    }
}

void TerminalHostView::applyOverlay(FilePathClickOverlayView& overlay, corvix::TerminalView& terminalView,
                                    std::function<std::optional<QString>()> cwdProvider)
{
    overlay.setGeometry(terminalView.geometry());
    overlay.setTerminalView(&terminalView);
    overlay.cwdProvider = cwdProvider ? std::move(cwdProvider) : [] { return std::optional<QString>(); };
    overlay.syncCellSize();
    overlay.scanAndRedrawIfCommandDown();
}

} // namespace brisvane
