// Construction, stored properties, focus, the scroller, sizing and the renderer switch.
#include "terminal/view/TerminalView.hpp"

#include "terminal/view/CaretView.hpp"
#include "terminal/view/ColorConversion.hpp"
#include "terminal/view/CoreLogSink.hpp"
#include "terminal/view/PainterRenderer.hpp"
#include "terminal/view/TerminalDebugView.hpp"
#include "terminal/view/TerminalFinder.hpp"
#include "terminal/view/TerminalKeyboardInput.hpp"
#include "terminal/view/TerminalMouseInput.hpp"
#include "terminal/view/TerminalProgressBarView.hpp"
#include "terminal/view/TerminalViewDelegate.hpp"

#include <QApplication>
#include <QDesktopServices>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

Q_LOGGING_CATEGORY(lcTerminalView, "corvix.TerminalView")

namespace corvix {

namespace {

QFont systemMonospacedFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setWeight(QFont::Normal);
    return font;
}

uint64_t steadyNanoseconds()
{
    return uint64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count());
}

} // namespace

// ---- Host defaults ---------------------------------------------------------------------------

void TerminalViewDelegate::requestOpenLink(TerminalView&, const QString& link, const std::map<QString, QString>&)
{
    const QUrl url(link, QUrl::StrictMode);
    if (url.isValid() && !url.scheme().isEmpty()) QDesktopServices::openUrl(url);
}

void TerminalViewDelegate::bell(TerminalView&)
{
    QApplication::beep();
}

// ---- Construction -----------------------------------------------------------------------------

TerminalView::TerminalView(const QRect& frame, std::optional<QFont> font, QWidget* parent)
    : TerminalView(nullptr, [](const TerminalOptions& options) { return std::make_shared<TerminalSession>(options); },
                   frame, std::move(font), parent)
{
}

TerminalView::TerminalView(std::shared_ptr<TerminalSession> session, const QRect& frame, std::optional<QFont> font,
                           QWidget* parent)
    : TerminalView(std::move(session), nullptr, frame, std::move(font), parent)
{
}

TerminalView::TerminalView(std::shared_ptr<TerminalSession> existing, const SessionFactory& make, const QRect& frame,
                           std::optional<QFont> font, QWidget* parent)
    : QWidget(parent), uptimeNs(steadyNanoseconds), session_(std::move(existing)),
      fonts_(font.value_or(systemMonospacedFont())),
      keyboardInput_(std::make_unique<TerminalKeyboardInput>(*this)),
      mouseInput_(std::make_unique<TerminalMouseInput>(*this)),
      finder_(std::make_unique<TerminalFinder>(*this)),
      renderer_(std::make_unique<PainterRenderer>(fonts_))
{
    // The core's diagnostics go to Qt's logging categories from the first view on.
    installCoreLogSink();
    QWidget::setFont(fonts().normal);
    setGeometry(frame);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::IBeamCursor);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_InputMethodEnabled);
    disableFullRedrawOnAnyChanges = true;

    displayTimer_ = new QTimer(this);
    displayTimer_->setSingleShot(true);
    displayTimer_->setTimerType(Qt::PreciseTimer);
    connect(displayTimer_, &QTimer::timeout, this, [this] {
        updateDisplay(true);
        if (debug) debug->update();
        pendingDisplay_ = false;
    });
    gpuDisplayTimer_ = new QTimer(this);
    gpuDisplayTimer_->setSingleShot(true);
    gpuDisplayTimer_->setTimerType(Qt::PreciseTimer);
    connect(gpuDisplayTimer_, &QTimer::timeout, this, [this] {
        pendingGpuDisplay = false;
        if (gpuView) gpuView->update();
    });

    setupScroller();
    const bool attaching = session_ != nullptr;
    setupOptions(make);
    // An attached terminal keeps its content and size (its size follows this view's first
    // resize, so a view made before its final frame resizes it once); pointer tracking follows
    // the program's mouse mode.
    if (attaching) mouseModeChanged(*terminal);
    setupProgressBar();
    setupFocusNotification();
    finder_->setupActions();
    constructed_ = true;
}

TerminalView::~TerminalView()
{
    disconnect(focusWindowObserver_);
    // The session goes on without this view; nothing of the view is reachable from it now.
    session_->detachView(this);
}

void TerminalView::setupOptions(const SessionFactory& make)
{
    resetCaches();
    fonts_.measure(devicePixelRatioF());
    if (!session_) {
        const double width = std::max(0.0, double(this->width() - scrollerWidth()));
        const double height = this->height();
        TerminalOptions options = TerminalOptions::defaults();
        if (width != 0 || height != 0) {
            options.cols = int64_t(width / cellSize().width());
            options.rows = int64_t(height / cellSize().height());
        }
        session_ = make(options);
    }
    attachSession();
}

