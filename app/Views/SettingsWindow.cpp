#include "app/Views/SettingsWindow.hpp"

#include "app/ViewModels/DashboardViewModel.hpp"
#include "app/Views/AboutSettingsTab.hpp"
#include "app/Views/AnnouncementSettingsTab.hpp"
#include "app/Views/DisplaySettingsTab.hpp"
#include "app/Views/IntegrationSettingsTab.hpp"
#include "app/Views/ReadingDictionarySettingsTab.hpp"

#include <QPointer>
#include <QTabWidget>
#include <QVBoxLayout>

namespace brisvane {

namespace {

QPointer<SettingsWindow>& openWindow()
{
    static QPointer<SettingsWindow> window;
    return window;
}

} // namespace

SettingsWindow* SettingsWindow::instance()
{
    return openWindow().data();
}

SettingsWindow* SettingsWindow::open(DashboardViewModel& model, std::optional<SettingsTab> tab)
{
    if (tab) model.setSettingsSelectedTab(*tab);
    QPointer<SettingsWindow>& window = openWindow();
    // A window of another model (only in tests, which make several) is not reused.
    if (window && &window->model_ != &model) delete window.data();
    if (!window) window = new SettingsWindow(model);
    window->show();
    window->raise();
    window->activateWindow();
    return window.data();
}

SettingsWindow::SettingsWindow(DashboardViewModel& model) : QWidget(nullptr, Qt::Window), model_(model)
{
    setAttribute(Qt::WA_DeleteOnClose);
    // An open settings window does not keep the application running once the dashboard closes.
    setAttribute(Qt::WA_QuitOnClose, false);
    // The window goes with the model it shows.
    connect(&model_, &QObject::destroyed, this, [this] { delete this; });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    tabs_ = new QTabWidget(this);
    tabs_->setFixedSize(kWidth, kHeight);
    layout->addWidget(tabs_, 0, Qt::AlignCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // In the order of `SettingsTab`, so a tab's index is its case.
    tabs_->addTab(new AnnouncementSettingsTab(model_), QIcon::fromTheme(QStringLiteral("audio-volume-high")),
                  tr("音声通知"));
    tabs_->addTab(new ReadingDictionarySettingsTab(model_), QIcon::fromTheme(QStringLiteral("accessories-dictionary")),
                  tr("読み辞書"));
    tabs_->addTab(new DisplaySettingsTab(model_), QIcon::fromTheme(QStringLiteral("preferences-desktop-display")),
                  tr("表示"));
    tabs_->addTab(new IntegrationSettingsTab(model_), QIcon::fromTheme(QStringLiteral("insert-link")), tr("連携"));
    tabs_->addTab(new AboutSettingsTab(model_, AboutSettingsTab::BuildInfo::current()),
                  QIcon::fromTheme(QStringLiteral("help-about")), tr("このアプリについて"));

    tabs_->setCurrentIndex(int(model_.settingsSelectedTab()));
    // Each side changes the other only on a real change, so the two never loop.
    connect(tabs_, &QTabWidget::currentChanged, &model_,
            [this](int index) { model_.setSettingsSelectedTab(SettingsTab(index)); });
    connect(&model_, &DashboardViewModel::settingsSelectedTabChanged, this,
            [this] { tabs_->setCurrentIndex(int(model_.settingsSelectedTab())); });
}

} // namespace brisvane
