#include "app/App/ViewCompositionRoot.hpp"
#include "app/ViewModels/TerminalProcessController.hpp"
#include "app/Views/DashboardView.hpp"
#include "app/Views/ExternalSessionsIndicatorView.hpp"
#include "app/Views/GridControlsView.hpp"
#include "app/Views/NotificationOverlayView.hpp"
#include "app/Views/PlanUsageGaugeView.hpp"
#include "app/Views/TilePageView.hpp"
#include "app/Views/TopBarView.hpp"
#include "tests/app/AgentHome.hpp"
#include "tests/app/ViewModels/DashboardModelHarness.hpp"

#include <QApplication>
#include <QDialog>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

using namespace brisvane;

namespace {

struct DashboardViewFixture : ::testing::Test {
    test::TemporaryHome home{test::TemporaryHome::Content::empty};
    std::shared_ptr<InMemoryPreferences> prefs = std::make_shared<InMemoryPreferences>();
    std::shared_ptr<AppNotificationCenter> center =
        std::make_shared<AppNotificationCenter>([] { return QDateTime::currentDateTimeUtc(); });
    std::unique_ptr<DashboardViewModel> model;

    void SetUp() override
    {
        // The onboarding was completed, unless a test says otherwise.
        prefs->setValue("Brisvane.onboardingCompletedVersion", 1);
    }
    DashboardViewModel& makeModel()
    {
        model = std::make_unique<DashboardViewModel>(test::modelParameters(home.claudeHome(), prefs, center));
        return *model;
    }
};

// What the platform reports when the user switches applications (offscreen it never does).
void setApplicationState(Qt::ApplicationState state)
{
    emit qApp->applicationStateChanged(state);
    QCoreApplication::processEvents();
}

bool processGone(int32_t pid)
{
    // Gone and reaped: a zombie would still answer.
    return ::kill(pid, 0) == -1 && errno == ESRCH;
}

} // namespace

TEST_F(DashboardViewFixture, TopBarOverThePageWhichTakesTheRestAndNoSmallerThanTheMinimum)
{
    makeModel();
    DashboardView view(*model, makeViewDependencies(*model));
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.resize(300, 200);
    QCoreApplication::processEvents();
    QWidget* content = view.centralWidget();
    EXPECT_GE(content->width(), DashboardView::kMinimumWidth);
    EXPECT_GE(content->height(), DashboardView::kMinimumHeight);

    view.resize(1400, 900);
    ASSERT_TRUE(QTest::qWaitFor([&] { return content->width() == 1400; }, test::kPatienceMs));
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.tilePage().geometry().top() >= view.topBar().geometry().bottom(); }, test::kPatienceMs));
    EXPECT_EQ(view.tilePage().geometry().bottom(), content->height() - 1);
    EXPECT_EQ(view.topBar().gridControls()->parentWidget(), &view.topBar());
}

TEST_F(DashboardViewFixture, TopBarStacksGaugeAndControlsWhenTheyDoNotFitSideBySide)
{
    DashboardViewModel& viewModel = makeModel();
    TopBarView bar(viewModel, new GridControlsView(viewModel, [] {}));
    QWidget* controls = bar.gridControls();
    const int rowWidth = bar.gauge().sizeHint().width() + TopBarView::kRowSpacing + controls->sizeHint().width();

    bar.resize(rowWidth + 200, 80);
    bar.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar.isSingleRow(); }, test::kPatienceMs));
    ASSERT_TRUE(QTest::qWaitFor([&] { return controls->geometry().left() == bar.gauge().geometry().right() + 1 + TopBarView::kRowSpacing; }, test::kPatienceMs));
    EXPECT_LE(std::abs(controls->geometry().center().y() - bar.gauge().geometry().center().y()), 1);

    bar.resize(rowWidth - 1, 80);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !bar.isSingleRow(); }, test::kPatienceMs));
    ASSERT_TRUE(QTest::qWaitFor([&] { return controls->geometry().top() >= bar.gauge().geometry().bottom(); }, test::kPatienceMs));
    // The gauge spans the width; the controls are centred under it.
    EXPECT_EQ(bar.gauge().width(), bar.width());
    EXPECT_LE(std::abs(controls->geometry().center().x() - bar.rect().center().x()), 1);
}