void TerminalView::attachSession()
{
    terminal = &session_->terminal();
    selection = &session_->selection();
    search = &session_->search();
    session_->attachView(this);
    // The engine reports its colours back through the colour callbacks, which set the native
    // colours; a program's own colours survive a new view.
    const Color background = terminal->backgroundColor();
    const Color foreground = terminal->foregroundColor();
    terminal->setBackgroundColor(background);
    terminal->setForegroundColor(foreground);
    const QSizeF cell = cellSize();
    caretView = new CaretView(QRect(0, 0, int(std::ceil(cell.width())), int(std::ceil(cell.height()))),
                              terminal->options.cursorStyle, this);
    caretView->show();
    update();
}

void TerminalView::setupProgressBar()
{
    progressBarView = new TerminalProgressBarView(this);
    progressBarView->raise();
    layoutChildren();
}

void TerminalView::setupFocusNotification()
{
    // Any window gaining or losing the focus restarts or steadies the caret, as the system's
    // main-window notifications do.
    focusWindowObserver_ = connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* window) {
        if (window) {
            applyBecomeMain();
        } else if (caretView) {
            caretView->removeAnimations();
            caretView->update();
        }
    });
}

void TerminalView::applyBecomeMain()
{
    if (!caretView) return;
    caretView->updateAnimation(CaretView::isBlinking(caretView->style()));
    caretView->update();
}

void TerminalView::showCaretAgain()
{
    if (!caretView) return;
    caretView->show();
    applyBecomeMain();
    // A hidden cursor, or one scrolled out of view, stays hidden.
    updateCursorPosition();
}

// ---- Scroller ---------------------------------------------------------------------------------

void TerminalView::setupScroller()
{
    if (!scroller) {
        scroller = new QScrollBar(Qt::Vertical, this);
        scroller->setCursor(Qt::ArrowCursor);
        scroller->setRange(0, 1000);
        connect(scroller, &QScrollBar::actionTriggered, this, &TerminalView::scrollerActivated);
    }
    scroller->setPageStep(100); // knob proportion 0.1
    scroller->setEnabled(false);
    if (progressBarView) progressBarView->raise();
    layoutChildren();
}

int TerminalView::scrollerWidth() const
{
    if (scroller && scroller->isHidden()) return 0;
    return style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroller);
}

void TerminalView::setScrollerStyle(ScrollerStyle style)
{
    scrollerStyle_ = style;
    layoutChildren();
}

void TerminalView::refreshScroller()
{
    if (!scroller || !terminal) return;
    const QSignalBlocker blocker(scroller);
    scroller->setEnabled(canScroll());
    // The scroll bar's page step stands for the knob proportion: value + page = range.
    const double thumb = scrollThumbsize();
    const int page = std::clamp(int(std::lround(thumb * 1000.0)), 1, 1000);
    scroller->setRange(0, 1000 - page);
    scroller->setPageStep(page);
    scroller->setValue(int(std::lround(scrollPosition() * (1000 - page))));
}

void TerminalView::scrollerActivated(int action)
{
    switch (action) {
    case QAbstractSlider::SliderPageStepSub:
        pageUp();
        refreshScroller();
        break;
    case QAbstractSlider::SliderMove: {
        const int range = scroller->maximum();
        scroll(range > 0 ? double(scroller->sliderPosition()) / range : 0.0);
        break;
    }
    case QAbstractSlider::SliderPageStepAdd:
        pageDown();
        refreshScroller();
        break;
    case QAbstractSlider::SliderSingleStepSub:
        std::puts("Scroller .decrementLine clicked");
        refreshScroller();
        break;
    case QAbstractSlider::SliderSingleStepAdd:
        std::puts("Scroller .incrementLine clicked");
        refreshScroller();
        break;
    case QAbstractSlider::SliderNoAction:
        std::puts("Scroller .noPart clicked");
        break;
    default:
        std::puts("Scroller: New value introduced");
        refreshScroller();
        break;
    }
}

// Children follow the frame: the scroller along the right edge, the progress bar along the top.
void TerminalView::layoutChildren()
{
    if (scroller) {
        const int w = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroller);
        scroller->setGeometry(width() - w, 0, w, height());
    }
    if (progressBarView) progressBarView->setGeometry(0, 0, width(), 2);
    if (gpuView) gpuView->setGeometry(rect());
    finder_->layoutFindBar();
}

// ---- Properties -------------------------------------------------------------------------------

void TerminalView::markWholeScreenDirty()
{
    terminal->refreshStart = 0;
    terminal->refreshEnd = terminal->rows;
    const int yDisp = terminal->buffer().yDisp();
    terminal->scrollInvariantRefreshStart = yDisp;
    terminal->scrollInvariantRefreshEnd = yDisp + terminal->rows;
}

