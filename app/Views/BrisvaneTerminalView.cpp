#include "app/Views/BrisvaneTerminalView.hpp"

#include "app/Services/sessions/ShellCwdReader.hpp"
#include "app/Services/tiles/TerminalLinkNormalizer.hpp"
#include "app/Services/tiles/TerminalScrollStickPolicy.hpp"
#include "app/Views/DashboardStyle.hpp"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QLoggingCategory>
#include <QScrollBar>
#include <QWheelEvent>

#include <cmath>

namespace brisvane {

namespace {
Q_LOGGING_CATEGORY(lcBrisvaneTerminalView, "brisvane.BrisvaneTerminalView")
} // namespace

BrisvaneTerminalView::BrisvaneTerminalView(const QRect& frame, QWidget* parent)
    : LocalProcessTerminalView(frame, parent)
{
    colorScroller();
}

BrisvaneTerminalView::BrisvaneTerminalView(std::shared_ptr<corvix::LocalProcessSession> session, const QRect& frame,
                                           std::optional<QFont> font, QWidget* parent)
    : LocalProcessTerminalView(std::move(session), frame, std::move(font), parent)
{
    colorScroller();
}

QFont BrisvaneTerminalView::terminalFont(double pointSize)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setWeight(QFont::Normal);
    font.setPointSizeF(pointSize);
    return font;
}

void BrisvaneTerminalView::applyFontSize(double pointSize)
{
    if (fonts().normal.pointSizeF() == pointSize) return;
    // Setting the widget's font rebuilds the faces and fits the terminal to the view again.
    setFont(terminalFont(pointSize));
}

void BrisvaneTerminalView::setForegroundColor(corvix::Terminal& source, const corvix::Color& color)
{
    LocalProcessTerminalView::setForegroundColor(source, color);
    colorScroller();
}

void BrisvaneTerminalView::setBackgroundColor(corvix::Terminal& source, const corvix::Color& color)
{
    LocalProcessTerminalView::setBackgroundColor(source, color);
    colorScroller();
}

void BrisvaneTerminalView::colorScroller()
{
    QScrollBar* scroller = scrollBar();
    if (!scroller) return;
    const QColor background = nativeBackgroundColor();
    const QColor foreground = nativeForegroundColor();
    constexpr double kHandleShare = 0.4; // of the foreground
    const auto mix = [&](int fg, int bg) { return int(std::lround(fg * kHandleShare + bg * (1 - kHandleShare))); };
    const QColor handle(mix(foreground.red(), background.red()), mix(foreground.green(), background.green()),
                        mix(foreground.blue(), background.blue()));
    scroller->setStyleSheet(DashboardStyle::scrollBarStyleSheet(background, handle));
}

BrisvaneTerminalView::~BrisvaneTerminalView()
{
    removeScrollWheelMonitor();
}

void BrisvaneTerminalView::dataReceived(std::span<const uint8_t> slice)
{
    // The view as it was before this chunk moved anything.
    TerminalScrollStickPolicy::ViewState view;
    view.scrollPosition = scrollPosition();
    view.topVisibleRow = getTerminal().getTopVisibleRow();
    view.rows = getTerminal().rows;
    view.canScroll = canScroll();
    if (lastUserScrollDate_) view.secondsSinceUserScroll = lastUserScrollDate_->msecsTo(now()) / 1000.0;

    feed(slice);
    if (TerminalScrollStickPolicy::shouldScrollToBottom(view)) scroll(1.0);
}

void BrisvaneTerminalView::requestOpenLink(corvix::TerminalView&, const QString& link,
                                           const std::map<QString, QString>& params)
{
    std::optional<QString> cwd;
    if (process().running()) cwd = ShellCwdReader::currentWorkingDirectory(process().shellPid());
    qCInfo(lcBrisvaneTerminalView, "requestOpenLink受信: link=%s cwd=%s paramsCount=%lld", qUtf8Printable(link),
           cwd ? qUtf8Printable(*cwd) : "nil", static_cast<long long>(params.size()));

    const TerminalLinkAction action = TerminalLinkNormalizer::action(link, cwd, homeDirectory, *existenceChecker);
    switch (action.kind) {
    case TerminalLinkAction::Case::openExternalURL:
        qCInfo(lcBrisvaneTerminalView, "requestOpenLink: 外部URLとして開く url=%s",
               qUtf8Printable(action.url.toString(QUrl::FullyEncoded)));
        fileOpener->open(action.url);
        break;
    case TerminalLinkAction::Case::openLocalPath:
        qCInfo(lcBrisvaneTerminalView, "requestOpenLink: ローカルパスとして開く path=%s",
               qUtf8Printable(action.path.absolutePath));
        fileOpener->open(QUrl::fromLocalFile(action.path.absolutePath));
        break;
    case TerminalLinkAction::Case::ignore:
        qCInfo(lcBrisvaneTerminalView, "requestOpenLink: 無視（未対応スキーム・解決不能・実在しないのいずれか）");
        break;
    }
}

// "In a window" is "shown" here: a tile's view is hidden with its page and shown with it.
void BrisvaneTerminalView::showEvent(QShowEvent* event)
{
    LocalProcessTerminalView::showEvent(event);
    installScrollWheelMonitorIfNeeded();
}

void BrisvaneTerminalView::hideEvent(QHideEvent* event)
{
    LocalProcessTerminalView::hideEvent(event);
    removeScrollWheelMonitor();
}

bool BrisvaneTerminalView::eventFilter(QObject* watched, QEvent* event)
{
    // Watches only; the event goes on to whoever it was for.
    if (event->type() == QEvent::Wheel) recordUserScrollIfWithinBounds(watched, *static_cast<QWheelEvent*>(event));
    return LocalProcessTerminalView::eventFilter(watched, event);
}

void BrisvaneTerminalView::installScrollWheelMonitorIfNeeded()
{
    if (scrollWheelMonitorInstalled_) return;
    // Application-wide: a wheel turn over the scroller or another child of the view counts too.
    QCoreApplication::instance()->installEventFilter(this);
    scrollWheelMonitorInstalled_ = true;
}

void BrisvaneTerminalView::removeScrollWheelMonitor()
{
    if (!scrollWheelMonitorInstalled_) return;
    if (QCoreApplication* application = QCoreApplication::instance()) application->removeEventFilter(this);
    scrollWheelMonitorInstalled_ = false;
}

void BrisvaneTerminalView::recordUserScrollIfWithinBounds(QObject* receiver, const QWheelEvent& event)
{
    // The window delivers the event first and then the widget under the pointer: look at the
    // widget deliveries only.
    const auto* widget = qobject_cast<const QWidget*>(receiver);
    if (!widget || widget->window() != window()) return;
    if (!rect().contains(mapFromGlobal(event.globalPosition()).toPoint())) return;
    lastUserScrollDate_ = now();
}

} // namespace brisvane