// The external-sessions badge at the trailing edge never covers the gauge or the controls: at
// any width of the window, down to its minimum, it has a place of its own.
TEST_F(DashboardViewFixture, TheSessionsBadgeCoversNeitherTheGaugeNorTheControls)
{
    test::writeFile(home.sessionsDirectory() + "/900001.json", test::sessionFile(900001, "busy", "alpha"));
    test::writeFile(home.sessionsDirectory() + "/900002.json", test::sessionFile(900002, "idle", "beta"));
    // The plan-usage strip at its full length.
    test::writeFile(home.claudeHome() + "/brisvane-usage.json", test::planUsage(42));
    makeModel();
    DashboardView view(*model, makeViewDependencies(*model));
    view.resize(1600, 700);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    TopBarView& bar = view.topBar();
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar.indicator().text() == QStringLiteral("外部セッション: 2"); }, test::kPatienceMs));
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar.gauge().stripTexts().contains("42%"); }, test::kPatienceMs));

    const auto overlap = [&] {
        const QRect badge = bar.indicator().geometry();
        std::string found;
        if (badge.intersects(bar.gauge().geometry())) found += "gauge ";
        for (QWidget* control : bar.gridControls()->findChildren<QWidget*>()) {
            if (!control->isVisible()) continue;
            const QRect r(control->mapTo(&bar, QPoint()), control->size());
            if (badge.intersects(r)) found += control->metaObject()->className() + std::string(" ");
        }
        if (!bar.rect().contains(badge)) found += "outside the bar ";
        return found;
    };
    for (int width : {1600, 1200, 1000, 900, 850, view.minimumWidth()}) {
        view.resize(width, 700);
        ASSERT_TRUE(QTest::qWaitFor([&] { return bar.width() == view.width(); }, test::kPatienceMs));
        // Every pending layout done, so the geometries are the ones drawn.
        for (int i = 0; i < 3; i++) {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
        EXPECT_EQ(overlap(), "") << "at " << width << " px " << (bar.isSingleRow() ? "(one row)" : "(two rows)");
    }
}

TEST_F(DashboardViewFixture, TheGaugeFollowsTheModel)
{
    TopBarView bar(makeModel());
    const QString waiting = "使用率: 取得待ち（claudeセッションを1度開くと取得されます）";
    EXPECT_EQ(bar.gauge().stripTexts(), QStringList{waiting});
    EXPECT_FALSE(bar.indicator().isVisibleTo(&bar));
    model->setInlineCostDisplayEnabled(true);
    EXPECT_EQ(bar.gauge().stripTexts(), (QStringList{waiting, "｜", "0 tok"}));
    model->setInlineCostDisplayEnabled(false);
    EXPECT_EQ(bar.gauge().stripTexts(), QStringList{waiting});
}

TEST_F(DashboardViewFixture, ANoticePostedThroughTheModelShowsAsAToast)
{
    makeModel();
    DashboardView view(*model, makeViewDependencies(*model));
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    EXPECT_TRUE(view.notificationOverlay().toasts().isEmpty());
    const AppNotification notice =
        model->appNotificationCenter().post(AppNotificationSeverity::error, "test.key", "起動できません");
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.notificationOverlay().toasts().size() == 1; }, test::kPatienceMs));
    EXPECT_TRUE(view.notificationOverlay().toasts().front()->isVisible());
    // Over the page, from the content's top edge.
    EXPECT_EQ(view.notificationOverlay().geometry(), view.centralWidget()->geometry());
    model->appNotificationCenter().dismiss(notice.id);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.notificationOverlay().toasts().isEmpty(); }, test::kPatienceMs));
}