void TerminalView::setBidiHostPolicy(BidiHostPolicy value)
{
    bidiHostPolicy_ = value;
    markWholeScreenDirty();
    queuePendingDisplay();
    updateCursorPosition();
}

void TerminalView::setCustomBlockGlyphs(bool value)
{
    customBlockGlyphs_ = value;
    markWholeScreenDirty();
    queuePendingDisplay();
}

void TerminalView::setAntiAliasCustomBlockGlyphs(bool value)
{
    antiAliasCustomBlockGlyphs_ = value;
    markWholeScreenDirty();
    queuePendingDisplay();
}

void TerminalView::setSelectedTextBackgroundColor(const QColor& color)
{
    _selectedTextBackgroundColor = color;
    markWholeScreenDirty();
    queuePendingDisplay();
}

void TerminalView::setSelectedTextForegroundColor(const QColor& color)
{
    _selectedTextForegroundColor = color;
    markWholeScreenDirty();
    queuePendingDisplay();
}

QColor TerminalView::caretColor() const
{
    return caretView ? caretView->caretColor() : QColor();
}

void TerminalView::setCaretColor(const QColor& color)
{
    if (caretView) caretView->setCaretColor(color);
}

std::optional<QColor> TerminalView::caretTextColor() const
{
    return caretView ? caretView->caretTextColor : std::nullopt;
}

void TerminalView::setCaretTextColor(const std::optional<QColor>& color)
{
    if (!caretView) return;
    caretView->caretTextColor = color;
    caretView->update();
}

bool TerminalView::caretViewTracksFocus() const
{
    return caretView ? caretView->tracksFocus : true;
}

void TerminalView::setCaretViewTracksFocus(bool value)
{
    if (caretView) caretView->tracksFocus = value;
}

void TerminalView::setLinkHighlightMode(LinkHighlightMode mode)
{
    linkHighlightMode_ = mode;
    linkHighlightRange.reset();
    if (hasTrackingInterest()) {
        startTracking();
    } else {
        deregisterTrackingInterest();
    }
    markWholeScreenDirty();
    queuePendingDisplay();
}

bool TerminalView::hasFocus() const
{
    const QWidget* w = window();
    return _hasFocus && (!w || w == this || w->isActiveWindow());
}

void TerminalView::setHasFocus(bool value)
{
    _hasFocus = value;
    if (!caretView) return;
    caretView->focused = value;
    caretView->update();
}

void TerminalView::setGpuScaleFactorOverride(std::optional<double> value)
{
    const bool changed = value != gpuScaleFactorOverride_;
    gpuScaleFactorOverride_ = value;
    if (changed && useGpuRenderer && gpuView) gpuView->update();
}

QRect TerminalView::getOptimalFrameSize() const
{
    const QSizeF cell = cellSize();
    return QRect(0, 0, int(cell.width() * terminal->cols) + scrollerWidth(), int(cell.height() * terminal->rows));
}

// ---- Focus ------------------------------------------------------------------------------------

void TerminalView::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    setHasFocus(true);
    applyBecomeMain();
    terminal->setTerminalFocus(true);
}

void TerminalView::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    if (caretView) caretView->removeAnimations();
    setHasFocus(false);
    terminal->setTerminalFocus(false);
}

// ---- Drawing and sizing -----------------------------------------------------------------------

void TerminalView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutChildren();
    refreshScroller();
    if (selection) selection->setActive(false);
    if (!fonts_.cellDimension()) return;
    processSizeChange(QSizeF(size()));
    if (useGpuRenderer && gpuView) {
        gpuView->update();
    } else {
        update();
    }
    updateCursorPosition();
}

void TerminalView::changeEvent(QEvent* event)
{
    // The font is the widget's own: setting it rebuilds the faces and fits the terminal again.
    if (event->type() == QEvent::FontChange && constructed_) {
        fonts_.setBase(QWidget::font());
        resetFont();
        if (selection && selection->active()) selection->setActive(false);
    }
    QWidget::changeEvent(event);
}

bool TerminalView::event(QEvent* event)
{
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::ParentChange && useGpuRenderer && gpuView) {
        QWidget* w = window();
        if (w != gpuBoundWindow) rebindGpuRendererToWindow(w);
    }
    return handled;
}

// ---- GPU renderer switch ----------------------------------------------------------------------

bool TerminalView::gpuLiveResizeThrottleEnabled()
{
    static const bool enabled = [] {
        const char* value = std::getenv("CORVIX_METAL_LIVE_RESIZE_THROTTLE");
        if (!value) return true;
        return !(std::strcmp(value, "0") == 0 || std::strcmp(value, "false") == 0 || std::strcmp(value, "FALSE") == 0);
    }();
    return enabled;
}

