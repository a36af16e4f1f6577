#include "app/Views/DashboardView.hpp"

#include "app/ViewModels/DashboardViewModel.hpp"
#include "app/Views/DashboardStyle.hpp"
#include "app/Views/GridControlsView.hpp"
#include "app/Views/NotificationOverlayView.hpp"
#include "app/Views/SettingsWindow.hpp"
#include "app/Views/TilePageView.hpp"
#include "app/Views/TopBarView.hpp"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QMenuBar>
#include <QVBoxLayout>
#include <QWindow>

namespace brisvane {

namespace {

QPalette darkPalette(QPalette palette)
{
    using namespace DashboardStyle;
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Window, windowBackground());
        palette.setColor(group, QPalette::WindowText, primaryText());
        palette.setColor(group, QPalette::Base, stripBackground());
        palette.setColor(group, QPalette::Text, primaryText());
        palette.setColor(group, QPalette::Button, stripBackground());
        palette.setColor(group, QPalette::ButtonText, primaryText());
        palette.setColor(group, QPalette::Highlight, accent());
    }
    return palette;
}

} // namespace

DashboardView::DashboardView(DashboardViewModel& model, Dependencies dependencies, QWidget* parent)
    : QMainWindow(parent), model_(model), dependencies_(std::move(dependencies))
{
    setWindowTitle(QStringLiteral("Brisvane"));
    setPalette(darkPalette(palette()));

    auto* content = new QWidget(this);
    content->setAutoFillBackground(true);
    content->setMinimumSize(kMinimumWidth, kMinimumHeight);
    auto* stack = new QVBoxLayout(content);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    const auto openSettings = [this] { SettingsWindow::open(model_); };
    topBar_ = new TopBarView(model_, new GridControlsView(model_, openSettings), content);
    stack->addWidget(topBar_);
    stack->addWidget(DashboardStyle::makeDivider(content));
    tilePage_ = new TilePageView(model_, content, dependencies_.terminalGpuSwitch);
    tilePage_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    stack->addWidget(tilePage_, 1);
    setCentralWidget(content);

    // The toasts lie over the whole content, from its top edge; clicks beside them go through.
    AppNotificationCenter& center = model_.appNotificationCenter();
    notificationOverlay_ = new NotificationOverlayView(dependencies_.systemSettingsOpener, this);
    connect(notificationOverlay_, &NotificationOverlayView::dismissRequested, &center, &AppNotificationCenter::dismiss);
    connect(&center, &AppNotificationCenter::activeNotificationsChanged, notificationOverlay_,
            [this, &center] { notificationOverlay_->setNotifications(center.activeNotifications()); });
    notificationOverlay_->setNotifications(center.activeNotifications());
    resize(kMinimumWidth, kMinimumHeight);

    // Ctrl+Shift+key: Ctrl+key alone belongs to the shells in the tiles.
    QMenu* menu = menuBar()->addMenu(tr("ターミナル"));
    menu->addAction(tr("文字を拡大"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Equal), &model_,
                    &DashboardViewModel::increaseTerminalFontSize);
    menu->addAction(tr("文字を縮小"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Minus), &model_,
                    &DashboardViewModel::decreaseTerminalFontSize);
    menu->addAction(tr("文字サイズをリセット"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_0), &model_,
                    &DashboardViewModel::resetTerminalFontSize);
    // Ctrl+Shift+, also matches under X11, which reports the key as Ctrl+Shift+<.
    QMenu* appMenu = menuBar()->addMenu(QStringLiteral("Brisvane"));
    appMenu->addAction(tr("設定…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Comma), this, openSettings);

    // Queued: the sheet opens once the window showing it is up, not inside its show.
    connect(&model_, &DashboardViewModel::isOnboardingPresentedChanged, this, &DashboardView::syncOnboarding,
            Qt::QueuedConnection);
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (started_ && state == Qt::ApplicationActive) model_.handleDidBecomeActive();
    });
    // Covering and uncovering show as exposure changes of the application's windows.
    qApp->installEventFilter(this);
}

DashboardView::~DashboardView()
{
    qApp->removeEventFilter(this);
    // Our own windows go after this part of us: their ends must not reach the table.
    for (QWindow* window : exposed_.keys()) disconnect(window, &QObject::destroyed, this, nullptr);
}

void DashboardView::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (started_) return;
    started_ = true;
    model_.start();
    syncOnboarding();
}

void DashboardView::closeEvent(QCloseEvent* event)
{
    QMainWindow::closeEvent(event);
    if (!event->isAccepted() || !started_) return;
    started_ = false;
    if (onboardingSheet_) onboardingSheet_->close();
    model_.stop();
}

void DashboardView::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    placeNotificationOverlay();
}

bool DashboardView::eventFilter(QObject* watched, QEvent* event)
{
    // A hidden window is covered too, whether or not the platform says so with an expose.
    const QEvent::Type type = event->type();
    if ((type == QEvent::Expose || type == QEvent::Hide) && watched->isWindowType()) {
        auto* window = static_cast<QWindow*>(watched);
        const bool exposed = type == QEvent::Expose && window->isExposed();
        const auto known = exposed_.constFind(window);
        if (known == exposed_.constEnd()) {
            connect(window, &QObject::destroyed, this, [this, window] { exposed_.remove(window); });
        }
        if (known == exposed_.constEnd() || *known != exposed) {
            exposed_.insert(window, exposed);
            if (started_) model_.forceRedrawAllTerminalViews();
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void DashboardView::syncOnboarding()
{
    if (!started_) return;
    // The sheet closes itself when the flag falls, and lowers the flag however it is closed.
    if (model_.isOnboardingPresented() && !onboardingSheet_)
        onboardingSheet_ = OnboardingView::present(model_, dependencies_.onboarding, this);
}

void DashboardView::placeNotificationOverlay()
{
    notificationOverlay_->setGeometry(centralWidget()->geometry());
    notificationOverlay_->raise();
}

} // namespace brisvane