TEST_F(DashboardViewFixture, EachActivationOfTheApplicationIsPassedOnOnce)
{
    makeModel();
    DashboardView view(*model, makeViewDependencies(*model));
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    setApplicationState(Qt::ApplicationInactive);
    const int before = model->refreshCount();
    for (int activation = 1; activation <= 2; activation++) {
        setApplicationState(Qt::ApplicationActive);
        EXPECT_EQ(model->refreshCount(), before + activation);
        setApplicationState(Qt::ApplicationInactive);
        EXPECT_EQ(model->refreshCount(), before + activation);
    }
    // A closed window passes nothing on.
    view.close();
    setApplicationState(Qt::ApplicationActive);
    EXPECT_EQ(model->refreshCount(), before + 2);
}

TEST_F(DashboardViewFixture, OnboardingShowsOnTheFirstStartAndClosingItLowersTheFlag)
{
    prefs->remove("Brisvane.onboardingCompletedVersion");
    makeModel();
    DashboardView view(*model, makeViewDependencies(*model));
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.onboardingSheet() && view.onboardingSheet()->isVisible(); }, test::kPatienceMs));
    EXPECT_TRUE(model->isOnboardingPresented());
    EXPECT_EQ(view.onboardingSheet()->windowModality(), Qt::WindowModal);
    EXPECT_EQ(view.onboardingSheet()->parentWidget(), &view);

    view.onboardingSheet()->reject();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !model->isOnboardingPresented(); }, test::kPatienceMs));
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.onboardingSheet() == nullptr; }, test::kPatienceMs));
    // Only the model opens it again.
    model->setOnboardingPresented(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.onboardingSheet() && view.onboardingSheet()->isVisible(); }, test::kPatienceMs));
}

TEST_F(DashboardViewFixture, ClosingTheWindowStopsTheModelAndEveryShell)
{
    makeModel();
    DashboardView view(*model, makeViewDependencies(*model));
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    EXPECT_TRUE(model->isWatching());
    model->createTerminalTile();
    model->createTerminalTile();
    QList<int32_t> shells;
    for (const auto& [id, controller] : model->terminalControllers()) {
        const std::optional<int32_t> pid = controller->runningShellPid();
        ASSERT_TRUE(pid.has_value());
        shells.append(*pid);
    }
    ASSERT_EQ(shells.size(), 2);

    view.close();
    EXPECT_FALSE(model->isWatching());
    EXPECT_FALSE(model->isFocusPolling());
    for (const int32_t pid : shells) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return processGone(pid); }, test::kPatienceMs)) << pid;
    }
}

TEST_F(DashboardViewFixture, AnyWindowShownOrHiddenRedrawsEveryTerminal)
{
    makeModel();
    DashboardView view(*model, makeViewDependencies(*model));
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    model->createTerminalTile();
    ASSERT_EQ(model->terminalControllers().size(), 1u);
    // The widget the tile made for the tile's session.
    auto* shown = dynamic_cast<QWidget*>(model->terminalControllers().begin()->second->session().view());
    ASSERT_NE(shown, nullptr);
    QWidget& terminal = *shown;
    ASSERT_TRUE(QTest::qWaitFor([&] { return terminal.isVisible(); }, test::kPatienceMs));

    // A redraw asks the terminal's host to lay it out again.
    struct LayoutRequests : QObject {
        int count = 0;
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::LayoutRequest) count++;
            return false;
        }
    } requests;
    terminal.parentWidget()->installEventFilter(&requests);
    QCoreApplication::processEvents();
    requests.count = 0;

    // Another window of the application, not the dashboard, appears and goes: the redraw is
    // asked for while that change is handled, before anything else can run.
    QWidget other;
    other.resize(200, 100);
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
    QCoreApplication::processEvents();
    EXPECT_GE(requests.count, 1);
    requests.count = 0;
    other.hide();
    QCoreApplication::processEvents();
    EXPECT_GE(requests.count, 1);
    terminal.parentWidget()->removeEventFilter(&requests);
    view.close();
}