namespace {

// The first GL widget in a window makes Qt create the native window again for GL composition,
// which loses the window's activation and the keyboard focus: both are given back when this goes,
// so typing goes on where it was.
class KeptWindowFocus {
public:
    explicit KeptWindowFocus(QWidget& widget)
        : top(widget.window()), wasActive(top->isActiveWindow()), nativeWindow(top->internalWinId()),
          focused(top->focusWidget())
    {
    }
    ~KeptWindowFocus()
    {
        if (!top) return;
        if (wasActive && top->internalWinId() != nativeWindow) top->activateWindow();
        if (focused && !focused->hasFocus()) focused->setFocus(Qt::OtherFocusReason);
    }
    KeptWindowFocus(const KeptWindowFocus&) = delete;
    KeptWindowFocus& operator=(const KeptWindowFocus&) = delete;

private:
    QPointer<QWidget> top;
    bool wasActive;
    WId nativeWindow;
    QPointer<QWidget> focused;
};

} // namespace

std::optional<GpuError> TerminalView::setUseGpu(bool enabled)
{
    if (enabled == useGpuRenderer) return std::nullopt;
    if (auto error = updateGpuRenderer(enabled)) return error;
    useGpuRenderer = enabled;
    return std::nullopt;
}

std::optional<GpuError> TerminalView::updateGpuRenderer(bool enabled)
{
    if (enabled) {
        if (gpuView) return std::nullopt;
        const KeptWindowFocus keptFocus(*this);
        GpuDeviceProbe probe = gpuDeviceProbe();
        if (!probe.device) return GpuError(GpuError::deviceUnavailable, probe.refusal);
        std::shared_ptr<GpuDevice> device = std::move(probe.device);
        std::unique_ptr<QWidget> view = device->makeView(this);
        auto made = makeGpuTerminalRenderer(*device, *view, *this);
        if (!made.renderer) return made.error.value_or(GpuError::deviceUnavailable);
        insertGpuView(view.get(), nullptr);
        gpuDevice_ = std::move(device);
        gpuView = view.release();
        gpuRenderer = std::move(made.renderer);
        gpuBoundWindow = window();
        layoutChildren();
        gpuView->update();
        return std::nullopt;
    }
    gpuRenderer.reset();
    delete gpuView;
    gpuView = nullptr;
    gpuDevice_.reset();
    gpuBoundWindow = nullptr;
    showCaretAgain();
    update();
    return std::nullopt;
}

void TerminalView::insertGpuView(QWidget* view, QWidget* replacing)
{
    view->setParent(this);
    // Pointer gestures stay the terminal view's own.
    view->setAttribute(Qt::WA_TransparentForMouseEvents);
    view->show();
    if (caretView) {
        view->stackUnder(caretView);
        // The renderer draws the cursor itself.
        caretView->removeAnimations();
        caretView->hide();
    } else if (replacing) {
        view->stackUnder(replacing);
        view->raise();
    } else {
        view->lower();
    }
    if (scroller) scroller->raise();
}

void TerminalView::rebindGpuRendererToWindow(QWidget* window)
{
    if (!useGpuRenderer || !gpuView) return;
    GpuDeviceProbe probe = gpuDevice_ ? GpuDeviceProbe{gpuDevice_, {}} : gpuDeviceProbe();
    if (!probe.device) {
        disableGpuRendererAfterRebindFailure(GpuError(GpuError::deviceUnavailable, probe.refusal));
        return;
    }
    std::shared_ptr<GpuDevice> device = std::move(probe.device);
    std::unique_ptr<QWidget> view = device->makeView(this);
    view->setGeometry(gpuView->geometry());
    auto made = makeGpuTerminalRenderer(*device, *view, *this);
    if (!made.renderer) {
        disableGpuRendererAfterRebindFailure(made.error.value_or(GpuError::deviceUnavailable));
        return;
    }
    insertGpuView(view.get(), gpuView);
    made.renderer->drawNow();
    view->update();
    gpuRenderer = std::move(made.renderer);
    delete gpuView;
    gpuView = view.release();
    gpuDevice_ = std::move(device);
    gpuBoundWindow = window;
}

void TerminalView::disableGpuRendererAfterRebindFailure(GpuError error)
{
    qCCritical(lcTerminalView, "Corvix: GPU renderer rebind failed; falling back to CPU drawing: %s",
               describe(error).c_str());
    gpuRenderer.reset();
    delete gpuView;
    gpuView = nullptr;
    gpuDevice_.reset();
    gpuBoundWindow = nullptr;
    useGpuRenderer = false;
    showCaretAgain();
    update();
}

void TerminalView::drawGpuFrameNow()
{
    if (useGpuRenderer && gpuRenderer) gpuRenderer->drawNow();
}

} // namespace corvix
