#include "app/Views/SettingsWindow.hpp"

#include "app/Views/AnnouncementSettingsPopoverView.hpp"

#include "tests/app/Views/SettingsModelFixture.hpp"

#include <QApplication>
#include <QDir>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

using namespace brisvane;
using namespace brisvane::test;

namespace {

int openSettingsWindows()
{
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (qobject_cast<SettingsWindow*>(widget) && widget->isVisible()) count++;
    return count;
}

using SettingsWindowFixture = SettingsModelFixture;

TEST_F(SettingsWindowFixture, OneWindowOnTheModelsTabThatSurvivesClosing)
{
    SettingsWindow* window = SettingsWindow::open(*model);
    ASSERT_NE(window, nullptr);
    QTabWidget& tabs = window->tabs();
    EXPECT_EQ(tabs.currentIndex(), int(SettingsTab::announcement));
    QStringList titles;
    for (int i = 0; i < tabs.count(); i++) titles << tabs.tabText(i);
    EXPECT_EQ(titles, QStringList({"音声通知", "読み辞書", "表示", "連携", "このアプリについて"}));

    // Opening again raises the same window.
    EXPECT_EQ(SettingsWindow::open(*model), window);
    EXPECT_EQ(openSettingsWindows(), 1);

    // The user's choice reaches the model; choosing the shown tab again notifies nobody.
    QSignalSpy changes(model.get(), &DashboardViewModel::settingsSelectedTabChanged);
    tabs.tabBar()->setCurrentIndex(int(SettingsTab::readingDictionary));
    EXPECT_EQ(model->settingsSelectedTab(), SettingsTab::readingDictionary);
    EXPECT_EQ(changes.size(), 1);
    tabs.tabBar()->setCurrentIndex(int(SettingsTab::readingDictionary));
    model->setSettingsSelectedTab(SettingsTab::readingDictionary);
    EXPECT_EQ(changes.size(), 1);

    // The popover's credits button: the open window switches to the about tab.
    EXPECT_EQ(SettingsWindow::open(*model, SettingsTab::about), window);
    EXPECT_EQ(tabs.currentIndex(), int(SettingsTab::about));
    EXPECT_EQ(openSettingsWindows(), 1);

    // Closing discards the window, not the choice.
    window->close();
    EXPECT_TRUE(QTest::qWaitFor([] { return SettingsWindow::instance() == nullptr; }, 10000));
    SettingsWindow* reopened = SettingsWindow::open(*model);
    EXPECT_EQ(reopened->tabs().currentIndex(), int(SettingsTab::about));
    EXPECT_EQ(model->settingsSelectedTab(), SettingsTab::about);

    // A new model (a restart) opens on the announcement tab.
    make();
    EXPECT_EQ(SettingsWindow::instance(), nullptr);
    EXPECT_EQ(SettingsWindow::open(*model)->tabs().currentIndex(), int(SettingsTab::announcement));
}

TEST_F(SettingsWindowFixture, ThePopoversCreditsSwitchAnOpenWindowToTheAboutTab)
{
    SettingsWindow* window = SettingsWindow::open(*model, SettingsTab::readingDictionary);
    AnnouncementSettingsPopoverView popover(*model, [this] { SettingsWindow::open(*model); });
    popover.openCredits();
    EXPECT_EQ(SettingsWindow::instance(), window);
    EXPECT_EQ(window->tabs().currentIndex(), int(SettingsTab::about));
    EXPECT_EQ(openSettingsWindows(), 1);
}

TEST_F(SettingsWindowFixture, EveryTabHasTheSameFixedSize)
{
    SettingsWindow* window = SettingsWindow::open(*model);
    for (int i = 0; i < window->tabs().count(); i++) {
        model->setSettingsSelectedTab(SettingsTab(i));
        QApplication::processEvents();
        EXPECT_EQ(window->tabs().currentIndex(), i);
        EXPECT_EQ(window->tabs().size(), QSize(SettingsWindow::kWidth, SettingsWindow::kHeight));
        // For a person to look at: kept beside the test binary.
        const QString folder = QCoreApplication::applicationDirPath() + QStringLiteral("/artifacts");
        QDir().mkpath(folder);
        window->grab().save(folder + QStringLiteral("/settings-tab-%1.png").arg(i));
    }
}

} // namespace
